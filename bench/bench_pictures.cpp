// The History window's pictures of one controller with EVENTS events (100,000 by default):
// the series built from the events as the archive gives them, then the pictures drawn in full,
// zoomed in and panned, each timed as the user waits for it, and drawn as Export as PNG does.
//
//   bench_pictures [EVENTS]

#include "BenchArguments.h"

#include "controller/HistoryPictures.h"
#include "ui/history/PicturesCanvas.h"
#include "report/PicturesPainter.h"
#include "ui/history/PicturesTab.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>

#include <cstdio>

namespace {

constexpr int kDefaultEvents = 100000;
constexpr double kAllowedMs = 300.0;
constexpr int kWidth = 1200;
constexpr int kHeight = 600;
const char* const kTexts[] = {"Alarm detector 1", "Pump fault", "Service mode", "Mains failure",
                              "Door opened"};

double Ms(const QElapsedTimer& clock)
{
    return double(clock.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char* argv[])
{
    BenchArguments arguments("usage: bench_pictures [EVENTS]   (default " +
                                 std::to_string(kDefaultEvents) + ")",
                             {"EVENTS"});
    if (!arguments.Read(argc, argv))
        return arguments.exitCode();
    QApplication app(argc, argv);
    const int count = arguments.number(0, kDefaultEvents);

    std::vector<ArchivedEvent> events(count);
    const QDateTime start(QDate(2020, 1, 1), QTime(0, 0), Qt::UTC);
    for (int i = 0; i < count; ++i) {
        events[i].eventTime = start.addSecs(600LL * i);
        events[i].code = i % 40;
        events[i].temperatureCelsius = (i * 7) % 60 - 10;
        events[i].text = QString::fromLatin1(kTexts[i % std::size(kTexts)]);
    }

    PicturesCanvas canvas;
    canvas.resize(kWidth, kHeight);
    if (qEnvironmentVariableIsEmpty("BENCH_HIDDEN"))
        canvas.show();
    QCoreApplication::processEvents();
    QElapsedTimer clock;
    clock.start();
    canvas.SetSeries(HistoryPictures::Build(events));
    const double buildMs = Ms(clock);
    clock.start();
    canvas.repaint();
    const double drawMs = Ms(clock);
    clock.start();
    canvas.Zoom(0.1, kWidth / 2.0);
    canvas.repaint();
    const double zoomMs = Ms(clock);
    clock.start();
    canvas.Pan(-kWidth / 4.0);
    canvas.repaint();
    const double panMs = Ms(clock);

    // As Export as PNG draws them: antialiased, at the export's size.
    clock.start();
    QImage image(PicturesTab::kExportWidth, PicturesTab::kExportHeight, QImage::Format_RGB32);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        PicturesPainter::Draw(painter, image.rect(), canvas.series(), canvas.shownFrom(),
                              canvas.shownTo());
    }
    const double imageMs = Ms(clock);

    std::printf("Pictures of %d events of one controller (%dx%d)\n", count, kWidth, kHeight);
    std::printf("  series built   %.1f ms (allowed %.0f)\n", buildMs, kAllowedMs);
    std::printf("  drawn in full  %.1f ms (allowed %.0f)\n", drawMs, kAllowedMs);
    std::printf("  zoomed in x10  %.1f ms (allowed %.0f)\n", zoomMs, kAllowedMs);
    std::printf("  panned         %.1f ms (allowed %.0f)\n", panMs, kAllowedMs);
    std::printf("  PNG-size image %.1f ms (allowed %.0f)\n", imageMs, kAllowedMs);
    const bool ok = int(canvas.series().marks.size()) == count && buildMs + drawMs <= kAllowedMs &&
                    zoomMs <= kAllowedMs && panMs <= kAllowedMs && imageMs <= kAllowedMs;
    return ok ? 0 : 1;
}
