#include "history/HistorySettings.h"

#include "config/IniFile.h"
#include "history/HistoryArchive.h"

#include <QFile>

QString HistorySettings::Database(const QString& iniPath)
{
    std::string value;
    if (iniPath.isEmpty() ||
        !IniFile::Read(QFile::encodeName(iniPath).toStdString(), kSection, kDatabaseKey, value))
        return {};
    return QString::fromLatin1(value.data(), qsizetype(value.size())).trimmed();
}

bool HistorySettings::isOff(const QString& iniPath)
{
    return Database(iniPath).compare(QLatin1String(kOff), Qt::CaseInsensitive) == 0;
}

int HistorySettings::ServiceInterval(const QString& iniPath)
{
    std::string value;
    if (iniPath.isEmpty() || !IniFile::Read(QFile::encodeName(iniPath).toStdString(), kSection,
                                            kServiceIntervalKey, value))
        return kDefaultServiceInterval;
    bool ok = false;
    const int days =
        QString::fromLatin1(value.data(), qsizetype(value.size())).trimmed().toInt(&ok);
    return ok && days > 0 ? days : kDefaultServiceInterval;
}

bool HistorySettings::Open(HistoryArchive& archive, const QString& folder, const QString& iniPath)
{
    if (isOff(iniPath)) {
        archive.Close();
        return true;
    }
    return archive.Open(folder, Database(iniPath));
}

bool HistorySettings::OpenForReading(HistoryArchive& archive, const QString& folder,
                                     const QString& iniPath)
{
    return archive.OpenForReading(folder, Database(iniPath));
}
