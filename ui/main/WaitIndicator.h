#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>

class QTimer;
class QWidget;
class Tarn_Comm;

/// Shows a request's wait that lasts longer than RequestWait::kVisibleAfter: a busy pointer over
/// the window (the modal window open, if any), and the text that the status line shows (what is
/// waited for and for how long), renewed every second until the reply or the time-out.
class WaitIndicator : public QObject
{
    Q_OBJECT
public:
    static constexpr int kRenewMs = 1000;

    WaitIndicator(QWidget& window, QObject* parent = nullptr);

    /// Follows the waits of `link` (none when null).
    void setLink(Tarn_Comm* link);
    /// What a sequence of requests is called while it runs ("the status read"); empty: each
    /// request by its own name.
    void setActivity(const QString& activity) { m_activity = activity; }
    /// The status line's text for the wait under way; empty while none is shown.
    QString text() const { return m_text; }

signals:
    /// The text changed; empty once the wait has ended.
    void textChanged(const QString& text);

private:
    void handleReplyAwaited(int command);
    void handleReplyWaitEnded();
    void handleTick();

    QWidget& m_window;
    QPointer<Tarn_Comm> m_link;
    QTimer* m_tick = nullptr;
    QElapsedTimer m_clock;
    QString m_subject;
    QString m_activity;
    QString m_text;
    /// The window that shows the busy pointer.
    QPointer<QWidget> m_pointerOver;
};
