#pragma once

#include "data/Tarn_Inputs.h"
#include "data/Tarn_Outputs.h"
#include "link/TrafficRecord.h"
#include "protocol/FrameCutter.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>

#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>

struct CheckedFrame;
class QTimer;
class SerialPort;

/// The link to the controller. Send() writes one request frame and waits for its reply
/// while the event loop keeps running, so the user interface stays alive meanwhile.
class Tarn_Comm : public QObject
{
    Q_OBJECT
public:
    explicit Tarn_Comm(QObject* parent = nullptr);
    ~Tarn_Comm() override;

    QString CommSettings;
    int16_t CommPort = 0;
    int16_t MessageEndAscChar = 255;
    uint8_t Address = 143;
    uint8_t PCAddress = 0;
    int16_t DetectorVoltageSwitch = 0;
    uint8_t Command = 0;
    std::string TarnData;
    Tarn_Inputs Inputs;
    /// Set when the port was opened (again) or a request went unanswered: the controller at
    /// the other end may have changed since Inputs was read. The status read clears it.
    bool IdentityStale = true;
    /// How often the line failed so far (the port opened again, a request that met silence):
    /// each time another controller may have come. A reply that came damaged is no failure:
    /// a controller was there.
    unsigned LineFailures = 0;
    Tarn_Outputs OutPuts;
    /// Assigned by the owner before Start; not owned.
    SerialPort* comm = nullptr;
    QTimer* CommTimer = nullptr;

    /// Path of Tarn.INI for the [PORTS] mapping of port numbers to devices.
    QString IniPath;

    /// Poll interval of CommTimer.
    static constexpr int kPollIntervalMs = 100;
    /// How long Send waits for a reply. Tests may shorten replyTimeout; the program never does.
    static constexpr std::chrono::milliseconds kReplyTimeout{5000};
    /// How often a request tries to open a device that has gone; the requests between fail at
    /// once and quietly, so that a program retrying on a timer costs nothing meanwhile.
    static constexpr std::chrono::milliseconds kReopenInterval{1000};
    /// Pause after a data reply before Send returns.
    static constexpr std::chrono::milliseconds kPostReplyPause{50};
    /// After a request timed out, how long a repeat of its command waits before it is written:
    /// a reply that comes this late still answers the request that timed out, and would
    /// otherwise pass for the repeat's.
    static constexpr std::chrono::milliseconds kLateReplyGrace{500};
    std::chrono::milliseconds replyTimeout = kReplyTimeout;

    bool Start(QString& errText);
    /// Closes the port; a request waiting for its reply gives up at once.
    void StopCom();
    bool Send(int commandName, const std::string& data = {});

    /// A reply to the log request (command 48). The controller moves past an event when it
    /// sends it, so every such reply is kept here, in the order of arrival, until a reading
    /// takes it: also one that comes after its request timed out or after the reading
    /// stopped. A damaged one (wrong checksum) stands for an event that cannot be read.
    struct LogReply
    {
        std::string data;
        bool damaged = false;
    };
    /// More log replies than a controller can store are not kept.
    static constexpr std::size_t kMaxKeptLogReplies = 65536;
    bool hasLogReply() const { return !m_logReplies.empty(); }
    /// The oldest kept log reply, taken out; an empty one when none is kept.
    LogReply takeLogReply();
    /// Forgets the kept log replies: the controller sends their events again (a rewind).
    void dropLogReplies() { m_logReplies.clear(); }
    /// Forgets the kept replies "END": they answered requests of a reading that is over, and
    /// the controller may have stored new events since.
    void dropLogEnds();

    bool isStarted() const { return IsStarted; }
    QString lastError() const { return LastError; }
    /// True when the controller answered the last request, also with a refusal.
    bool answered() const { return m_answered; }
    /// When the controller last answered a request; null before the first answer since Start.
    QDateTime lastAnswerTime() const { return m_lastAnswer; }
    /// True when the last request went unanswered (time-out or device gone).
    bool isFailing() const { return m_failing; }
    /// True when the serial device went away and could not be opened again.
    bool isDeviceGone() const { return m_deviceGone; }
    /// Bytes received and not yet cut into a frame.
    std::size_t bufferedBytes() const { return RxBuffer.buffer().size(); }

signals:
    void DataRecieved(int command);
    void ErrorMessage(const QString& MessageText);
    /// After every request and every Start and StopCom: what the connection display shows may
    /// have changed.
    void linkStateChanged();
    /// A request that the controller acknowledged (a write: setup, clock, log control), with
    /// the data sent; emitted before Send returns, while Inputs still holds the values before
    /// the write.
    void acknowledged(int commandName, const std::string& data);
    /// A request was written and its reply is awaited; replyWaitEnded follows once it came or
    /// the time-out ran out.
    void replyAwaited(int commandName);
    void replyWaitEnded();
    /// The port was closed (internal: ends a waiting Send at once, as no reply can come).
    void portClosed();
    /// A request written to the line, before its answer is waited for: the controller may act
    /// on it even when its answer is lost.
    void requestSent(int commandName, const std::string& data);
    /// A valid frame was stored (internal: wakes a waiting Send).
    void frameStored();
    /// Each frame sent and received, and each request that got no answer. Made only while
    /// something is connected: the link pays nothing for it otherwise.
    void traffic(const TrafficRecord& record);

private:
    void ReadPort();
    void HandleFrame(const std::string& frame);
    bool WaitForReply(int code);
    bool WaitForAck(int code);
    /// Runs a local event loop until a frame with `code` is stored or the deadline passes.
    bool WaitForCommand(int code);
    /// The wait's end when `code` went unanswered: noted for kLateReplyGrace, and traced.
    void TimedOut(int code);
    /// Lets a late reply to the last timed-out request arrive before a request of its code.
    /// False when the port was closed meanwhile.
    bool AwaitLateReply(int code);
    /// True while something follows the traffic signal.
    bool IsTraced() const;
    void Trace(TrafficRecord::Kind kind, int command, const std::string& data, int checksum = 0);
    void TraceReceived(const std::string& frame, const CheckedFrame& checked);
    void KeepLogReply(std::string data, bool damaged);
    /// Keeps a frame with a wrong checksum when it is a log reply other than "END".
    void KeepDamagedLogReply(const std::string& frame);

    int32_t ReceivedCommand = 0;
    QString LastError;
    bool StopRequested = false;
    FrameCutter RxBuffer;
    bool IsStarted = false;
    /// True from the writing of a request to the end of its wait.
    bool m_sending = false;
    bool m_answered = false;
    bool m_failing = false;
    bool m_deviceGone = false;
    QDateTime m_lastAnswer;
    QElapsedTimer m_sinceReopen;
    /// The command of the last request that timed out, and since when.
    int m_timedOutCode = 0;
    QElapsedTimer m_sinceTimeOut;
    /// True while ReadPort runs; readyRead and the poll timer must not nest it.
    bool m_reading = false;
    /// Bytes received so far, and when the request under way was written.
    std::size_t m_bytesIn = 0;
    std::size_t m_bytesInAtRequest = 0;
    /// The port and timer that Start wired up; null once their owner has destroyed them.
    QPointer<SerialPort> m_wiredPort;
    QPointer<QTimer> m_wiredTimer;
    std::deque<LogReply> m_logReplies;
};

/// Latin-1 view of 8-bit protocol text for display.
QString Latin1(const std::string& bytes);
