#pragma once

#include "ChaosChecks.h"
#include "ChaosPlan.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <memory>

/// One round of the chaos run: a fresh program folder with its history, the controller on a
/// pseudo-terminal, the main window driven through the plan while the field changes under it,
/// and the program ended. What happened is recorded for ChaosChecks.
class ChaosRound
{
public:
    /// How long the program waits for a reply in a round; the window tests shorten it alike.
    static constexpr int kReplyTimeoutMs = 1500;
    static constexpr double kLimitSeconds = 60;

    explicit ChaosRound(const ChaosPlan& plan) : m_plan(plan) {}

    /// The history on a PostgreSQL server at `database`, which `signalServer` stops (SIGSTOP)
    /// and resumes (SIGCONT); without, the history is the SQLite file.
    void useServer(const QString& database, std::function<bool(int signal)> signalServer)
    {
        m_database = database;
        m_serverSignal = std::move(signalServer);
    }

    /// Runs the round into `record`. False when the round could not be set up (the program
    /// is not at fault then), with the reason in `error`.
    bool run(ChaosChecks::Round& record, QString& error);
    /// The boxes the program showed.
    const QStringList& boxes() const { return m_boxes; }
    /// Keeps the round's folder (the controller's journals and log memory, the program's
    /// files and history) after the round; its path.
    QString keep();
    /// The simulator's process, for a watchdog that must end it.
    static qint64 SimulatorPid();

private:
    const ChaosPlan& m_plan;
    QString m_database;
    std::function<bool(int signal)> m_serverSignal;
    QStringList m_boxes;
    std::unique_ptr<QTemporaryDir> m_folder;
};
