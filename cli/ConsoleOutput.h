#pragma once

#include <QByteArray>
#include <QString>

#include <cstdio>

/// What tarn writes to the terminal, checked: a write that fails is told and never passes
/// for success.
class ConsoleOutput
{
public:
    /// Writes all of `bytes` and flushes them; false, with errno set, when any could not go out.
    static bool WriteStream(std::FILE* stream, const QByteArray& bytes);
    /// A line on standard error.
    static void Say(const QString& text);
    /// Writes to standard output; false after telling why it could not.
    static bool Print(const QString& text);
};
