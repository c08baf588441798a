#pragma once

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QString>

#include "data/EventListCsv.h"

#include <string>

class Tarn_Inputs;

/// The reports the user saves under a name of their own ("Save as…"): UTF-8, named after the
/// controller, the date and the kind, and opening with the controller's identity and the time
/// of the read (CSV: EventListCsv). tarn.sts and tarn.logg stay as they are.
class ReportFiles
{
public:
    /// "123456_2026-12-07_status.txt"; "unknown" stands for a serial number not read.
    static QString SuggestedName(const Tarn_Inputs& inputs, const QDate& date, const QString& kind,
                                 const QString& extension);
    /// The same for a serial number given as text ("" when not known); characters a file name
    /// cannot hold become "_".
    static QString SuggestedName(const QString& serialNumber, const QDate& date,
                                 const QString& kind, const QString& extension);
    /// The name in the folder for the user's documents, where every save and PDF starts.
    static QString SuggestedPath(const QString& name);
    /// "Tarn V2.07, serial 123456" (the serial number from firmware 2.07 on).
    static QString Identity(const Tarn_Inputs& inputs);
    /// A report's lines (8-bit text, as tarn.sts and tarn.logg hold them) as UTF-8, under the
    /// identity and the time of the read.
    static QByteArray Headed(const std::string& latin1Report, const QString& identity,
                             const QDateTime& readAt);
    /// The controller's serial number (from firmware 2.07 on) and firmware, and the time of
    /// the read, for the columns of an event list's CSV.
    static EventListCsv::Source CsvSource(const Tarn_Inputs& inputs, const QDateTime& readAt);
    /// A time of the PC as the CSV files give it (ExportText::PcTime): local, with its offset.
    static std::string PcTime(const QDateTime& time);
};
