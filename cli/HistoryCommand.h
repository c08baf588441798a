#pragma once

#include "cli/CliOptions.h"

#include <QDateTime>
#include <QString>

#include <optional>

/// `tarn history`: what the service history holds, from the program folder's archive (or the
/// server Tarn.INI names). Needs no controller and no port.
class HistoryTool
{
public:
    static constexpr const char* kSynopsis =
        "history controllers|events|changes|status [SERIAL] [options]";
    static constexpr const char* kHelp =
        "The service history kept by tarnconf and tarn: history.sqlite in the program folder, or\n"
        "the PostgreSQL server named by [HISTORY] Database= in Tarn.INI. No controller needed.\n"
        "  controllers     every controller in the history: serial number, firmware, port,\n"
        "                  first and last seen, events stored\n"
        "  events SERIAL   the controller's events in the order they were read\n"
        "    --since DATE  only events from DATE on (yyyy-mm-dd or yyyy-mm-ddThh:mm:ss)\n"
        "  changes SERIAL  the setup writes the controller acknowledged\n"
        "  status SERIAL   the controller's status values, each time they changed\n"
        "  --format F      tsv (the default), csv or json (an array of objects)\n";
    static constexpr const char* kOptions = "since format";

    explicit HistoryTool(const CliOptions& options) : m_options(options) {}
    /// The exit code: 0 done, 1 the history cannot be read or has no such controller or the
    /// output failed, 2 a usage error.
    int Run();

    /// The time --since names, or nothing when it is none.
    static std::optional<QDateTime> ParseSince(const QString& text);

private:
    const CliOptions& m_options;
};
