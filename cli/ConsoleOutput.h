#pragma once

#include <QByteArray>
#include <QString>

#include <cstdio>
#include <string>

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
    /// Writes `bytes` to the file `output` (--output), or to standard output when it is empty;
    /// false after telling why.
    static bool Emit(const QString& output, const std::string& bytes, bool latin1);
    /// Output bytes as text for the terminal: 8-bit (Latin-1) or UTF-8, the system's line ends.
    static QString TerminalText(const std::string& bytes, bool latin1);
};
