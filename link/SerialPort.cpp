#include "link/SerialPort.h"

#include "link/PortNames.h"

#include <QElapsedTimer>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <poll.h>
#endif
#include <QSerialPort>
#include <QStringList>

#include <cerrno>
#include <cstring>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {

/// How long a write may take to reach the driver.
constexpr int kWriteTimeoutMs = 2000;

bool ParseParity(const QString& text, QSerialPort::Parity& parity)
{
    if (text.size() != 1)
        return false;
    switch (text.at(0).toLower().toLatin1()) {
    case 'n':
        parity = QSerialPort::NoParity;
        return true;
    case 'e':
        parity = QSerialPort::EvenParity;
        return true;
    case 'o':
        parity = QSerialPort::OddParity;
        return true;
    case 'm':
        parity = QSerialPort::MarkParity;
        return true;
    case 's':
        parity = QSerialPort::SpaceParity;
        return true;
    default:
        return false;
    }
}

bool ParseStopBits(const QString& text, QSerialPort::StopBits& stopBits)
{
    if (text == QLatin1String("1"))
        stopBits = QSerialPort::OneStop;
    else if (text == QLatin1String("1.5"))
        stopBits = QSerialPort::OneAndHalfStop;
    else if (text == QLatin1String("2"))
        stopBits = QSerialPort::TwoStop;
    else
        return false;
    return true;
}

} // namespace

SerialPort::SerialPort(QObject* parent) : QObject(parent), m_port_(std::make_unique<QSerialPort>())
{
    connect(m_port_.get(), &QSerialPort::readyRead, this, &SerialPort::readyRead);
    connect(m_port_.get(), &QSerialPort::errorOccurred, this,
            [this](QSerialPort::SerialPortError error) { handlePortError(error); });
    m_port_->setFlowControl(QSerialPort::NoFlowControl);
}

void SerialPort::handlePortError(int error)
{
    if (!m_port_->isOpen())
        return;
    // The device went away under an open port (adapter unplugged, simulator ended).
    if (error == QSerialPort::ResourceError)
        m_lost = true;
    // A hung-up terminal reads as ready for ever and every read fails: the hang-up is looked
    // for on the next turn of the event loop (the port is still signalling now), not at the
    // link's next poll, so that the failing reads do not spin until then.
    if ((error == QSerialPort::ResourceError || error == QSerialPort::ReadError) &&
        !m_hangUpCheckDue) {
        m_hangUpCheckDue = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_hangUpCheckDue = false;
                checkHangUp();
            },
            Qt::QueuedConnection);
    }
}

bool SerialPort::checkHangUp()
{
#ifdef Q_OS_UNIX
    if (!m_port_->isOpen())
        return false;
    pollfd device{static_cast<int>(m_port_->handle()), POLLIN, 0};
    if (::poll(&device, 1, 0) != 1 || (device.revents & (POLLHUP | POLLERR | POLLNVAL)) == 0)
        return false;
    m_port_->close();
    m_lost = true;
    return true;
#else
    return false;
#endif
}

bool SerialPort::reopen()
{
    close();
    return open();
}

SerialPort::~SerialPort()
{
    close();
}

void SerialPort::setCommPort(int port)
{
    m_port = port;
}

bool SerialPort::setSettings(const QString& settings)
{
    const QStringList parts = settings.split(QLatin1Char(','));
    bool baudOk = false;
    bool bitsOk = false;
    const qint32 baud = parts.value(0).trimmed().toInt(&baudOk);
    const int dataBits = parts.value(2).trimmed().toInt(&bitsOk);
    QSerialPort::Parity parity = QSerialPort::NoParity;
    QSerialPort::StopBits stopBits = QSerialPort::OneStop;
    if (parts.size() != 4 || !baudOk || baud <= 0 || !bitsOk || dataBits < 5 || dataBits > 8 ||
        !ParseParity(parts.at(1).trimmed(), parity) ||
        !ParseStopBits(parts.at(3).trimmed(), stopBits)) {
        setError(QSerialPort::UnsupportedOperationError,
                 QStringLiteral("Invalid port settings \"%1\": expected baud rate, parity "
                                "(n, e, o, m or s), data bits (5 to 8) and stop bits (1, 1.5 "
                                "or 2), for example 9600,n,8,1")
                     .arg(settings));
        return false;
    }
    if (!m_port_->setBaudRate(baud) || !m_port_->setParity(parity) ||
        !m_port_->setDataBits(static_cast<QSerialPort::DataBits>(dataBits)) ||
        !m_port_->setStopBits(stopBits)) {
        takePortError(deviceName());
        return false;
    }
    m_settings = settings;
    return true;
}

bool SerialPort::setRTSEnable(bool on)
{
    m_rts = on;
    return !m_port_->isOpen() || applyLine(true, on);
}

bool SerialPort::setDTREnable(bool on)
{
    m_dtr = on;
    return !m_port_->isOpen() || applyLine(false, on);
}

bool SerialPort::setHandshakingNone()
{
    if (m_port_->setFlowControl(QSerialPort::NoFlowControl))
        return true;
    takePortError(deviceName());
    return false;
}

