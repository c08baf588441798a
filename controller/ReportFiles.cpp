#include "controller/ReportFiles.h"

#include "controller/DisplayFormat.h"
#include "controller/StatusCycle.h"
#include "data/ExportText.h"
#include "data/Tarn_Inputs.h"

#include <QDir>
#include <QStandardPaths>

namespace {
const QByteArray kLineEnd("\r\n");

QString FromLatin1(const std::string& bytes)
{
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

QString Stamp(const QDateTime& time)
{
    return time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}
} // namespace

QString ReportFiles::SuggestedName(const Tarn_Inputs& inputs, const QDate& date,
                                   const QString& kind, const QString& extension)
{
    return SuggestedName(inputs.CPUVersion >= StatusCycle::kAdminDataVersion
                             ? FromLatin1(inputs.SerialNumber)
                             : QString(),
                         date, kind, extension);
}

QString ReportFiles::SuggestedName(const QString& serialNumber, const QDate& date,
                                   const QString& kind, const QString& extension)
{
    QString serial = serialNumber.trimmed();
    if (serial.isEmpty())
        serial = QStringLiteral("unknown");
    for (QChar& c : serial)
        if (c.unicode() < 0x20 || QStringLiteral("/\\:*?\"<>|").contains(c))
            c = u'_';
    return serial + u'_' + date.toString(Qt::ISODate) + u'_' + kind + u'.' + extension;
}

QString ReportFiles::SuggestedPath(const QString& name)
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)).filePath(name);
}

QString ReportFiles::Identity(const Tarn_Inputs& inputs)
{
    QString identity = QStringLiteral("Tarn");
    if (inputs.CPUVersion > 0)
        identity += u' ' + DisplayFormat::Version(inputs.CPUVersion).remove(u' ');
    if (inputs.CPUVersion >= StatusCycle::kAdminDataVersion && !inputs.SerialNumber.empty())
        identity += QStringLiteral(", serial ") + FromLatin1(inputs.SerialNumber);
    return identity;
}

QByteArray ReportFiles::Headed(const std::string& latin1Report, const QString& identity,
                               const QDateTime& readAt)
{
    QByteArray text = identity.toUtf8() + kLineEnd;
    text += QStringLiteral("Read at %1").arg(Stamp(readAt)).toUtf8() + kLineEnd + kLineEnd;
    text += FromLatin1(latin1Report).toUtf8();
    return text;
}

EventListCsv::Source ReportFiles::CsvSource(const Tarn_Inputs& inputs, const QDateTime& readAt)
{
    return {inputs.CPUVersion >= StatusCycle::kAdminDataVersion ? inputs.SerialNumber
                                                                : std::string(),
            inputs.CPUVersion, PcTime(readAt)};
}

std::string ReportFiles::PcTime(const QDateTime& time)
{
    const QDateTime local = time.toLocalTime();
    return ExportText::PcTime(local.toSecsSinceEpoch(), local.offsetFromUtc());
}
