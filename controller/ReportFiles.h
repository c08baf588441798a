#pragma once

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QString>

#include <string>

class EventLogReport;
class Tarn_Inputs;

/// The reports the user saves under a name of their own ("Save as…"): UTF-8, named after the
/// controller, the date and the kind, and opening with the controller's identity and the time
/// of the read. tarn.sts and tarn.logg stay as they are.
class ReportFiles
{
public:
    /// "123456_2026-12-07_status.txt"; "unknown" stands for a serial number not read.
    static QString SuggestedName(const Tarn_Inputs& inputs, const QDate& date, const QString& kind,
                                 const QString& extension);
    /// "Tarn V2.07, serial 123456" (the serial number from firmware 2.07 on).
    static QString Identity(const Tarn_Inputs& inputs);
    /// A report's lines (8-bit text, as tarn.sts and tarn.logg hold them) as UTF-8, under the
    /// identity and the time of the read.
    static QByteArray Headed(const std::string& latin1Report, const QString& identity,
                             const QDateTime& readAt);
    /// The listed events as CSV under the identity and the time of the read; cells holding a
    /// comma, a quote or a line end are quoted.
    static QByteArray EventsCsv(const EventLogReport& report, const QString& identity,
                                const QDateTime& readAt);
};
