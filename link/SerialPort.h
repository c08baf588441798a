#pragma once

#include "link/PortFailure.h"

#include <QObject>
#include <QString>

#include <memory>
#include <string>

class QSerialPort;

/// The serial port as the link uses it: a port number, a settings text "9600,n,8,1",
/// RTS/DTR, no handshaking, open/close, bytes waiting, read all, write. Failures come back
/// as a number and a description (errorNumber(), errorDescription()).
class SerialPort : public QObject
{
    Q_OBJECT
public:
    explicit SerialPort(QObject* parent = nullptr);
    ~SerialPort() override;

    void setCommPort(int port);
    int commPort() const { return m_port; }
    /// Tarn.INI whose [PORTS] section maps port numbers to devices; empty: built-in names.
    void setIniPath(const QString& iniPath) { m_iniPath = iniPath; }
    QString iniPath() const { return m_iniPath; }
    /// "baud,parity,databits,stopbits"; false (with an error) when it cannot be parsed.
    bool setSettings(const QString& settings);
    QString settings() const { return m_settings; }
    bool setRTSEnable(bool on);
    bool setDTREnable(bool on);
    bool setHandshakingNone();

    bool open();
    void close();
    bool isOpen() const;
    /// Bytes received and not yet read.
    qint64 inBufferCount();
    /// All received bytes.
    std::string readAll();
    /// Takes in what the device has received and the port not yet noticed (the port reads
    /// only when the event loop runs), without waiting; readyRead follows when there was some.
    void takeInPending();
    /// Writes all of `bytes` and flushes; false on a failure.
    bool write(const std::string& bytes);

    int errorNumber() const { return m_errorNumber; }
    QString errorDescription() const { return m_errorDescription; }
    /// What kind of failure the last error was (None after a successful open).
    PortFailure failure() const { return m_failure; }
    /// errorNumber() & " - " & errorDescription()
    QString errorText() const;

    /// True once the open device has gone away (an unplugged adapter); cleared by open().
    bool deviceLost() const { return m_lost; }
    /// True when the device behind the open port has hung up (the other end closed, the
    /// adapter gone). The port is then closed, which stops its read notifications (a hung-up
    /// terminal reads as ready for ever), and noted as lost, so that the next request opens
    /// the device afresh.
    bool checkHangUp();
    /// Closes and opens the port again with the same settings.
    bool reopen();

    /// The device name of the current port number (see PortNames), or the device set.
    QString deviceName() const;
    /// A device used whatever the port number; empty, the default, goes by the number.
    void setDevice(const QString& device) { m_device = device; }

signals:
    /// New bytes arrived (the link reads them at once instead of waiting for its poll).
    void readyRead();

private:
    void handlePortError(int error);
    void setError(int number, const QString& description, PortFailure failure = PortFailure::Other);
    /// Takes over the QSerialPort's last error, worded for the user.
    void takePortError(const QString& device);
    bool applyLine(bool rts, bool on);
    std::unique_ptr<QSerialPort> m_port_;
    int m_port = 0;
    QString m_settings;
    QString m_iniPath;
    QString m_device;
    bool m_rts = true;
    bool m_dtr = true;
    bool m_lost = false;
    bool m_hangUpCheckDue = false;
    int m_errorNumber = 0;
    QString m_errorDescription;
    PortFailure m_failure = PortFailure::None;
};
