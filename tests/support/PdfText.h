#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

/// A PDF's text as poppler's pdftotext extracts it, the layout kept; empty when it fails.
inline QString PdfText(const QString& pdfPath)
{
    constexpr int kTimeoutMs = 30000;
    QProcess process;
    process.start(QStringLiteral("pdftotext"),
                  {QStringLiteral("-layout"), pdfPath, QStringLiteral("-")});
    if (!process.waitForFinished(kTimeoutMs) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0)
        return QString();
    return QString::fromUtf8(process.readAllStandardOutput());
}

/// Whether every one of `parts` occurs in `text`, each after the one before; the first missing
/// in `missing`.
inline bool InOrder(const QString& text, const QStringList& parts, QString& missing)
{
    qsizetype from = 0;
    for (const QString& part : parts) {
        const qsizetype at = text.indexOf(part, from);
        if (at < 0) {
            missing = part;
            return false;
        }
        from = at + part.size();
    }
    return true;
}
