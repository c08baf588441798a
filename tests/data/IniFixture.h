#pragma once

#include "TestFiles.h"

#include <QTemporaryDir>

/// Writes `content` as Tarn.INI into `dir`; the file's path, or an empty text on failure.
inline QString WriteIni(const QTemporaryDir& dir, const QByteArray& content)
{
    const QString path = dir.filePath(QStringLiteral("Tarn.INI"));
    return WriteAll(path, content) ? path : QString();
}

inline QString Latin1(const std::string& text)
{
    return QString::fromLatin1(text.data(), qsizetype(text.size()));
}
