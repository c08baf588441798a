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

bool HistorySettings::Open(HistoryArchive& archive, const QString& folder, const QString& iniPath)
{
    return archive.Open(folder, Database(iniPath));
}

bool HistorySettings::OpenForReading(HistoryArchive& archive, const QString& folder,
                                     const QString& iniPath)
{
    return archive.OpenForReading(folder, Database(iniPath));
}
