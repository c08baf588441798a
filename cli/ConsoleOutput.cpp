#include "cli/ConsoleOutput.h"

#include "config/FileReplace.h"
#include "link/Tarn_Comm.h"

#include <QFile>

#include <cerrno>
#include <cstring>

bool ConsoleOutput::WriteStream(std::FILE* stream, const QByteArray& bytes)
{
    errno = 0;
    const auto size = static_cast<std::size_t>(bytes.size());
    const bool written = std::fwrite(bytes.constData(), 1, size, stream) == size;
    const bool flushed = std::fflush(stream) == 0;
    return written && flushed && std::ferror(stream) == 0;
}

void ConsoleOutput::Say(const QString& text)
{
    WriteStream(stderr, text.toLocal8Bit() + '\n');
}

bool ConsoleOutput::Print(const QString& text)
{
    if (WriteStream(stdout, text.toLocal8Bit()))
        return true;
    const int error = errno != 0 ? errno : EIO;
    Say(QStringLiteral("tarn: standard output could not be written: %1")
            .arg(QString::fromLocal8Bit(std::strerror(error))));
    return false;
}

bool ConsoleOutput::Emit(const QString& output, const std::string& bytes, bool latin1)
{
    if (!output.isEmpty()) {
        std::string errText;
        if (ReplaceFileContent(QFile::encodeName(output).toStdString(), bytes, errText))
            return true;
        Say(QStringLiteral("%1 could not be saved: %2")
                .arg(output, QString::fromStdString(errText)));
        return false;
    }
    return Print(TerminalText(bytes, latin1));
}

QString ConsoleOutput::TerminalText(const std::string& bytes, bool latin1)
{
    QString text =
        latin1 ? Latin1(bytes) : QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text;
}
