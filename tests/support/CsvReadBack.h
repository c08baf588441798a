#pragma once

#include <QJsonArray>
#include <QJsonDocument>
#include <QList>
#include <QProcess>
#include <QStringList>

/// The rows of a CSV text (header first) as Python's csv module reads it, strictly and as
/// UTF-8: what a spreadsheet or a script would get from the file. Empty when Python refused it.
inline QList<QStringList> CsvReadBack(const QByteArray& bytes)
{
    static const char* const kScript =
        "import csv, io, json, sys\n"
        "text = sys.stdin.buffer.read().decode('utf-8', 'strict')\n"
        "rows = list(csv.reader(io.StringIO(text, newline=''), strict=True))\n"
        "print(json.dumps(rows))\n";
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral("-c"), QString::fromLatin1(kScript)});
    if (!python.waitForStarted())
        return {};
    python.write(bytes);
    python.closeWriteChannel();
    constexpr int kPythonTimeoutMs = 30000;
    if (!python.waitForFinished(kPythonTimeoutMs) || python.exitCode() != 0)
        return {};
    QList<QStringList> rows;
    for (const QJsonValue& row : QJsonDocument::fromJson(python.readAllStandardOutput()).array()) {
        QStringList cells;
        for (const QJsonValue& cell : row.toArray())
            cells << cell.toString();
        rows << cells;
    }
    return rows;
}
