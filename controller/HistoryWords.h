#pragma once

#include "history/HistoryArchive.h"

#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

/// What the history holds, told in the setup window's and the status page's words: names as
/// the fields are labelled, seconds, output numbers, profile names and dates, never keys,
/// bitmasks or hex. The archive keeps the machine names; this is for a person.
class HistoryWords
{
public:
    struct Row
    {
        QString name;
        QString before;
        QString after;
    };

    /// One line per value a setup write changed: "Detector alarm delay: 30 s → 45 s",
    /// "Zone 2 outputs: 2 → 2, 4", "Zone 1 profile: Continuous 10 min → Cooling 30 s",
    /// "Clock set to 7 Dec 2026 16:18:06 (was 16:17:40)", "Event log deleted". None when the
    /// write changed nothing.
    static QStringList ChangeLines(const ArchivedChange& change);
    /// The lines joined by "; ".
    static QString ChangeText(const ArchivedChange& change);
    /// A command's data as sent, fit to print: as it is when every byte is a printable
    /// character, else each byte in hex ("00 30 46 F8": a zone's number and a definition).
    static QString DataText(const QString& data);
    /// The values of a status snapshot that differ from the one before (the clock left out);
    /// with no snapshot before, every value, with an empty "before".
    static std::vector<Row> StatusRows(const QJsonObject& before, const QJsonObject& after);
    /// "7 Dec 2026" of "2026-12-07" (a time after it is left out); "not set" for none.
    static QString Date(const QString& iso);

    /// The event filter's choices: "2 – Alarm detector 2", one per event code of Tarn.INI.
    static QStringList EventChoices();
    /// The event code a person asked for: a number, a choice, or an event text of Tarn.INI
    /// (in any case); none when it is neither.
    static std::optional<int> EventCode(const QString& text);
};
