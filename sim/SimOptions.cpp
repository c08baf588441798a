#include "sim/SimOptions.h"

#include <algorithm>
#include <charconv>
#include <iterator>
#include <limits>
#include <string_view>

namespace {
bool ParseNumber(const std::string& text, long long low, long long high, long long& value)
{
    const char* first = text.data();
    const char* last = text.data() + text.size();
    const auto result = std::from_chars(first, last, value);
    return !text.empty() && result.ec == std::errc() && result.ptr == last && value >= low &&
           value <= high;
}
} // namespace

bool SimOptions::Parse(const std::vector<std::string>& args, SimOptions& options,
                       std::string& error)
{
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& name = args[i];
        if (name == "--help" || name == "-h") {
            options.help = true;
            continue;
        }
        static const std::string_view kValueOptions[] = {
            "--link",      "--version",     "--journal",      "--events",        "--seed",
            "--line-rate", "--reply-delay", "--drop-every",   "--corrupt-every", "--noise-every",
            "--nak",       "--store",       "--fault-journal"};
        if (std::find(std::begin(kValueOptions), std::end(kValueOptions), name) ==
            std::end(kValueOptions)) {
            error = "unknown option " + name;
            return false;
        }
        if (i + 1 >= args.size()) {
            error = "missing value after " + name;
            return false;
        }
        const std::string& value = args[++i];
        long long number = 0;
        auto numberIn = [&](long long low, long long high) {
            if (ParseNumber(value, low, high, number))
                return true;
            error = "bad value for " + name + ": " + value + " (expected " + std::to_string(low) +
                    ".." + std::to_string(high) + ")";
            return false;
        };
        if (name == "--link") {
            options.linkPath = value;
        } else if (name == "--version") {
            options.version = value;
        } else if (name == "--journal") {
            options.journalPath = value;
        } else if (name == "--fault-journal") {
            options.faultJournalPath = value;
        } else if (name == "--store") {
            options.storePath = value;
        } else if (name == "--events") {
            if (!numberIn(0, kMaxEvents))
                return false;
            options.events = static_cast<int>(number);
        } else if (name == "--seed") {
            if (!numberIn(0, std::numeric_limits<uint32_t>::max()))
                return false;
            options.seed = static_cast<uint32_t>(number);
        } else if (name == "--line-rate") {
            if (!numberIn(0, kMaxLineRate))
                return false;
            options.lineRate = static_cast<int>(number);
        } else if (name == "--reply-delay") {
            if (!numberIn(0, kMaxDelayMs))
                return false;
            options.replyDelayMs = static_cast<int>(number);
        } else if (name == "--drop-every") {
            if (!numberIn(0, std::numeric_limits<int>::max()))
                return false;
            options.dropEvery = static_cast<int>(number);
        } else if (name == "--corrupt-every") {
            if (!numberIn(0, std::numeric_limits<int>::max()))
                return false;
            options.corruptEvery = static_cast<int>(number);
        } else if (name == "--noise-every") {
            if (!numberIn(0, std::numeric_limits<int>::max()))
                return false;
            options.noiseEvery = static_cast<int>(number);
        } else if (name == "--nak") {
            if (!numberIn(0, 255))
                return false;
            options.nakCodes.push_back(static_cast<int>(number));
        } else {
            error = "unknown option " + name;
            return false;
        }
    }
    return true;
}

std::string SimOptions::HelpText()
{
    return R"(Usage: tarn-sim [options]

Plays the Tarn controller on a pseudo-terminal. Prints the path of the terminal
to open as the first line of standard output, then READY once it serves.

Options:
  --link PATH          make PATH a symbolic link to the terminal (replaced if it
                       exists, removed on exit)
  --version TEXT       reply to command 64 (default V2.07)
  --events N           stored events at start (default 0)
  --seed S             seed of the generated events and of the noise (default 1)
  --line-rate BAUD     take the wire time of every byte received and sent, 10 bits
                       a byte (0 = instantaneous, the default)
  --reply-delay MS     extra delay before each reply
  --drop-every N       do not answer every Nth request (the request is lost)
  --corrupt-every N    send every Nth reply with a wrong checksum
  --noise-every N      send a burst of random bytes 0..254 before every Nth reply
  --nak CODE           answer command CODE with NAK and ignore it (repeatable)
  --store FILE         keep the log memory (events and the position of the next
                       new event) in FILE across restarts: read at start when it
                       exists (instead of --events), written whenever it changes
  --journal FILE       one line per received frame:
                         <seconds> <command> <data as hex>   or
                         <seconds> BAD <whole frame as hex>
  --fault-journal FILE
                       one line per request whose reply was muted, dropped,
                       corrupted or preceded by noise:
                         <seconds> <command> <data as hex> <muted|dropped|corrupted|noise>
  --help               this text

Commands on standard input, one a line, each answered with OK or ERR <reason>:
  inputs HEX6          inputs reply (command 52)
  delays HEX20         delays reply (command 55)
  admin HEX40          serial number and four packed dates (command 51)
  version TEXT         version reply (command 64)
  profile ZONE ID      profile id of zone 0..2, decimal (command 54)
  event HEX12          append a stored event
  clear-events         delete all stored events
  ack CODE TEXT        reply TEXT instead of ACK to command CODE
  ack CODE             reply ACK again
  mute N [CODE]        do not answer the next N requests (of command CODE)
  faults D C N         from now on as --drop-every D --corrupt-every C
                       --noise-every N (0: that fault no more)
  delay MS             delay before each reply
  frame CODE [HEX]     send a reply frame with these data now
  raw HEX              write these bytes to the line now
  quit                 end the simulator
End of input does not end the simulator; quit, SIGTERM, SIGINT and SIGHUP do.
)";
}
