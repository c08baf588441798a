// The program on the simulator with a service history: events made to order and the
// archive it keeps, for the tests of the recording and of the History views.
#pragma once

#include "RunningProgram.h"

#include "history/HistoryArchive.h"

#include <optional>

inline QString EventHex(int minute, int code, int celsius)
{
    return QString::fromStdString(EncodePackedDate(
               TarnDateTime::FromParts(2026, 1, 1, 10, 0, 0).AddSeconds(60 * minute))) +
           u"%1%2"_s.arg(code, 2, 16, QChar(u'0')).arg(celsius & 0xFF, 2, 16, QChar(u'0'));
}

class HistoryProgramTest : public ProgramTest
{
protected:
    HistoryArchive& archive() const { return *window()->historyArchive(); }

    /// The program on the simulator (firmware `version`) holding `count` events: codes 1, 2,
    /// 3 in turn, temperatures 20 down.
    bool open(int count, const QString& version = u"V2.07"_s)
    {
        QStringList lines;
        for (int i = 0; i < count; ++i)
            lines << u"event "_s + EventHex(i, 1 + i % 3, 20 - i);
        return startProgram({u"--version"_s, version}, lines);
    }
    /// The id of the one controller the archive should know by `serial`.
    qint64 controller(const QString& serial) const
    {
        const std::optional<ArchivedController> found = archive().FindController(serial);
        return found ? found->id : 0;
    }
    QString serial() const { return QString::fromStdString(window()->tarn->Inputs.SerialNumber); }
};
