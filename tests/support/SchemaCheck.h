#pragma once

#include "TestFiles.h"

#include <QDir>
#include <QHash>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

/// The verdict of docs/setup-file.schema.json on a setup file, given by a real validator:
/// python3-jsonschema from Debian (tools/ensure-deps.sh installs it), run by Debian's own
/// interpreter, since a python3 found first on the PATH may not have it. TARN_SCHEMA_PYTHON
/// names another interpreter.
struct SchemaCheck
{
    static constexpr int kTimeoutMs = 60000;

    /// One line per document: "valid" or "invalid: <reason>". False, with the reason in
    /// `errText`, when the validator could not be run.
    static bool Verdicts(const QList<QByteArray>& documents, QStringList& verdicts,
                         QString& errText)
    {
        QTemporaryDir dir;
        QStringList args{qEnvironmentVariable("TARN_SOURCE") +
                             QStringLiteral("/tests/support/check_setup_schema.py"),
                         qEnvironmentVariable("TARN_SOURCE") +
                             QStringLiteral("/docs/setup-file.schema.json")};
        for (qsizetype i = 0; i < documents.size(); ++i) {
            args << dir.filePath(QString::number(i) + QStringLiteral(".json"));
            if (!WriteAll(args.last(), documents[i])) {
                errText = QStringLiteral("%1 cannot be written").arg(args.last());
                return false;
            }
        }
        QString python = qEnvironmentVariable("TARN_SCHEMA_PYTHON");
        if (python.isEmpty())
            python = QStringLiteral("/usr/bin/python3");
        QProcess validator;
        validator.start(python, args);
        if (!validator.waitForFinished(kTimeoutMs) ||
            validator.exitStatus() != QProcess::NormalExit || validator.exitCode() != 0) {
            errText = QStringLiteral("%1 with python3-jsonschema did not run (tools/ensure-deps.sh "
                                     "installs it): %2")
                          .arg(python, QString::fromUtf8(validator.readAllStandardError()));
            return false;
        }
        verdicts = QString::fromUtf8(validator.readAllStandardOutput()).split(u'\n');
        verdicts.removeAll(QString());
        if (verdicts.size() != documents.size()) {
            errText = QStringLiteral("%1 verdicts for %2 files")
                          .arg(verdicts.size())
                          .arg(documents.size());
            return false;
        }
        return true;
    }
};

/// The schema's verdicts on the files of a data table, judged in one validator run, by row.
class TableVerdicts
{
public:
    void add(const char* row, const QByteArray& document)
    {
        m_rows << QString::fromUtf8(row);
        m_documents << document;
    }

    /// Judges the files added so far; a validator that cannot run ends the test program.
    void judge()
    {
        QStringList verdicts;
        QString errText;
        if (!SchemaCheck::Verdicts(m_documents, verdicts, errText))
            qFatal("%s", qPrintable(errText));
        for (qsizetype i = 0; i < m_rows.size(); ++i)
            m_verdicts.insert(m_rows[i], verdicts[i]);
        m_rows.clear();
        m_documents.clear();
    }

    /// The verdict on the file of the row under test.
    QString current() const { return m_verdicts.value(QString::fromUtf8(QTest::currentDataTag())); }

private:
    QStringList m_rows;
    QList<QByteArray> m_documents;
    QHash<QString, QString> m_verdicts;
};
