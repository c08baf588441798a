#pragma once

#include <QByteArray>
#include <QLocale>
#include <QPageSize>
#include <QString>

class QPagedPaintDevice;
class VisitReport;

/// The service visit report as a PDF, drawn by Qt (QPainter on QPdfWriter): A4, or Letter where the
/// locale's country uses it, with the controller and the page number in every page's header. Needs
/// a QGuiApplication (the offscreen platform will do).
class VisitReportPdf
{
public:
    /// Page margins, in millimetres.
    static constexpr double kMarginMm = 15;
    /// The body text's size, in points.
    static constexpr int kFontPoints = 9;

    /// Letter for the countries that use it (the United States, Canada, Mexico and the
    /// countries of Central and South America that follow them, the Philippines), A4 for
    /// every other.
    static QPageSize::PageSizeId PageSizeFor(const QLocale& locale);
    /// Draws the report on `device` (a PDF writer or a printer), page after page; false when
    /// it cannot be drawn on.
    static bool Draw(const VisitReport& report, QPagedPaintDevice& device);
    /// The PDF's bytes; empty when it could not be drawn.
    static QByteArray Render(const VisitReport& report, const QLocale& locale);
    /// Writes the PDF to `path`: the old file stays whole when the write fails. False with
    /// `errText` then.
    static bool Write(const VisitReport& report, const QString& path, const QLocale& locale,
                      QString& errText);
};
