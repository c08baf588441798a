#include "eventloop/TerminationSignals.h"

#include <QSocketNotifier>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
constexpr int kCaught[] = {SIGTERM, SIGHUP, SIGINT};
/// [0] is written by the handler, [1] read by the event loop.
int g_pair[2] = {-1, -1};
bool g_inUse = false;

extern "C" void Forward(int signalNumber)
{
    const int saved = errno;
    const char byte = static_cast<char>(signalNumber);
    [[maybe_unused]] const ssize_t written = ::write(g_pair[0], &byte, 1);
    errno = saved;
}
} // namespace

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent)
{
    if (g_inUse || ::socketpair(AF_UNIX, SOCK_STREAM, 0, g_pair) != 0)
        return;
    for (const int fd : g_pair) {
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
    g_inUse = true;
    m_catching = true;
    m_notifier = new QSocketNotifier(g_pair[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TerminationSignals::handleReadable);
    struct sigaction action = {};
    action.sa_handler = Forward;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signalNumber : kCaught)
        ::sigaction(signalNumber, &action, nullptr);
}

TerminationSignals::~TerminationSignals()
{
    if (!m_catching)
        return;
    for (const int signalNumber : kCaught)
        ::signal(signalNumber, SIG_DFL);
    delete m_notifier;
    ::close(g_pair[0]);
    ::close(g_pair[1]);
    g_pair[0] = g_pair[1] = -1;
    g_inUse = false;
}

void TerminationSignals::handleReadable()
{
    char byte = 0;
    while (::read(g_pair[1], &byte, 1) == 1)
        emit received(static_cast<unsigned char>(byte));
}

#else

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent) {}
TerminationSignals::~TerminationSignals() = default;
void TerminationSignals::handleReadable() {}

#endif
