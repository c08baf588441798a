// The chaos run: the main window against tarn-sim, with a real history, through rounds of
// random steps of the technician while the field misbehaves; after each round the program's
// promises are checked from the controller's journal and the history (ChaosChecks).
//
//   bench_chaos [--rounds N] [--seed S] [--seeds S1,S2,...] [--postgres] [--verbose]
//
// With --postgres the history is a PostgreSQL server of its own (a database a round), which the
// field stops with SIGSTOP and resumes; without, the SQLite file, which the field locks.
//
// Round i runs the plan of seed S + i (default S: the time); --seeds runs the plans of those
// seeds. A failed round prints its seed, its plan and what failed: bench_chaos --seed S
// --rounds 1 replays it. Exit code 0 only when every round passed.
//
// tarn-sim from TARN_SIM, else the one this program was built with.

#include "BenchSim.h"
#include "ChaosChecks.h"
#include "ChaosPlan.h"
#include "ChaosRound.h"

#include "tests/history/PostgresCluster.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLocale>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <csignal>
#include <unistd.h>

namespace {

/// A round that has not ended this long after its limit has hung the program.
constexpr std::chrono::seconds kWatchdogGrace{30};

const char* const kUsage =
    "usage: bench_chaos [--rounds N] [--seed S] [--seeds S1,S2,...] [--postgres] [--verbose]\n"
    "  rounds of random steps of the technician and faults in the field against tarn-sim;\n"
    "  a failed round prints its seed: --seed S --rounds 1 replays it;\n"
    "  --postgres keeps the history on a PostgreSQL server of its own\n";

/// Ends the process when a round hangs, naming its seed and plan.
class Watchdog
{
public:
    Watchdog() : m_thread([this] { watch(); }) {}
    ~Watchdog()
    {
        m_stop = true;
        m_thread.join();
    }
    void arm(const std::string& round, double seconds)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_round = round;
        m_deadline = std::chrono::steady_clock::now() +
                     std::chrono::milliseconds(qint64(seconds * 1000)) + kWatchdogGrace;
        m_armed = true;
    }
    void disarm() { m_armed = false; }

private:
    void watch()
    {
        while (!m_stop) {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_armed && std::chrono::steady_clock::now() > m_deadline) {
                std::fprintf(stdout, "FAILED: the program hung\n%s\n", m_round.c_str());
                std::fflush(stdout);
                if (const qint64 pid = ChaosRound::SimulatorPid(); pid > 0)
                    ::kill(pid_t(pid), SIGKILL);
                std::_Exit(2);
            }
        }
    }

    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_armed{false};
    std::mutex m_mutex;
    std::string m_round;
    std::chrono::steady_clock::time_point m_deadline;
    std::thread m_thread;
};

struct Arguments
{
    int rounds = 1;
    uint32_t seed = uint32_t(std::time(nullptr));
    std::vector<uint32_t> seeds;
    /// Every round's plan, boxes and figures, not only a failed round's.
    bool verbose = false;
    bool postgres = false;
};

/// The history's server for the run: a cluster of its own, a fresh database for each round.
class ChaosServer
{
public:
    bool start(QString& errText)
    {
        if (!m_cluster.init(errText) || !m_cluster.start(errText))
            return false;
        const QString address = m_cluster.address();
        QSqlDatabase admin = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), kAdmin);
        admin.setHostName(address.section(u'@', 1).section(u'/', 0, -2));
        admin.setUserName(QLatin1String(PostgresCluster::kUser));
        admin.setDatabaseName(QStringLiteral("postgres"));
        if (!admin.open()) {
            errText = admin.lastError().text();
            return false;
        }
        return true;
    }
    /// A new database's address.
    QString database(uint32_t seed, QString& errText)
    {
        const QString name = QStringLiteral("chaos_%1_%2").arg(seed).arg(++m_databases);
        QSqlQuery create(QSqlDatabase::database(kAdmin));
        if (!create.exec(QStringLiteral("CREATE DATABASE ") + name)) {
            errText = create.lastError().text();
            return {};
        }
        return m_cluster.address().section(u'/', 0, -2) + u'/' + name;
    }
    bool signal(int number) const { return m_cluster.signalAll(number); }

