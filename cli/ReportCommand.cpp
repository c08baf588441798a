#include "cli/ReportCommand.h"

#include "cli/CliOptions.h"
#include "cli/CommandLink.h"
#include "cli/ConsoleOutput.h"
#include "cli/ExitCode.h"
#include "cli/InterruptFlag.h"
#include "controller/ControllerIdentity.h"
#include "controller/EventLogReader.h"
#include "controller/HistoryRecorder.h"
#include "controller/StatusCycle.h"
#include "controller/VisitFacts.h"
#include "controller/VisitReport.h"
#include "link/Tarn_Comm.h"
#include "report/VisitReportPdf.h"

#include <QSettings>

namespace {

/// The user's settings that keep who signs the reports, shared with the window program.
constexpr const char* kTechnicianKey = "report/technician";
constexpr const char* kCompanyKey = "report/company";

/// The value given on the command line (then kept), or the one kept.
QString GivenOrKept(QSettings& settings, const char* key, const QString& given)
{
    if (given.isNull())
        return settings.value(QLatin1String(key)).toString();
    settings.setValue(QLatin1String(key), given);
    return given;
}

/// Reads the status and the events not read before, into the history. False when a request
/// failed or an event was lost.
bool ReadController(CommandLink& link)
{
    Tarn_Comm& tarn = link.link();
    HistoryRecorder* const recorder = link.recorder();
    const int errorsBefore = link.errors();
    bool complete = false;
    if (!link.ReadVersion() || !link.ReadIdentity() || !link.ReadStatus(&complete))
        return false;
    EventLogReader reader;
    bool failed = false;
    reader.event = [&](const Tarn_Inputs& event, const std::string& raw) {
        if (recorder)
            recorder->RecordEvent(event, raw);
    };
    reader.lost = [&] {
        if (recorder)
            recorder->RecordLost();
    };
    reader.keepGoing = [&](bool requestFailed) {
        failed = requestFailed;
        return !requestFailed && !InterruptFlag::IsSet();
    };
    const bool ended = reader.Read(&tarn);
    if (reader.lostCount() > 0)
        ConsoleOutput::Say(
            QStringLiteral("%1 damaged replies: events lost.").arg(reader.lostCount()));
    if (reader.refused())
        ConsoleOutput::Say(QStringLiteral("tarn: Tarn refused to send the next event."));
    return complete && ended && !failed && reader.lostCount() == 0 && link.errors() == errorsBefore;
}

int Run(CommandLink& link, const CliOptions& options)
{
    if (options.output.isEmpty()) {
        ConsoleOutput::Say(
            QStringLiteral("tarn: report needs --output FILE.pdf\nTry 'tarn report --help'."));
        return ExitUsage;
    }
    HistoryRecorder* const recorder = link.recorder();
    HistoryArchive* const archive = recorder ? &recorder->archive() : nullptr;
    VisitFacts facts;
    facts.allEvents = options.all;
    bool everythingRead = true;
    std::optional<ArchivedController> controller;
    if (!options.serial.isEmpty()) {
        if (archive && archive->isOpen() && !archive->isQueueing())
            controller = archive->FindController(options.serial);
        if (!controller) {
            ConsoleOutput::Say(
                archive && archive->isOpen()
                    ? QStringLiteral("tarn: the service history holds no controller with the "
                                     "serial number %1")
                          .arg(options.serial)
                    : QStringLiteral("tarn: the service history cannot be read: %1")
                          .arg(archive ? archive->fault() : QString()));
            return ExitController;
        }
    } else {
        if (!link.Start())
            return ExitController;
        everythingRead = ReadController(link);
        facts.key = HistoryRecorder::KeyOf(link.link());
        if (!ControllerIdentity::Of(link.link().Inputs).Known()) {
            ConsoleOutput::Say(QStringLiteral("tarn: no controller answered; --serial N makes "
                                              "the report from the service history alone."));
            return ExitController;
        }
        if (archive && archive->isOpen()) {
            if (!facts.key.serialNumber.isEmpty())
                controller = archive->FindController(facts.key.serialNumber);
            else
                for (const ArchivedController& known : archive->Controllers())
                    if (known.key == facts.key)
                        controller = known;
        }
    }
    QString errText;
    if (controller &&
        !VisitFacts::FromArchive(*archive, *controller, options.all, facts, errText)) {
        ConsoleOutput::Say(QStringLiteral("tarn: the service history cannot be read: ") + errText);
        return ExitController;
    }
    if (options.serial.isEmpty()) {
        const Tarn_Inputs& inputs = link.link().Inputs;
        VisitFacts::TakeStatus(inputs, link.link().DetectorVoltageSwitch, facts);
        // Firmware before 2.07 has no administrative data to give.
        QStringList notGiven = facts.notGiven;
        if (inputs.CPUVersion < StatusCycle::kAdminDataVersion)
            notGiven.removeAll(QStringLiteral("admin"));
        if (!notGiven.isEmpty())
            everythingRead = false;
    }
    QSettings settings;
    facts.technician = GivenOrKept(settings, kTechnicianKey, options.technician);
    facts.company = GivenOrKept(settings, kCompanyKey, options.company);
    facts.visitAt = QDateTime::currentDateTime();
    if (!VisitReportPdf::Write(VisitReport::Build(facts), options.output, QLocale(), errText)) {
        ConsoleOutput::Say(
            QStringLiteral("tarn: %1 cannot be written: %2").arg(options.output, errText));
        return ExitOutput;
    }
    if (!everythingRead) {
        ConsoleOutput::Say(QStringLiteral("tarn: a request failed; what it should have read is "
                                          "marked \"not read\" in the report."));
        return ExitController;
    }
    return ExitOk;
}

} // namespace

const CliCommand ReportCommand::kCommand = {
    .name = "report",
    .synopsis = "report [options] --output FILE.pdf",
    .help =
        "Writes the service visit report as a PDF: the controller, the technician, the status\n"
        "as read, the setup at the start of the visit and the changes written during it, the\n"
        "events, and lines for the signatures. Without --serial it reads the controller on the\n"
        "cable first (its status, and the events it has not given before, into the service\n"
        "history); with --serial it takes the controller's last visit from the history alone.\n"
        "A value the controller did not give is marked \"not read\". The page is Letter in the\n"
        "United States, Canada, Mexico and the countries that follow them, A4 elsewhere.\n"
        "  --serial N         the controller with this serial number, from the history\n"
        "  --all              every event the history holds, not only those of the visit\n"
        "  --technician NAME  who signs the report (kept for the next reports, as the window\n"
        "                     program keeps it)\n"
        "  --company NAME     the technician's company (kept likewise)\n"
        "  --output FILE      the PDF; an old file is replaced only once the new one is whole\n",
    .options = "serial all technician company output",
    .flags = "",
    .minArguments = 0,
    .maxArguments = 0,
    .link = CliCommand::Link::Configured,
    .keepsHistory = true,
    .runsUntilStopped = false,
    .run = &Run};
