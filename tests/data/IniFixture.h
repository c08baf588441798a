#pragma once

#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <string>

/// Writes `content` as Tarn.INI into `dir`; the file's path, or an empty text on failure.
inline QString WriteIni(const QTemporaryDir& dir, const QByteArray& content)
{
    const QString path = dir.filePath(QStringLiteral("Tarn.INI"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(content) < 0)
        return {};
    return path;
}

inline QString Latin1(const std::string& text)
{
    return QString::fromLatin1(text.data(), qsizetype(text.size()));
}