private:
    static constexpr const char* kAdmin = "chaos-admin";
    PostgresCluster m_cluster;
    int m_databases = 0;
};

bool Read(int argc, char* argv[], Arguments& arguments)
{
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (name == "--help") {
            std::fputs(kUsage, stdout);
            std::exit(0);
        }
        if (name == "--verbose") {
            arguments.verbose = true;
            continue;
        }
        if (name == "--postgres") {
            arguments.postgres = true;
            continue;
        }
        if (i + 1 >= argc)
            return false;
        const std::string value = argv[++i];
        char* end = nullptr;
        if (name == "--rounds") {
            arguments.rounds = int(std::strtol(value.c_str(), &end, 10));
            if (*end || arguments.rounds < 1)
                return false;
        } else if (name == "--seed") {
            arguments.seed = uint32_t(std::strtoul(value.c_str(), &end, 10));
            if (*end)
                return false;
        } else if (name == "--seeds") {
            const char* at = value.c_str();
            while (*at) {
                arguments.seeds.push_back(uint32_t(std::strtoul(at, &end, 10)));
                if (end == at || (*end && *end != ','))
                    return false;
                at = *end ? end + 1 : end;
            }
        } else {
            return false;
        }
    }
    return true;
}

/// Field faults of each kind drawn, over all rounds.
void CountFaults(const ChaosPlan& plan, std::map<std::string, int>& faults)
{
    const char* const names[] = {"none",        "line faults",          "slow replies",
                                 "mute",        "killed and restarted", "another serial number",
                                 "history away"};
    for (const ChaosPlan::Step& step : plan.steps) {
        if (step.field != ChaosPlan::Field::None)
            ++faults[names[int(step.field)]];
        if (step.desk == ChaosPlan::Desk::Setup && step.b)
            ++faults["another controller at the prompt"];
    }
    if (plan.end != ChaosPlan::End::Close)
        ++faults["ended by a signal"];
}

/// What the checks saw of a failed round: the technician's starts and ends, the field, and the
/// outputs words and writes the controller received.
void PrintTimeline(const ChaosChecks::Round& record)
{
    std::vector<std::pair<double, std::string>> lines;
    for (const ChaosChecks::OutputStart& start : record.starts)
        lines.push_back({start.at, start.runtime > 0 ? "timed test started" : "hold started"});
    for (const double end : record.ends)
        lines.push_back({end, "end"});
    for (const double kill : record.kills)
        lines.push_back({kill, "controller killed"});
    for (const auto& [from, to] : record.faultSpans)
        lines.push_back({from, "field fault until " + std::to_string(to)});
    for (const ChaosChecks::Identity& identity : record.identities)
        lines.push_back({identity.from, "serial " + identity.serial});
    for (const ChaosChecks::WriteAsk& ask : record.asks)
        lines.push_back({ask.at, "write asked, window shows serial " + ask.shownSerial});
    for (const ChaosChecks::Request& request : record.requests)
        if (request.command == 100 || request.command == 51 || request.command == 48 ||
            request.command == 66 || ChaosChecks::IsWrite(request))
            lines.push_back({request.at, "received " + std::to_string(request.command) + " " +
                                             request.data + (request.answered ? "" : " (ignored)") +
                                             (request.clean ? "" : " (reply faulty)")});
    std::stable_sort(lines.begin(), lines.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& [at, text] : lines)
        std::printf("  %8.3f %s\n", at, text.c_str());
}

} // namespace

