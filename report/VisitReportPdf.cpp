#include "report/VisitReportPdf.h"

#include "config/FileReplace.h"
#include "controller/VisitReport.h"

#include <QAbstractTextDocumentLayout>
#include <QBuffer>
#include <QFont>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QTextDocument>

#include <string>

namespace {

/// Resolution of the PDF's drawing, in dots per inch.
constexpr int kResolution = 300;

} // namespace

QPageSize::PageSizeId VisitReportPdf::PageSizeFor(const QLocale& locale)
{
    switch (locale.territory()) {
    case QLocale::UnitedStates:
    case QLocale::Canada:
    case QLocale::Mexico:
    case QLocale::Belize:
    case QLocale::Chile:
    case QLocale::Colombia:
    case QLocale::CostaRica:
    case QLocale::DominicanRepublic:
    case QLocale::ElSalvador:
    case QLocale::Guatemala:
    case QLocale::Nicaragua:
    case QLocale::Panama:
    case QLocale::Philippines:
    case QLocale::PuertoRico:
    case QLocale::Venezuela:
        return QPageSize::Letter;
    default:
        return QPageSize::A4;
    }
}

QByteArray VisitReportPdf::Render(const VisitReport& report, const QLocale& locale)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setResolution(kResolution);
        writer.setPageSize(QPageSize(PageSizeFor(locale)));
        writer.setPageMargins(QMarginsF(kMarginMm, kMarginMm, kMarginMm, kMarginMm),
                              QPageLayout::Millimeter);
        writer.setTitle(
            QStringLiteral("%1 – %2").arg(QLatin1String(VisitReport::kTitle), report.controller));
        writer.setCreator(QStringLiteral("TarnConf"));

        QFont font(QStringLiteral("DejaVu Sans"));
        font.setStyleHint(QFont::SansSerif);
        font.setPointSize(kFontPoints);
        QTextDocument document;
        document.documentLayout()->setPaintDevice(&writer);
        document.setDefaultFont(font);
        document.setHtml(report.Html());

        QPainter painter(&writer);
        painter.setFont(font);
        const QRectF page = writer.pageLayout().paintRectPixels(kResolution);
        const QFontMetricsF metrics(font, &writer);
        const double header = metrics.height() * 2.5;
        const QSizeF body(page.width(), page.height() - header);
        document.setPageSize(body);
        const int pages = document.pageCount();
        for (int i = 0; i < pages; ++i) {
            if (i > 0)
                writer.newPage();
            const QRectF line(0, 0, page.width(), metrics.height());
            painter.drawText(line, Qt::AlignLeft | Qt::AlignVCenter,
                             QStringLiteral("%1 – %2").arg(QLatin1String(VisitReport::kTitle),
                                                           report.controller));
            painter.drawText(line, Qt::AlignRight | Qt::AlignVCenter,
                             QStringLiteral("Page %1 of %2").arg(i + 1).arg(pages));
            painter.drawLine(QPointF(0, metrics.height() * 1.4),
                             QPointF(page.width(), metrics.height() * 1.4));
            painter.save();
            painter.translate(0, header - i * body.height());
            document.drawContents(&painter, QRectF(QPointF(0, i * body.height()), body));
            painter.restore();
        }
    }
    return bytes;
}

bool VisitReportPdf::Write(const VisitReport& report, const QString& path, const QLocale& locale,
                           QString& errText)
{
    std::string err;
    const std::string target = path.toLocal8Bit().toStdString();
    if (!CanReplaceFile(target, err)) {
        errText = QString::fromLocal8Bit(err);
        return false;
    }
    const QByteArray bytes = Render(report, locale);
    if (bytes.isEmpty()) {
        errText = QStringLiteral("The report could not be drawn.");
        return false;
    }
    if (!ReplaceFileContent(target, std::string_view(bytes.constData(), bytes.size()), err)) {
        errText = QString::fromLocal8Bit(err);
        return false;
    }
    return true;
}
