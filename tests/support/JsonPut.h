#pragma once

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringView>

/// `at` with `value` put at `path` ("zones[1].outputs"); an undefined `value` removes the key.
inline QJsonValue JsonPut(const QJsonValue& at, QStringView path, const QJsonValue& value)
{
    if (path.isEmpty())
        return value;
    if (path.startsWith(u'[')) {
        const qsizetype close = path.indexOf(u']');
        const int index = path.mid(1, close - 1).toInt();
        QStringView rest = path.mid(close + 1);
        if (rest.startsWith(u'.'))
            rest = rest.mid(1);
        QJsonArray array = at.toArray();
        array[index] = JsonPut(array.at(index), rest, value);
        return array;
    }
    qsizetype end = 0;
    while (end < path.size() && path[end] != u'.' && path[end] != u'[')
        ++end;
    const QString key = path.left(end).toString();
    QStringView rest = path.mid(end);
    if (rest.startsWith(u'.'))
        rest = rest.mid(1);
    QJsonObject object = at.toObject();
    if (rest.isEmpty() && value.isUndefined())
        object.remove(key);
    else
        object.insert(key, JsonPut(object.value(key), rest, value));
    return object;
}

/// The JSON document `text` with "path=JSON" put in (an empty JSON removes the key).
inline QByteArray JsonPut(const QByteArray& text, const QString& assignment)
{
    const QByteArray value = assignment.section(u'=', 1).toUtf8();
    const QJsonValue put = value.isEmpty()
                               ? QJsonValue(QJsonValue::Undefined)
                               : QJsonDocument::fromJson("[" + value + "]").array().at(0);
    const QJsonValue root = QJsonDocument::fromJson(text).object();
    return QJsonDocument(JsonPut(root, assignment.section(u'=', 0, 0), put).toObject()).toJson();
}
