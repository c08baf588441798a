#include "report/VisitReportPdf.h"

#include "config/FileReplace.h"
#include "controller/VisitReport.h"
#include "report/PicturesPainter.h"

#include <QBuffer>
#include <QFont>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QPen>

#include <algorithm>
#include <string>
#include <vector>

namespace {

/// Resolution of the PDF's drawing, in dots per inch.
constexpr int kResolution = 300;
constexpr int kTitlePoints = 15;
constexpr int kHeadingPoints = 12;
constexpr int kCaptionPoints = 10;
/// A table's narrowest column, in widths of the letter "x": narrower ones would only wrap.
constexpr int kMinColumnChars = 6;
/// The pictures of the events are this share of the page's width high.
constexpr double kPicturesHeightShare = 0.6;
/// A heading goes to the next page unless this many lines fit under it.
constexpr int kLinesUnderHeading = 3;

QFont Font(int points, bool bold = false)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleHint(QFont::SansSerif);
    // Without ligatures: "off" and "Profile" are copied and searched in the PDF as written.
    font.setStyleStrategy(QFont::PreferNoShaping);
    font.setPointSize(points);
    font.setBold(bold);
    return font;
}

/// Lays the report out on pages, top to bottom, and draws it; a dry run (`draw` false) only
/// counts the pages, so that every page's header can say how many there are.
class PageLayout
{
public:
    PageLayout(QPagedPaintDevice& writer, QPainter& painter, const QString& title, bool draw,
               int pages)
        : m_writer(writer), m_painter(painter), m_title(title), m_draw(draw), m_pages(pages),
          m_body(Font(VisitReportPdf::kFontPoints)), m_bodyMetrics(m_body, &writer),
          m_bold(Font(VisitReportPdf::kFontPoints, true)),
          m_page(writer.pageLayout().paintRectPixels(writer.logicalDpiX()))
    {
        m_page.moveTo(0, 0);
        m_padding = m_bodyMetrics.horizontalAdvance(QLatin1Char('x')) * 0.6;
        NewPage();
    }

    int pages() const { return m_pageNumber; }

    void Heading(const QString& text, int points)
    {
        const QFont font = Font(points, true);
        const QFontMetricsF metrics(font, &m_writer);
        const double space = metrics.height() * (points == kCaptionPoints ? 0.4 : 0.8);
        if (!Fits(space + metrics.height() + kLinesUnderHeading * LineHeight()))
            NewPage();
        else if (m_y > m_top)
            m_y += space;
        Text(QRectF(0, m_y, m_page.width(), metrics.height()), font, text, Qt::AlignLeft);
        m_y += metrics.height() * 1.2;
    }

    void Line(const QString& text)
    {
        const QRectF bounds =
            m_bodyMetrics.boundingRect(QRectF(0, 0, m_page.width(), 1e9), Qt::TextWordWrap, text);
        const double height = std::max(bounds.height(), m_bodyMetrics.height()) + m_padding;
        if (!Fits(height))
            NewPage();
        Text(QRectF(0, m_y, m_page.width(), height), m_body, text, Qt::TextWordWrap);
        m_y += height;
    }

    void Table(const ReportTable& table)
    {
        const std::vector<double> widths = ColumnWidths(table);
        const double header = RowHeight(table.header, widths, m_bold);
        if (!Fits(header + LineHeight() * std::min<std::size_t>(table.rows.size(), 2)))
            NewPage();
        Row(table.header, widths, m_bold, header);
        for (const QStringList& cells : table.rows) {
            const double height = RowHeight(cells, widths, m_body);
            if (!Fits(height)) {
                NewPage();
                // Each page's part of the table under its own header row.
                Row(table.header, widths, m_bold, header);
            }
            Row(cells, widths, m_body, height);
        }
        m_y += m_padding;
    }

    /// The pictures of the events across the page, as the History window draws them.
    void Pictures(const HistoryPictures::Series& series)
    {
        const double height = m_page.width() * kPicturesHeightShare;
        if (!Fits(height))
            NewPage();
        if (m_draw) {
            m_painter.setFont(m_body);
            const auto [from, to] = PicturesPainter::FullRange(series);
            PicturesPainter::Draw(m_painter, QRectF(0, m_y, m_page.width(), height), series, from,
                                  to);
        }
        m_y += height + m_padding;
    }

private:
    double LineHeight() const { return m_bodyMetrics.height() + 2 * m_padding; }
    bool Fits(double height) const { return m_y + height <= m_page.height(); }

    void Text(const QRectF& rect, const QFont& font, const QString& text, int flags)
    {
        if (!m_draw)
            return;
        m_painter.setFont(font);
        m_painter.drawText(rect, flags, text);
    }

    void NewPage()
    {
        if (m_pageNumber > 0 && m_draw)
            m_writer.newPage();
        ++m_pageNumber;
        const double line = m_bodyMetrics.height();
        const QRectF band(0, 0, m_page.width(), line);
        Text(band, m_body, m_title, Qt::AlignLeft | Qt::AlignVCenter);
        Text(band, m_body, QStringLiteral("Page %1 of %2").arg(m_pageNumber).arg(m_pages),
             Qt::AlignRight | Qt::AlignVCenter);
        if (m_draw)
            m_painter.drawLine(QPointF(0, line * 1.3), QPointF(m_page.width(), line * 1.3));
        m_top = line * 2.2;
        m_y = m_top;
    }

