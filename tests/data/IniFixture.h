#pragma once

#include "TestFiles.h"
#include "data/Catalogues.h"

#include <QStringList>
#include <QTemporaryDir>

/// Writes `content` as Tarn.INI into `dir`; the file's path, or an empty text on failure.
inline QString WriteIni(const QTemporaryDir& dir, const QByteArray& content)
{
    const QString path = dir.filePath(QStringLiteral("Tarn.INI"));
    return WriteAll(path, content) ? path : QString();
}

inline QString Latin1(const std::string& text)
{
    return QString::fromLatin1(text.data(), qsizetype(text.size()));
}

/// What the catalogues hold, one line each: "P id|name|profile", "M key=text", "E key=text".
inline QStringList Loaded()
{
    QStringList lines;
    for (const Tarn_Profile& p : ProfileCatalogue)
        lines << "P " + Latin1(p.ID + "|" + p.Name + "|" + p.Profile);
    for (const Tarn_Message& m : MessageCatalogue)
        lines << "M " + Latin1(m.key + "=" + m.Text);
    for (const Tarn_Message& m : EventCodeCatalogue)
        lines << "E " + Latin1(m.key + "=" + m.Text);
    return lines;
}
