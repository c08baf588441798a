#pragma once

#include <QObject>

class QSocketNotifier;

/// Turns the signals by which the system ends a program (SIGTERM at shutdown or logout, SIGHUP
/// when its terminal closes, SIGINT) into the Qt signal `received`, delivered by the event loop,
/// so that the program can switch its outputs off before it ends. One at a time per process;
/// the default handling comes back when it is destroyed.
class TerminationSignals : public QObject
{
    Q_OBJECT
public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

    /// False where the signals could not be caught (no pipe, or another instance catches them).
    bool isCatching() const { return m_catching; }

signals:
    void received(int signalNumber);

private:
    void handleReadable();

    QSocketNotifier* m_notifier = nullptr;
    bool m_catching = false;
};
