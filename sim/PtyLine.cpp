#include "sim/PtyLine.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {
constexpr std::size_t kReadChunk = 4096;

std::string SystemError(const char* what)
{
    return std::string(what) + ": " + std::strerror(errno);
}

bool MakeRaw(int fd)
{
    termios settings{};
    if (tcgetattr(fd, &settings) != 0)
        return false;
    cfmakeraw(&settings);
    settings.c_cflag |= CLOCAL | CREAD;
    settings.c_cc[VMIN] = 1;
    settings.c_cc[VTIME] = 0;
    return tcsetattr(fd, TCSANOW, &settings) == 0;
}
} // namespace

PtyLine::~PtyLine()
{
    if (m_master >= 0)
        ::close(m_master);
}

bool PtyLine::open(std::string& error)
{
    m_master = posix_openpt(O_RDWR | O_NOCTTY);
    if (m_master < 0) {
        error = SystemError("posix_openpt");
        return false;
    }
    if (grantpt(m_master) != 0 || unlockpt(m_master) != 0) {
        error = SystemError("grantpt/unlockpt");
        return false;
    }
    const char* name = ptsname(m_master);
    if (name == nullptr) {
        error = SystemError("ptsname");
        return false;
    }
    m_slavePath = name;

    // The settings belong to the pair and outlive this descriptor: the PC finds the line raw
    // (no echo, no CR/LF translation, no signal characters) whenever it opens it.
    const int slave = ::open(m_slavePath.c_str(), O_RDWR | O_NOCTTY);
    if (slave < 0) {
        error = SystemError("open slave");
        return false;
    }
    const bool raw = MakeRaw(slave);
    ::close(slave);
    if (!raw) {
        error = SystemError("raw mode");
        return false;
    }
    MakeRaw(m_master);

    const int flags = fcntl(m_master, F_GETFL);
    if (flags < 0 || fcntl(m_master, F_SETFL, flags | O_NONBLOCK) != 0) {
        error = SystemError("non-blocking master");
        return false;
    }
    return true;
}

PtyLine::ReadStatus PtyLine::read(std::string& bytes)
{
    char buffer[kReadChunk];
    const ssize_t count = ::read(m_master, buffer, sizeof buffer);
    if (count > 0) {
        bytes.append(buffer, static_cast<std::size_t>(count));
        return ReadStatus::Data;
    }
    if (count == 0 || errno == EIO)
        return ReadStatus::Hangup;
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
        return ReadStatus::NothingYet;
    return ReadStatus::Failed;
}

bool PtyLine::write(std::string_view bytes, std::string& error)
{
    // With no PC on the line the bytes are lost, as on a cable that nobody listens to; the
    // terminal would otherwise keep them for whoever opens it next.
    pollfd line{m_master, POLLOUT, 0};
    if (poll(&line, 1, 0) > 0 && (line.revents & POLLHUP) != 0)
        return true;

    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t count = ::write(m_master, bytes.data() + done, bytes.size() - done);
        if (count > 0) {
            done += static_cast<std::size_t>(count);
            continue;
        }
        if (count < 0 && errno == EINTR)
            continue;
        if (count == 0 || errno == EAGAIN || errno == EWOULDBLOCK) {
            // Only room to write goes on; a hang-up would wake the poll at once for ever.
            pollfd room{m_master, POLLOUT, 0};
            if (poll(&room, 1, kWriteTimeoutMs) > 0 && (room.revents & POLLOUT) != 0 &&
                (room.revents & (POLLHUP | POLLERR)) == 0)
                continue;
            error = "line blocked, " + std::to_string(bytes.size() - done) + " bytes not sent";
            return false;
        }
        error = SystemError("write");
        return false;
    }
    return true;
}
