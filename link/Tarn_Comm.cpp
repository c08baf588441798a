#include "link/Tarn_Comm.h"

#include "eventloop/EventWait.h"
#include "eventloop/WaitDepth.h"
#include "link/ConnectionAdvice.h"
#include "link/SerialPort.h"
#include "protocol/CommandCodes.h"
#include "protocol/FrameCodec.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMetaMethod>
#include <QScopedValueRollback>
#include <QSerialPort>
#include <QTimer>

namespace {

const QString kTimeoutText = QStringLiteral("Communication timeout error.");
const QString kBusyText = QStringLiteral("Another request to the controller is under way.");

} // namespace

QString Latin1(const std::string& bytes)
{
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

Tarn_Comm::Tarn_Comm(QObject* parent) : QObject(parent) {}

Tarn_Comm::~Tarn_Comm()
{
    // Port and timer belong to the owner, who may have destroyed them before us.
    comm = m_wiredPort.data();
    CommTimer = m_wiredTimer.data();
    StopCom();
}

bool Tarn_Comm::Start(QString& errText)
{
    IsStarted = false;
    if (!comm || !CommTimer) {
        errText = QString::number(QSerialPort::NotOpenError) +
                  QStringLiteral(" - No serial port or poll timer given to the link");
        return false;
    }
    comm->setIniPath(IniPath);
    comm->setCommPort(CommPort);
    bool ok = comm->setSettings(CommSettings) && comm->setRTSEnable(true) &&
              comm->setDTREnable(true) && comm->setHandshakingNone();
    if (ok && !comm->isOpen())
        ok = comm->open();
    // Every start ends with a fresh open of the port, whatever state it was left in.
    if (ok) {
        comm->close();
        ok = comm->open();
    }
    if (!ok) {
        errText = comm->errorText();
        return false;
    }

    if (m_wiredTimer && m_wiredTimer != CommTimer)
        disconnect(m_wiredTimer, nullptr, this, nullptr);
    if (m_wiredPort && m_wiredPort != comm)
        disconnect(m_wiredPort, nullptr, this, nullptr);
    connect(CommTimer, &QTimer::timeout, this, &Tarn_Comm::ReadPort, Qt::UniqueConnection);
    connect(comm, &SerialPort::readyRead, this, &Tarn_Comm::ReadPort, Qt::UniqueConnection);
    m_wiredTimer = CommTimer;
    m_wiredPort = comm;

    RxBuffer.setEndByte(static_cast<uint8_t>(MessageEndAscChar));
    RxBuffer.clear();
    StopRequested = false;
    CommTimer->setInterval(kPollIntervalMs);
    CommTimer->start();
    IsStarted = true;
    IdentityStale = true;
    ++LineFailures;
    m_failing = false;
    m_deviceGone = false;
    m_lastAnswer = QDateTime();
    emit linkStateChanged();
    return true;
}

void Tarn_Comm::StopCom()
{
    StopRequested = true;
    if (CommTimer)
        CommTimer->stop();
    if (comm && comm->isOpen())
        comm->close();
    emit portClosed();
    emit linkStateChanged();
}

bool Tarn_Comm::Send(int commandName, const std::string& data)
{
    if (!IsStarted)
        return false;
    // One request at a time: a second one from inside this one's wait would take its reply.
    // Callers hold their work back while a wait is under way (WaitDepth); this is the last guard.
    if (m_sending) {
        LastError = kBusyText;
        return false;
    }
    const QScopedValueRollback<bool> sending(m_sending, true);
    m_answered = false;
    const std::string frame = BuildRequestFrame(Address, PCAddress, commandName, data);
    if (!AwaitLateReply(commandName)) {
        LastError = kTimeoutText;
        emit ErrorMessage(LastError);
        return false;
    }
    // What came in before the request was written answers an earlier one (a late reply):
    // it is read now, so that it cannot be taken for this request's reply.
    if (comm)
        comm->takeInPending();
    ReadPort();
    TarnData.clear();
    ReceivedCommand = 0;
    // A device that went away (an adapter unplugged and plugged in again) is opened afresh,
    // so the link recovers by itself once the controller is back.
    if (comm && comm->deviceLost()) {
        IdentityStale = true;
        ++LineFailures;
        if (m_deviceGone && m_sinceReopen.isValid() &&
            m_sinceReopen.elapsed() < kReopenInterval.count())
            return false;
        m_sinceReopen.start();
        // A device that is not there again yet answers nothing: said as that, at once, rather
        // than as a time-out after the whole wait.
        const bool wasGone = m_deviceGone;
        m_deviceGone = !comm->reopen();
        if (m_deviceGone) {
            m_failing = true;
            // The advice lists the devices present, which costs a look at the system: once,
            // not on every retry.
            if (!wasGone) {
                LastError =
                    QStringLiteral("The serial device %1 has gone: is the adapter unplugged?")
                        .arg(comm->deviceName());
                const QString advice = ConnectionAdvice(*comm);
                if (!advice.isEmpty())
                    LastError += u' ' + advice;
            }
            emit ErrorMessage(LastError);
            emit linkStateChanged();
            return false;
        }
    }
    m_bytesInAtRequest = m_bytesIn;
    // A failed write (a vanished device) brings no reply: the wait ends in the time-out.
    if (comm)
        comm->write(frame);
    emit requestSent(commandName, data);
    if (IsTraced())
        Trace(TrafficRecord::Kind::Sent, commandName, data);
    emit replyAwaited(commandName);
    const bool ok =
        TarnCommand::IsDataReply(commandName) ? WaitForReply(commandName) : WaitForAck(commandName);
    emit replyWaitEnded();
    m_failing = !m_answered;
    if (m_answered)
        m_lastAnswer = QDateTime::currentDateTime();
    emit linkStateChanged();
    if (ok) {
        LastError.clear();
        if (!TarnCommand::IsDataReply(commandName))
            emit acknowledged(commandName, data);
        return true;
    }
    emit ErrorMessage(LastError);
    return false;
}

bool Tarn_Comm::WaitForReply(int code)
{
    if (!WaitForCommand(code)) {
        TimedOut(code);
        return false;
    }
    // Gives the controller a moment before the caller's next request. The window keeps
    // running meanwhile; a request made from it must not change this Send's answer.
    const std::string reply = TarnData;
    const uint8_t replyCommand = Command;
    WaitProcessingEvents(kPostReplyPause);
    TarnData = reply;
    Command = replyCommand;
    return true;
}

bool Tarn_Comm::WaitForAck(int code)
{
    if (!WaitForCommand(code)) {
        TimedOut(code);
        return false;
    }
    if (TarnData.compare(0, 3, "ACK") == 0)
        return true;
    LastError = QStringLiteral("Communication error. ") + Latin1(TarnData) +
                QStringLiteral(" recieved. Command H") + QString::number(code, 16).toUpper();
    return false;
}

void Tarn_Comm::TimedOut(int code)
{
    IdentityStale = true;
    if (m_bytesIn == m_bytesInAtRequest)
        ++LineFailures;
    LastError = kTimeoutText;
    m_timedOutCode = code;
    m_sinceTimeOut.start();
    if (IsTraced())
        Trace(TrafficRecord::Kind::TimeOut, code, {});
}

bool Tarn_Comm::AwaitLateReply(int code)
{
    // Replies carry the command code only: a late one of another command cannot end this
    // request's wait, and one of this command can be told from this request's reply only by
    // when it comes.
    if (code != m_timedOutCode || !m_sinceTimeOut.isValid())
        return true;
    m_timedOutCode = 0;
    const auto left = kLateReplyGrace - std::chrono::milliseconds(m_sinceTimeOut.elapsed());
    if (left.count() <= 0)
        return true;
    WaitProcessingEvents(left);
    // The port may have been closed meanwhile (Cancel of a search): no reply can come.
    return !StopRequested;
}

bool Tarn_Comm::WaitForCommand(int code)
{
    QElapsedTimer clock;
    clock.start();
    // The reply may already have been read while the request was being written.
    bool arrived = code != 0 && ReceivedCommand == code;
    std::string reply = TarnData;
    if (!arrived) {
        const WaitDepth::Scope waiting;
        QEventLoop loop;
        QTimer deadline;
        deadline.setSingleShot(true);
        deadline.setTimerType(Qt::PreciseTimer);
        connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
        bool closed = false;
        connect(this, &Tarn_Comm::portClosed, &loop, [&] {
            closed = true;
            loop.quit();
        });
        // Keeps the data of the last matching frame: a nested Send or a stray frame read
        // after it must not change the answer that this Send returns.
        connect(this, &Tarn_Comm::frameStored, &loop, [&] {
            if (ReceivedCommand != code)
                return;
            arrived = true;
            reply = TarnData;
            loop.quit();
        });
        while (!arrived && !closed) {
            const auto left = replyTimeout - std::chrono::milliseconds(clock.elapsed());
            if (left.count() <= 0)
                break;
            deadline.start(left);
            // -1: the application is quitting and no local loop runs any more; waiting on
            // would spin until the deadline.
            if (loop.exec() == -1)
                break;
        }
    }
    if (!arrived)
        return false;
    m_answered = true;
    Command = static_cast<uint8_t>(code);
    TarnData = reply;
    return true;
}

void Tarn_Comm::ReadPort()
{
    if (m_reading)
        return;
    m_reading = true;
    if (CommTimer)
        CommTimer->stop();
    if (comm && comm->inBufferCount() > 0) {
        const std::string bytes = comm->readAll();
        m_bytesIn += bytes.size();
        for (const char byte : bytes) {
            const FrameCutter::Result cut = RxBuffer.feed(byte);
            if (cut.kind == FrameCutter::Result::Kind::Frame)
                HandleFrame(cut.frame);
            else if (cut.kind == FrameCutter::Result::Kind::Overflow)
                emit ErrorMessage(Latin1(FrameCutter::overflowText(cut.discarded)));
        }
    }
    // What the device sent before it hung up has been read.
    if (comm)
        comm->checkHangUp();
    if (CommTimer && !StopRequested)
        CommTimer->start(kPollIntervalMs);
    m_reading = false;
}

void Tarn_Comm::HandleFrame(const std::string& received)
{
    // Noise before a reply would otherwise cost the reply, and with it a log event that the
    // controller has already moved past.
    const std::string frame(SkipLeadingNoise(received, PCAddress, Address));
    const CheckedFrame checked = CheckFrame(frame);
    if (IsTraced())
        TraceReceived(frame, checked);
    switch (checked.status) {
    case CheckedFrame::Status::BadChecksum:
        KeepDamagedLogReply(frame);
        emit ErrorMessage(Latin1(checked.errorText));
        return;
    case CheckedFrame::Status::TooShort:
        if (checked.hasCommand)
            Command = static_cast<uint8_t>(checked.command);
        emit ErrorMessage(Latin1(checked.errorText));
        return;
    case CheckedFrame::Status::Ok:
        break;
    }
    Command = static_cast<uint8_t>(checked.command);
    TarnData = checked.data;
    ReceivedCommand = Command;
    if (checked.command == TarnCommand::ReadNextLogEvent)
        KeepLogReply(checked.data, false);
    emit DataRecieved(Command);
    emit frameStored();
}

Tarn_Comm::LogReply Tarn_Comm::takeLogReply()
{
    if (m_logReplies.empty())
        return {};
    LogReply reply = std::move(m_logReplies.front());
    m_logReplies.pop_front();
    return reply;
}

void Tarn_Comm::dropLogEnds()
{
    std::erase_if(m_logReplies, [](const LogReply& reply) {
        return !reply.damaged && reply.data.compare(0, 3, "END") == 0;
    });
}

void Tarn_Comm::KeepLogReply(std::string data, bool damaged)
{
    if (m_logReplies.size() < kMaxKeptLogReplies)
        m_logReplies.push_back({std::move(data), damaged});
}

void Tarn_Comm::KeepDamagedLogReply(const std::string& frame)
{
    // Address, PC address, command, data, checksum, end byte; the reply's own head is looked
    // for, as noise the frame could not be told from may come before it. Its data are hex
    // digits and letters, which never hold the head's bytes.
    const std::string head{static_cast<char>(PCAddress), static_cast<char>(Address),
                           static_cast<char>(TarnCommand::ReadNextLogEvent)};
    constexpr std::size_t kTail = 2;
    const std::size_t at = frame.rfind(head);
    if (at == std::string::npos || frame.size() < at + head.size() + kTail)
        return;
    std::string data = frame.substr(at + head.size(), frame.size() - at - head.size() - kTail);
    // "END" moves the controller past nothing: the next request gets it again.
    if (data.compare(0, 3, "END") == 0)
        return;
    KeepLogReply(std::move(data), true);
}

bool Tarn_Comm::IsTraced() const
{
    static const QMetaMethod signal = QMetaMethod::fromSignal(&Tarn_Comm::traffic);
    return isSignalConnected(signal);
}

void Tarn_Comm::Trace(TrafficRecord::Kind kind, int command, const std::string& data, int checksum)
{
    TrafficRecord record;
    record.kind = kind;
    record.time = QDateTime::currentMSecsSinceEpoch();
    record.command = command;
    record.data = data;
    record.checksum = checksum;
    emit traffic(record);
}

void Tarn_Comm::TraceReceived(const std::string& frame, const CheckedFrame& checked)
{
    // Address, PC address, command, data, checksum, end byte.
    constexpr std::size_t kFrameOverhead = 5;
    const int command = frame.size() >= 3 ? static_cast<unsigned char>(frame[2]) : 0;
    const std::string data = frame.size() > kFrameOverhead
                                 ? frame.substr(3, frame.size() - kFrameOverhead)
                                 : std::string();
    switch (checked.status) {
    case CheckedFrame::Status::BadChecksum:
        Trace(TrafficRecord::Kind::CrcError, command, data, checked.checksum);
        return;
    case CheckedFrame::Status::TooShort:
        Trace(TrafficRecord::Kind::BadFrame, command, data);
        return;
    case CheckedFrame::Status::Ok:
        break;
    }
    TrafficRecord::Kind kind = TrafficRecord::Kind::Reply;
    if (checked.data.compare(0, 3, "ACK") == 0)
        kind = TrafficRecord::Kind::Ack;
    else if (!TarnCommand::IsDataReply(checked.command))
        kind = TrafficRecord::Kind::NotAcknowledged;
    Trace(kind, checked.command, checked.data);
}
