#pragma once

#include <QString>
#include <QTemporaryDir>

/// A fresh program folder for one test: TARN_HOME points at it while the object lives.
class ProgramHome
{
public:
    ProgramHome();
    ~ProgramHome();
    ProgramHome(const ProgramHome&) = delete;
    ProgramHome& operator=(const ProgramHome&) = delete;

    QString path() const { return m_dir.path(); }
    QString filePath(const QString& name) const { return m_dir.filePath(name); }
    /// Copies the shipped Tarn.INI here (as `name`) with COM1 mapped to `device`.
    bool installIni(const QString& device, const QString& name = QStringLiteral("Tarn.INI"));

private:
    QTemporaryDir m_dir;
    QByteArray m_previous;
};
