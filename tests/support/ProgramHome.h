#pragma once

#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

/// A fresh program folder for one test: TARN_HOME points at it while the object lives.
class ProgramHome
{
public:
    ProgramHome()
        : m_dir(QDir::tempPath() + QStringLiteral("/tarn home XXXXXX")),
          m_previous(qgetenv("TARN_HOME"))
    {
        qputenv("TARN_HOME", m_dir.path().toLocal8Bit());
    }
    ~ProgramHome() { qputenv("TARN_HOME", m_previous); }
    ProgramHome(const ProgramHome&) = delete;
    ProgramHome& operator=(const ProgramHome&) = delete;

    QString path() const { return m_dir.path(); }
    QString filePath(const QString& name) const { return m_dir.filePath(name); }

    /// Copies the shipped Tarn.INI here (as `name`) with COM1 mapped to `device` (which may go on
    /// with further lines of the section, "\r\nCOM2=...").
    bool installIni(const QString& device, const QString& name = QStringLiteral("Tarn.INI"))
    {
        QFile shipped(qEnvironmentVariable("TARN_BIN") + QStringLiteral("/Tarn.INI"));
        QFile copy(m_dir.filePath(name));
        if (!shipped.open(QIODevice::ReadOnly) || !copy.open(QIODevice::WriteOnly))
            return false;
        copy.write(shipped.readAll());
        copy.write("\r\n[PORTS]\r\nCOM1=" + device.toLocal8Bit() + "\r\n");
        return copy.error() == QFile::NoError;
    }

private:
    QTemporaryDir m_dir;
    QByteArray m_previous;
};
