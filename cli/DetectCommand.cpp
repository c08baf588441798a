#include "cli/DetectCommand.h"

#include "cli/CliOptions.h"
#include "cli/CommandLink.h"
#include "cli/ConsoleOutput.h"
#include "cli/ExitCode.h"
#include "controller/PortSearch.h"
#include "link/SerialPort.h"
#include "link/Tarn_Comm.h"

#include <vector>

namespace {

int Run(CommandLink& link, const CliOptions& /*options*/)
{
    Tarn_Comm& tarn = link.link();
    // The search goes by port numbers: a device given names no port.
    link.port().setDevice(QString());
    const QString settings = tarn.CommSettings;
    const std::vector<int> ports = PortSearch::AllPorts();
    const int found = PortSearch::Search(tarn, ports, settings);
    if (found < 0) {
        ConsoleOutput::Say(QStringLiteral("Auto detect could not found a working com-port!"));
        return ExitController;
    }
    ConsoleOutput::Say(QStringLiteral("Auto detect has succesfully connected to Tarn using COM%1.")
                           .arg(ports[static_cast<std::size_t>(found)]));
    return ConsoleOutput::Print(QStringLiteral("COM%1 %2\n")
                                    .arg(ports[static_cast<std::size_t>(found)])
                                    .arg(link.port().deviceName()))
               ? ExitOk
               : ExitOutput;
}

} // namespace

const CliCommand DetectCommand::kCommand = {
    .name = "detect",
    .synopsis = "detect",
    .help = "Tries every port (COM1 to COM15) with the baud rate set and prints the one where the\n"
            "controller answers.\n",
    .options = "",
    .flags = "",
    .minArguments = 0,
    .maxArguments = 0,
    .link = CliCommand::Link::Configured,
    .keepsHistory = false,
    .runsUntilStopped = false,
    .run = &Run};