    /// Each column as wide as its widest cell; when they do not fit the page, the widest give
    /// way (their cells wrap), the last takes what is left over.
    std::vector<double> ColumnWidths(const ReportTable& table) const
    {
        std::vector<double> widths(table.header.size(), 0);
        const auto widen = [&](const QStringList& cells, const QFontMetricsF& metrics) {
            for (qsizetype i = 0; i < cells.size() && i < qsizetype(widths.size()); ++i)
                widths[i] = std::max(widths[i], metrics.horizontalAdvance(cells[i]));
        };
        widen(table.header, QFontMetricsF(m_bold, &m_writer));
        for (const QStringList& cells : table.rows)
            widen(cells, m_bodyMetrics);
        const double least = m_bodyMetrics.horizontalAdvance(QLatin1Char('x')) * kMinColumnChars;
        double total = 0;
        for (double& width : widths) {
            // A little room over the text: drawn, it must not wrap where it was measured.
            width = std::max(width, least) + 3 * m_padding;
            total += width;
        }
        while (total > m_page.width() + 0.5) {
            auto widest = std::max_element(widths.begin(), widths.end());
            const double others = total - *widest;
            const double room = std::max(m_page.width() - others, least + 2 * m_padding);
            if (room >= *widest)
                break;
            total -= *widest - room;
            *widest = room;
        }
        if (total < m_page.width() && !widths.empty())
            widths.back() += m_page.width() - total;
        return widths;
    }

    double RowHeight(const QStringList& cells, const std::vector<double>& widths,
                     const QFont& font) const
    {
        const QFontMetricsF metrics(font, &m_writer);
        double height = metrics.height();
        for (qsizetype i = 0; i < cells.size() && i < qsizetype(widths.size()); ++i) {
            const double room = widths[i] - 2 * m_padding;
            if (metrics.horizontalAdvance(cells[i]) > room)
                height = std::max(
                    height,
                    metrics.boundingRect(QRectF(0, 0, room, 1e9), Qt::TextWordWrap, cells[i])
                        .height());
        }
        return height + 2 * m_padding;
    }

    void Row(const QStringList& cells, const std::vector<double>& widths, const QFont& font,
             double height)
    {
        if (m_draw) {
            m_painter.setFont(font);
            double x = 0;
            for (qsizetype i = 0; i < cells.size() && i < qsizetype(widths.size()); ++i) {
                m_painter.drawText(QRectF(x + m_padding, m_y + m_padding, widths[i] - 2 * m_padding,
                                          height - 2 * m_padding),
                                   Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, cells[i]);
                x += widths[i];
            }
            // A dark rule under the header row, light ones between the rows.
            m_painter.save();
            m_painter.setPen(QPen(font.bold() ? Qt::black : Qt::lightGray, 0));
            m_painter.drawLine(QPointF(0, m_y + height), QPointF(m_page.width(), m_y + height));
            m_painter.restore();
        }
        m_y += height;
    }

    QPagedPaintDevice& m_writer;
    QPainter& m_painter;
    QString m_title;
    bool m_draw;
    int m_pages;
    QFont m_body;
    QFontMetricsF m_bodyMetrics;
    QFont m_bold;
    QRectF m_page;
    double m_padding = 0;
    double m_top = 0;
    double m_y = 0;
    int m_pageNumber = 0;
};

/// Lays the whole report out; the number of pages.
int Lay(const VisitReport& report, PageLayout& layout)
{
    layout.Heading(report.title, kTitlePoints);
    layout.Line(report.controller);
    for (const ReportSection& section : report.sections) {
        if (!section.title.isEmpty())
            layout.Heading(section.title, kHeadingPoints);
        for (const QString& line : section.lines)
            layout.Line(line);
        for (const ReportTable& table : section.tables) {
            if (!table.caption.isEmpty())
                layout.Heading(table.caption, kCaptionPoints);
            layout.Table(table);
        }
        if (!section.pictures.marks.empty())
            layout.Pictures(section.pictures);
    }
    return layout.pages();
}

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

bool VisitReportPdf::Draw(const VisitReport& report, QPagedPaintDevice& device)
{
    QPainter painter;
    if (!painter.begin(&device))
        return false;
    const QString title = QStringLiteral("%1 – %2").arg(report.title, report.controller);
    // First the pages are counted, then drawn, each saying how many there are.
    PageLayout count(device, painter, title, false, 0);
    const int pages = Lay(report, count);
    PageLayout draw(device, painter, title, true, pages);
    Lay(report, draw);
    return painter.end();
}

QByteArray VisitReportPdf::Render(const VisitReport& report, const QLocale& locale)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    bool drawn = false;
    {
        QPdfWriter writer(&buffer);
        writer.setResolution(kResolution);
        writer.setPageSize(QPageSize(PageSizeFor(locale)));
        writer.setPageMargins(QMarginsF(kMarginMm, kMarginMm, kMarginMm, kMarginMm),
                              QPageLayout::Millimeter);
        writer.setTitle(QStringLiteral("%1 – %2").arg(report.title, report.controller));
        writer.setCreator(QStringLiteral("TarnConf"));
        drawn = Draw(report, writer);
    }
    return drawn ? bytes : QByteArray();
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
