#include "link/TrafficRecord.h"

#include <QDateTime>

QString TrafficRecord::Outcome() const
{
    switch (kind) {
    case Kind::Sent:
        return QStringLiteral("sent");
    case Kind::Ack:
        return QStringLiteral("ACK");
    case Kind::Reply:
        return QStringLiteral("reply");
    case Kind::NotAcknowledged:
        return QStringLiteral("not acknowledged");
    case Kind::CrcError:
        return QStringLiteral("CRC error (%1)").arg(checksum);
    case Kind::BadFrame:
        return QStringLiteral("bad frame");
    case Kind::TimeOut:
        return QStringLiteral("time-out");
    }
    return {};
}

QString TrafficRecord::Line() const
{
    const QString clock =
        QDateTime::fromMSecsSinceEpoch(time).toString(QStringLiteral("HH:mm:ss.zzz"));
    const char direction = kind == Kind::Sent ? '>' : (kind == Kind::TimeOut ? '!' : '<');
    const QChar symbol = command >= 0x20 && command < 0x7F ? QChar(command) : QChar(u'.');
    QString line = QStringLiteral("%1 %2 %3 '%4'")
                       .arg(clock)
                       .arg(QChar::fromLatin1(direction))
                       .arg(command, 3)
                       .arg(symbol);
    if (kind != Kind::TimeOut) {
        QString hex;
        QString text;
        for (const char c : data) {
            const auto byte = static_cast<unsigned char>(c);
            hex += QStringLiteral("%1").arg(byte, 2, 16, QChar(u'0')).toUpper();
            text += byte >= 0x20 && byte < 0x7F ? QChar(byte) : QChar(u'.');
        }
        line += QStringLiteral(" data=%1 text=\"%2\"")
                    .arg(hex.isEmpty() ? QStringLiteral("-") : hex, text);
    }
    return line + u' ' + Outcome();
}
