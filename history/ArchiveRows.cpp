#include "history/ArchiveRows.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace ArchiveRows {
QString UtcText(const QDateTime& time)
{
    return time.toUTC().toString(Qt::ISODateWithMs);
}

/// The digits of `text` from `at` on as a number; -1 when one is no digit.
int Digits(QStringView text, qsizetype at, qsizetype count)
{
    if (text.size() < at + count)
        return -1;
    int value = 0;
    for (qsizetype i = at; i < at + count; ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            return -1;
        value = value * 10 + (c - u'0');
    }
    return value;
}

/// "yyyy-MM-ddTHH:mm:ss[.zzz]", as the archive writes it (QDateTime::fromString takes many
/// times longer, which tells over 100,000 events).
QDateTime ParseTime(QStringView text, Qt::TimeSpec timeSpec)
{
    const QDate date(Digits(text, 0, 4), Digits(text, 5, 2), Digits(text, 8, 2));
    const int ms = text.size() >= 23 && text[19] == u'.' ? Digits(text, 20, 3) : 0;
    const QTime time(Digits(text, 11, 2), Digits(text, 14, 2), Digits(text, 17, 2), ms);
    if (!date.isValid() || !time.isValid())
        return QDateTime();
    return QDateTime(date, time, timeSpec);
}

QDateTime FromUtcText(const QString& text)
{
    return ParseTime(text, Qt::UTC);
}

QString NowText()
{
    return UtcText(QDateTime::currentDateTimeUtc());
}

QVariant NullText()
{
    return QVariant(QMetaType::fromType<QString>());
}

/// Qt binds a null text as NULL: the archive's text columns take "" instead.
QString Text(const QString& text)
{
    return text.isNull() ? QStringLiteral("") : text;
}

QVariant CommandData(const ArchiveConnection& db, const QString& data)
{
    // An empty one is no NULL.
    return db.isPostgres() ? QVariant(data.isEmpty() ? QByteArray("") : data.toLatin1())
                           : QVariant(Text(data));
}

QString CommandDataFrom(const QVariant& value)
{
    return value.typeId() == QMetaType::QByteArray ? QString::fromLatin1(value.toByteArray())
                                                   : value.toString();
}

QVariant EventTimeValue(const QDateTime& time)
{
    return time.isValid() ? QVariant(time.toString(QLatin1String(kEventTimeFormat))) : NullText();
}

QString ClockText(const QDateTime& time)
{
    return time.date().toString(Qt::ISODate) + u'T' +
           time.time().toString(QStringLiteral("HH:mm:ss"));
}

/// Two status texts equal but for the clock.
bool SameStatus(const QString& a, const QString& b)
{
    QJsonParseError errorA{}, errorB{};
    QJsonObject objectA = QJsonDocument::fromJson(a.toUtf8(), &errorA).object();
    QJsonObject objectB = QJsonDocument::fromJson(b.toUtf8(), &errorB).object();
    if (errorA.error != QJsonParseError::NoError || errorB.error != QJsonParseError::NoError)
        return a == b;
    objectA.remove(QStringLiteral("clock"));
    objectB.remove(QStringLiteral("clock"));
    return objectA == objectB;
}

QVariant FirmwareValue(const ArchiveConnection& db, double firmware)
{
    return db.isPostgres() ? QVariant(qRound(firmware * 100)) : QVariant(firmware);
}

double FirmwareFrom(const QVariant& value, bool postgres)
{
    return postgres ? value.toLongLong() / 100.0 : value.toDouble();
}

QDateTime TimeFrom(const QVariant& value)
{
    if (value.isNull())
        return QDateTime();
    if (value.typeId() == QMetaType::QDateTime) {
        // The driver gives the instant (in the PC's zone).
        return value.toDateTime().toUTC();
    }
    return ParseTime(value.toString(), Qt::UTC);
}

QDateTime ClockFrom(const QVariant& value)
{
    if (value.isNull())
        return QDateTime();
    if (value.typeId() == QMetaType::QDateTime) {
        const QDateTime time = value.toDateTime();
        return QDateTime(time.date(), time.time(), Qt::UTC);
    }
    return ParseTime(value.toString(), Qt::UTC);
}

QString Flag(bool value)
{
    return value ? QStringLiteral("1") : QStringLiteral("0");
}

QVariant CodeValue(const ArchiveConnection& db, const ArchivedEvent& event)
{
    if (!event.gap)
        return event.code;
    return db.isPostgres() ? QVariant(QMetaType::fromType<int>()) : QVariant(-1);
}

QVariant JsonValue(const ArchiveConnection& db, const QString& json)
{
    return db.isPostgres() && json.isEmpty() ? NullText() : QVariant(Text(json));
}

ArchivedEvent EventFrom(const QSqlQuery& query, int first)
{
    ArchivedEvent event;
    event.gap = query.value(first).toBool();
    event.raw = query.value(first + 1).toString();
    event.ordinal = query.value(first + 2).toInt();
    event.eventTime = ClockFrom(query.value(first + 3));
    const QVariant code = query.value(first + 4);
    event.code = code.isNull() ? -1 : code.toInt();
    event.temperatureCelsius = query.value(first + 5).toDouble();
    event.text = query.value(first + 6).toString();
    event.readAt = TimeFrom(query.value(first + 7));
    event.program = query.value(first + 8).toString();
    return event;
}

ArchivedController ControllerFrom(const QSqlQuery& query, bool postgres)
{
    ArchivedController controller;
    controller.id = query.value(0).toLongLong();
    controller.key.serialNumber = query.value(1).toString();
    controller.key.firmware = FirmwareFrom(query.value(2), postgres);
    controller.key.port = query.value(3).toString();
    controller.firstSeen = TimeFrom(query.value(4));
    controller.lastSeen = TimeFrom(query.value(5));
    controller.events = query.value(6).toLongLong();
    controller.name = query.value(7).toString();
    return controller;
}
} // namespace ArchiveRows
