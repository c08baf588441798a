// Measures the service visit report of a controller with EVENTS events in the service
// history: the visit gathered from the history's SQLite file (VisitFacts::FromArchive), the
// report built (VisitReport) and drawn as a PDF (VisitReportPdf), as File > Service report...
// and `tarn report` make it.
//
//   bench_report [EVENTS]   (default 10000; in a temporary folder)

#include "BenchStart.h"

#include "controller/VisitFacts.h"
#include "controller/VisitReport.h"
#include "history/HistoryArchive.h"
#include "report/VisitReportPdf.h"

#include <QElapsedTimer>
#include <QGuiApplication>

#include <cstdio>

namespace {

constexpr int kDefaultEvents = 10000;
/// What the report may take, from the history to the PDF's bytes.
constexpr double kLimitMs = 2000;
const char* const kTexts[] = {"Alarm detector 1", "Pump started",        "Battery fault",
                              "Zone 1 activated", "Mains power failure", "Alarm reset"};
constexpr int kTextCount = int(sizeof kTexts / sizeof kTexts[0]);
const char* const kStatus =
    R"({"version":2.07,"clock":"2026-12-07T14:29:10","temperatureCelsius":21,)"
    R"("delays":{"detectorAlarm":45,"detectorReset":10,"manualAlarm":5,"manualStop":60,)"
    R"("voltageSwitch":0},"zones":[{"profileId":1,"profileName":"Continuous 10 min","message":1,)"
    R"("outputs":3},{"profileId":5,"profileName":"Cooling 30 s","message":0,"outputs":10},)"
    R"({"profileId":8,"profileName":"","message":2,"outputs":0}],"inputs":{"detectors":[true,)"
    R"(false,false,false],"manualReleases":[false,false,true],"universalIO":[false,false,false,)"
    R"(false]},"admin":{"serialNumber":"123456","manufactured":"2019-03-14T00:00:00",)"
    R"("installed":"2019-05-02T00:00:00","lastService":"2025-11-30T00:00:00",)"
    R"("serviceBefore":null}})";

double Ms(QElapsedTimer& clock)
{
    const double ms = double(clock.nsecsElapsed()) / 1e6;
    clock.restart();
    return ms;
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    BenchStart bench(BenchArguments("usage: bench_report [EVENTS]   (default " +
                                        std::to_string(kDefaultEvents) + ")",
                                    {"EVENTS"}));
    if (!bench.Read(argc, argv))
        return bench.exitCode();
    const int events = bench.arguments().number(0, kDefaultEvents);

    HistoryArchive archive(QStringLiteral("tarn"));
    if (!bench.folder().isValid() || !archive.Open(bench.folder().path())) {
        std::fprintf(stderr, "bench_report: %s\n", qPrintable(archive.fault()));
        return 1;
    }
    const auto id = archive.ControllerId({QStringLiteral("123456"), 2.07, QStringLiteral("COM1")});
    QElapsedTimer clock;
    clock.start();
    const QDateTime first(QDate(2025, 1, 1), QTime(0, 0), Qt::UTC);
    const QDateTime readAt = QDateTime::currentDateTimeUtc();
    for (int i = 0; id && i < events; ++i) {
        ArchivedEvent event;
        event.raw = QString::number(i);
        event.ordinal = 0;
        event.eventTime = first.addSecs(i * 600);
        event.code = 1 + i % kTextCount;
        event.temperatureCelsius = 15 + i % 20;
        event.text = QLatin1String(kTexts[i % kTextCount]);
        event.readAt = readAt;
        if (!archive.StoreEvent(*id, event))
            return 1;
    }
    if (!id || !archive.StoreStatus(*id, QLatin1String(kStatus))) {
        std::fprintf(stderr, "bench_report: the archive could not be filled\n");
        return 1;
    }
    std::printf("Stored %d events in %.1f s\n", events, Ms(clock) / 1000);

    VisitFacts facts;
    QString errText;
    const std::optional<ArchivedController> controller =
        archive.FindController(QStringLiteral("123456"));
    if (!controller || !VisitFacts::FromArchive(archive, *controller, false, facts, errText)) {
        std::fprintf(stderr, "bench_report: %s\n", qPrintable(errText));
        return 1;
    }
    facts.technician = QStringLiteral("Ann Smith");
    facts.visitAt = QDateTime::currentDateTime();
    const double gatherMs = Ms(clock);
    const VisitReport report = VisitReport::Build(facts);
    const double buildMs = Ms(clock);
    const QByteArray pdf = VisitReportPdf::Render(report, QLocale::c());
    const double renderMs = Ms(clock);
    std::printf("The visit gathered from the history (%zu events)  %8.1f ms\n", facts.events.size(),
                gatherMs);
    std::printf("  the report built                             %8.1f ms\n", buildMs);
    std::printf("  drawn as a PDF (%lld bytes)            %8.1f ms\n", (long long)pdf.size(),
                renderMs);
    const double total = gatherMs + buildMs + renderMs;
    const bool within = total <= kLimitMs && !pdf.isEmpty();
    std::printf("\nThe report of %d events: %.1f ms, %s the limit of %.0f ms\n", events, total,
                within ? "within" : "OVER", kLimitMs);
    return within ? 0 : 1;
}
