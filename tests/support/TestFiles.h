#pragma once

#include <QFile>
#include <QString>

#include <string>

/// Whole-file reads and writes; an empty array or false when the file cannot be used.
inline QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool WriteAll(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

/// A shell script its owner may run.
inline bool WriteScript(const QString& path, const QByteArray& body)
{
    return WriteAll(path, "#!/bin/sh\n" + body) &&
           QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

/// A test's text as the core's 8-bit bytes.
inline std::string Std(const QString& text)
{
    return text.toLatin1().toStdString();
}
