#pragma once

#include "history/HistoryArchive.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QString>
#include <QStringList>

#include <optional>

class Tarn_Inputs;

/// One function test of the outputs as the history keeps it: which outputs were on, from when
/// and for how long, and the inputs the controller reported active while they were on. Kept as
/// an ArchivedChange with the command ArchivedChange::kFunctionTest (nothing was written to
/// the setup: it is never undone).
class FunctionTest
{
public:
    FunctionTest() = default;
    /// The outputs went on now.
    FunctionTest(QStringList outputs, QDateTime startedAt = QDateTime::currentDateTimeUtc());

    bool isRunning() const { return !m_outputs.isEmpty(); }
    /// An input read (scan or status) while the test runs: its active inputs are kept.
    void NoteInputs(const Tarn_Inputs& inputs);
    /// The outputs went off now: the duration ends here, even when the record is made later.
    void Stop();
    /// The record once the outputs went off (at Stop, or now).
    ArchivedChange Finish() const;

    const QStringList& outputs() const { return m_outputs; }
    const QStringList& inputsSeen() const { return m_inputs; }
    bool inputsRead() const { return m_read; }

    /// The inputs active in the record: "Detector 1".."Detector 4", "Manual release 1".."3".
    static QStringList ActiveInputs(const Tarn_Inputs& inputs);
    /// The record of a test (see Finish), for tests and the report.
    static ArchivedChange Make(const QStringList& outputs, const QDateTime& startedAt,
                               qint64 milliseconds, const QStringList& inputsSeen, bool inputsRead);
    /// "Pump on for 5 s; inputs seen: Detector 1".
    static QString Text(const QStringList& outputs, qint64 milliseconds,
                        const QStringList& inputsSeen, bool inputsRead);

    /// A test as the history holds it.
    struct Fields
    {
        QStringList outputs;
        QDateTime startedAt; ///< UTC
        qint64 milliseconds = 0;
        QStringList inputsSeen;
        bool inputsRead = false;
    };
    static Fields Read(const ArchivedChange& change);
    /// "5 s", "1 min 5 s", "0.4 s".
    static QString Duration(qint64 milliseconds);

private:
    QStringList m_outputs;
    QDateTime m_startedAt;
    QElapsedTimer m_clock;
    std::optional<qint64> m_milliseconds;
    QStringList m_inputs;
    bool m_read = false;
};