int main(int argc, char* argv[])
{
    Arguments arguments;
    if (!Read(argc, argv, arguments)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    if (arguments.seeds.empty())
        for (int i = 0; i < arguments.rounds; ++i)
            arguments.seeds.push_back(arguments.seed + uint32_t(i));
    BenchSim::OffscreenUnlessSet();
    qputenv("TARN_EDITOR", "/bin/true");
    QApplication app(argc, argv);
    QLocale::setDefault(QLocale::c());
    std::printf("Chaos run: %zu rounds, seeds %u..\n", arguments.seeds.size(),
                arguments.seeds.front());

    ChaosServer server;
    if (arguments.postgres) {
        QString error;
        if (!server.start(error)) {
            std::printf("the history's server did not start: %s\n", qPrintable(error));
            return 1;
        }
    }
    Watchdog watchdog;
    ChaosChecks::Figures figures;
    std::map<std::string, int> faults;
    std::vector<uint32_t> failed;
    int unusable = 0;
    QElapsedTimer clock;
    clock.start();
    for (const uint32_t seed : arguments.seeds) {
        const ChaosPlan plan = ChaosPlan::Draw(seed);
        const std::string head = "round seed " + std::to_string(seed) + ": " + plan.text();
        watchdog.arm(head, ChaosRound::kLimitSeconds);
        ChaosRound round(plan);
        ChaosChecks::Round record;
        QString error;
        if (arguments.postgres)
            round.useServer(server.database(seed, error),
                            [&server](int number) { return server.signal(number); });
        const bool ran = error.isEmpty() && round.run(record, error);
        watchdog.disarm();
        if (!ran) {
            ++unusable;
            std::printf("%s\n  not run: %s\n", head.c_str(), qPrintable(error));
            continue;
        }
        CountFaults(plan, faults);
        ChaosChecks::Figures roundFigures;
        const std::vector<std::string> failures = ChaosChecks::CheckAll(record, roundFigures);
        figures.add(roundFigures);
        if (failures.empty() && arguments.verbose) {
            std::printf("%s\n  ok (%.1f s): %d outputs on, %d writes, %d events\n", head.c_str(),
                        record.duration, roundFigures.outputsOn, roundFigures.writes,
                        roundFigures.eventsChecked);
            for (const QString& box : round.boxes())
                std::printf("  box: %s\n", qPrintable(box));
        } else if (failures.empty()) {
            std::printf("seed %u ok (%.1f s)\n", seed, record.duration);
        } else {
            failed.push_back(seed);
            std::printf("FAILED %s\n", head.c_str());
            for (const std::string& failure : failures)
                std::printf("  %s\n", failure.c_str());
            for (const QString& box : round.boxes())
                std::printf("  box: %s\n", qPrintable(box));
            PrintTimeline(record);
            std::printf("  journals and history kept in %s\n", qPrintable(round.keep()));
            std::printf("  replay: bench_chaos --seed %u --rounds 1\n", seed);
        }
        std::fflush(stdout);
    }

    const double seconds = double(clock.elapsed()) / 1000.0;
    std::printf("\n%zu rounds in %.0f s (%.1f s a round), %d not run\n", arguments.seeds.size(),
                seconds, seconds / double(arguments.seeds.size()), unusable);
    std::printf("  outputs switched on %d, switched off %d, worst end to off %.3f s\n",
                figures.outputsOn, figures.outputsOff, figures.worstOff);
    std::printf("  writes checked %d, events checked %d (lost to a fault: %d; under an unknown "
                "controller: %d)\n",
                figures.writes, figures.eventsChecked, figures.eventsLost,
                figures.eventsUnattributed);
    std::printf("  waits ended %d, worst time from a wait's end to a key taken %.3f s\n",
                figures.waitsEnded, figures.worstKey);
    for (const auto& [kind, count] : faults)
        std::printf("  %-34s %d\n", kind.c_str(), count);
    std::printf("  failures %zu", failed.size());
    for (const uint32_t seed : failed)
        std::printf(" %u", seed);
    std::printf("\n");
    return failed.empty() && unusable == 0 ? 0 : 1;
}
