#include "ui/main/WaitIndicator.h"

#include "controller/RequestWait.h"
#include "link/Tarn_Comm.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>

WaitIndicator::WaitIndicator(QWidget& window, QObject* parent) : QObject(parent), m_window(window)
{
    m_tick = new QTimer(this);
    m_tick->setSingleShot(true);
    m_tick->setTimerType(Qt::PreciseTimer);
    connect(m_tick, &QTimer::timeout, this, &WaitIndicator::handleTick);
}

void WaitIndicator::setLink(Tarn_Comm* link)
{
    if (m_link)
        disconnect(m_link, nullptr, this, nullptr);
    m_link = link;
    if (!link)
        return;
    connect(link, &Tarn_Comm::replyAwaited, this, &WaitIndicator::handleReplyAwaited);
    connect(link, &Tarn_Comm::replyWaitEnded, this, &WaitIndicator::handleReplyWaitEnded);
}

void WaitIndicator::handleReplyAwaited(int command)
{
    m_subject = m_activity.isEmpty() ? RequestWait::Subject(command) : m_activity;
    m_clock.start();
    m_tick->start(RequestWait::kVisibleAfter);
}

void WaitIndicator::handleTick()
{
    if (m_text.isEmpty()) {
        // Over the window the request was made from: a modal one (the setup window) or the
        // main window.
        QWidget* modal = QApplication::activeModalWidget();
        m_pointerOver = modal ? modal : &m_window;
        m_pointerOver->setCursor(Qt::BusyCursor);
    }
    m_text = RequestWait::Text(m_subject, std::chrono::milliseconds(m_clock.elapsed()));
    emit textChanged(m_text);
    // The next whole second.
    m_tick->start(kRenewMs - static_cast<int>(m_clock.elapsed() % kRenewMs));
}

void WaitIndicator::handleReplyWaitEnded()
{
    m_tick->stop();
    if (m_text.isEmpty())
        return;
    m_text.clear();
    if (m_pointerOver)
        m_pointerOver->unsetCursor();
    m_pointerOver = nullptr;
    emit textChanged(m_text);
}
