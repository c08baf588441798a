#include "controller/ReportFiles.h"

#include "controller/DisplayFormat.h"
#include "controller/StatusCycle.h"
#include "data/CsvCell.h"
#include "data/EventLogReport.h"
#include "data/Tarn_Inputs.h"

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

QString Cell(const QString& cell)
{
    return QString::fromStdString(CsvCell(cell.toStdString()));
}
} // namespace

QString ReportFiles::SuggestedName(const Tarn_Inputs& inputs, const QDate& date,
                                   const QString& kind, const QString& extension)
{
    const QString serial =
        inputs.CPUVersion >= StatusCycle::kAdminDataVersion && !inputs.SerialNumber.empty()
            ? FromLatin1(inputs.SerialNumber)
            : QStringLiteral("unknown");
    return serial + u'_' + date.toString(Qt::ISODate) + u'_' + kind + u'.' + extension;
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

QByteArray ReportFiles::EventsCsv(const EventLogReport& report, const QString& identity,
                                  const QDateTime& readAt)
{
    QByteArray text = Cell(identity).toUtf8() + kLineEnd;
    text += Cell(QStringLiteral("Read at %1").arg(Stamp(readAt))).toUtf8() + kLineEnd;
    const auto line = [&text](const EventLogReport::Row& row) {
        QStringList cells;
        for (const std::string& cell : row)
            cells << Cell(FromLatin1(cell));
        text += cells.join(u',').toUtf8() + kLineEnd;
    };
    line(EventLogReport::Headers());
    for (const EventLogReport::Row& row : report.Rows)
        line(row);
    return text;
}