bool SerialPort::applyLine(bool rts, bool on)
{
    const bool ok = rts ? m_port_->setRequestToSend(on) : m_port_->setDataTerminalReady(on);
    if (ok)
        return true;
    // A pseudo-terminal has no modem lines: the driver refuses the request with ENOTTY.
    // That is no reason to refuse the port.
    if (m_port_->error() == QSerialPort::UnsupportedOperationError &&
        m_port_->errorString() == QString::fromLocal8Bit(std::strerror(ENOTTY))) {
        m_port_->clearError();
        return true;
    }
    takePortError(deviceName());
    return false;
}

bool SerialPort::open()
{
    const QString device = deviceName();
    if (device.isEmpty()) {
        setError(QSerialPort::DeviceNotFoundError,
                 QStringLiteral("Port number %1 does not exist (ports are numbered 1 to %2)")
                     .arg(m_port)
                     .arg(kMaxCommPort));
        return false;
    }
    if (m_port_->isOpen()) {
        setError(QSerialPort::OpenError, QStringLiteral("Device %1 is already open").arg(device));
        return false;
    }
#ifdef Q_OS_UNIX
    if (!QFileInfo::exists(device)) {
        setError(QSerialPort::DeviceNotFoundError,
                 QStringLiteral("Device %1 does not exist").arg(device),
                 PortFailure::DeviceMissing);
        return false;
    }
#endif
    m_port_->setPortName(device);
    if (!m_port_->open(QIODevice::ReadWrite)) {
        takePortError(device);
        return false;
    }
    if (!applyLine(true, m_rts) || !applyLine(false, m_dtr)) {
        m_port_->close();
        return false;
    }
    setError(0, QString(), PortFailure::None);
    m_lost = false;
    return true;
}

void SerialPort::close()
{
    if (m_port_->isOpen())
        m_port_->close();
}

bool SerialPort::isOpen() const
{
    return m_port_->isOpen();
}

qint64 SerialPort::inBufferCount()
{
    return m_port_->isOpen() ? m_port_->bytesAvailable() : 0;
}

void SerialPort::takeInPending()
{
    if (m_port_->isOpen())
        m_port_->waitForReadyRead(0);
}

std::string SerialPort::readAll()
{
    if (!m_port_->isOpen())
        return {};
    const QByteArray bytes = m_port_->readAll();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

bool SerialPort::write(const std::string& bytes)
{
    if (!m_port_->isOpen()) {
        setError(QSerialPort::NotOpenError,
                 QStringLiteral("Device %1 is not open").arg(deviceName()));
        return false;
    }
    const auto size = static_cast<qint64>(bytes.size());
    if (m_port_->write(bytes.data(), size) != size) {
        takePortError(deviceName());
        m_port_->clear(QSerialPort::Output);
        return false;
    }
    QElapsedTimer clock;
    clock.start();
    while (m_port_->bytesToWrite() > 0) {
        const qint64 left = kWriteTimeoutMs - clock.elapsed();
        if (left <= 0 || !m_port_->waitForBytesWritten(static_cast<int>(left))) {
            if (m_port_->error() == QSerialPort::NoError)
                setError(QSerialPort::TimeoutError,
                         QStringLiteral("Writing to device %1 timed out").arg(deviceName()));
            else
                takePortError(deviceName());
            // Whatever is still queued would arrive later as a request nobody waits for.
            m_port_->clear(QSerialPort::Output);
            return false;
        }
    }
    return true;
}

QString SerialPort::errorText() const
{
    return QString::number(m_errorNumber) + QStringLiteral(" - ") + m_errorDescription;
}

QString SerialPort::deviceName() const
{
    if (!m_device.isEmpty())
        return m_device;
    return QString::fromLocal8Bit(PortDeviceName(m_port, m_iniPath.toLocal8Bit().toStdString()));
}

void SerialPort::setError(int number, const QString& description, PortFailure failure)
{
    m_errorNumber = number;
    m_errorDescription = description;
    m_failure = failure;
}

void SerialPort::takePortError(const QString& device)
{
    const QSerialPort::SerialPortError error = m_port_->error();
    const QString detail = m_port_->errorString();
    QString description;
    PortFailure failure = PortFailure::Other;
    switch (error) {
    case QSerialPort::DeviceNotFoundError:
        description = QStringLiteral("Device %1 does not exist").arg(device);
        failure = PortFailure::DeviceMissing;
        break;
    case QSerialPort::PermissionError: {
        // The driver reports a device that another program holds the same way.
        bool denied = false;
#ifdef Q_OS_UNIX
        const QByteArray path = device.toLocal8Bit();
        denied = ::access(path.constData(), R_OK | W_OK) != 0 && errno == EACCES;
#endif
        if (denied) {
            description = QStringLiteral("Permission denied for device %1").arg(device);
            failure = PortFailure::PermissionDenied;
        } else {
            description =
                QStringLiteral("Device %1 is in use by another program (%2)").arg(device, detail);
            failure = PortFailure::DeviceBusy;
        }
        break;
    }
    case QSerialPort::OpenError:
        description = QStringLiteral("Device %1 is already open").arg(device);
        break;
    default:
        description = QStringLiteral("Device %1: %2").arg(device, detail);
        break;
    }
    setError(static_cast<int>(error), description, failure);
    m_port_->clearError();
}
