#include "ChaosPlan.h"

#include <random>

namespace {

constexpr int kMinSteps = 3;
constexpr int kMaxSteps = 6;
constexpr int kMaxStoredEvents = 6;
constexpr int kSerials = 900000;
/// One step in this many has something happen in the field.
constexpr int kFieldOdds = 2;
/// After one step in this many comes a step of the second draw (keys, saving, undo), which
/// leaves the first draw, and so the plans of the seeds kept in the suite, as they were.
constexpr int kExtraOdds = 3;
/// One step of the second draw in this many has the history go away meanwhile.
constexpr int kArchiveAwayOdds = 2;
/// Mixed into the seed for the second draw.
constexpr uint32_t kExtraSalt = 0x5eed1e55;
/// Mixed into the seed for the third draw: what a step of the first draw does besides.
constexpr uint32_t kBesidesSalt = 0xc10c5e7;
/// One setup step in this many sets the clock too.
constexpr int kClockOdds = 2;
/// One History step in this many opens the fleet and the service report too.
constexpr int kFleetOdds = 2;
const char* const kOutputNames[ChaosPlan::kOutputs] = {
    "pump", "valve1", "valve2", "relay", "buzzer", "out1", "out2", "out3", "out4"};

class Dice
{
public:
    explicit Dice(uint32_t seed) : m_engine(seed) {}
    /// A whole number in [low, high].
    int in(int low, int high) { return std::uniform_int_distribution<int>(low, high)(m_engine); }
    bool oneIn(int n) { return in(1, n) == 1; }

private:
    std::mt19937 m_engine;
};

ChaosPlan::Step DeskStep(Dice& dice)
{
    using Desk = ChaosPlan::Desk;
    ChaosPlan::Step step;
    // Weighted toward the outputs and the event log, the promises under test.
    const int pick = dice.in(0, 19);
    if (pick < 5) {
        step.desk = Desk::Hold;
        step.a = dice.in(0, ChaosPlan::kOutputs - 1);
        step.b = dice.oneIn(3) ? 0 : dice.in(50, 1200);
    } else if (pick < 7) {
        step.desk = Desk::Timed;
        step.a = dice.in(1, 2);
        step.b = dice.in(1, 2);
        step.c = dice.in(0, 1);
        step.d = dice.oneIn(2) ? -1 : dice.in(100, 1500);
    } else if (pick < 8) {
        step.desk = Desk::Scan;
    } else if (pick < 9) {
        step.desk = Desk::Tab;
        step.a = dice.in(0, 2);
    } else if (pick < 11) {
        step.desk = Desk::GetNew;
        step.a = dice.oneIn(3) ? dice.in(0, 400) : -1;
    } else if (pick < 12) {
        step.desk = Desk::GetAll;
        step.a = dice.oneIn(3) ? dice.in(0, 400) : -1;
    } else if (pick < 13) {
        step.desk = Desk::About;
        step.a = dice.in(50, 400);
    } else if (pick < 14) {
        step.desk = Desk::History;
        step.a = dice.in(50, 400);
    } else if (pick < 15) {
        step.desk = Desk::Traffic;
        step.a = dice.in(50, 400);
    } else if (pick < 16) {
        step.desk = Desk::Comm;
        step.a = dice.in(50, 400);
    } else if (pick < 18) {
        step.desk = Desk::Setup;
        step.a = dice.in(1, 99);
        step.b = dice.oneIn(3) ? 1 : 0;
    } else if (pick < 19) {
        step.desk = Desk::Events;
        step.a = dice.in(1, 5);
    } else {
        step.desk = Desk::Wait;
        step.a = dice.in(100, 800);
    }
    return step;
}

void FieldChange(Dice& dice, ChaosPlan::Step& step)
{
    using Field = ChaosPlan::Field;
    step.fieldAfter = dice.in(0, 700);
    switch (dice.in(0, 5)) {
    case 0:
    case 1:
        step.field = Field::Faults;
        step.fa = dice.oneIn(2) ? 0 : dice.in(2, 6);
        step.fb = dice.oneIn(2) ? 0 : dice.in(2, 6);
        step.fc = dice.oneIn(2) ? 0 : dice.in(2, 6);
        if (step.fa == 0 && step.fb == 0 && step.fc == 0)
            step.fb = dice.in(2, 6);
        step.fd = dice.in(300, 2500);
        break;
    case 2:
        step.field = Field::Delay;
        step.fa = dice.oneIn(3) ? dice.in(1600, 2500) : dice.in(20, 400);
        step.fd = dice.in(300, 2000);
        break;
    case 3:
        step.field = Field::Mute;
        step.fa = dice.in(1, 2);
        break;
    case 4:
        step.field = Field::Kill;
        step.fd = dice.in(100, 2500);
        break;
    default:
        step.field = Field::Swap;
        step.fa = ChaosPlan::kFirstSerial + dice.in(0, kSerials - 1);
        break;
    }
}

ChaosPlan::Step ExtraStep(Dice& dice)
{
    using Desk = ChaosPlan::Desk;
    ChaosPlan::Step step;
    switch (dice.in(0, 2)) {
    case 0:
        step.desk = Desk::Key;
        step.a = dice.in(1, 3);
        step.b = dice.in(50, 400);
        step.c = dice.in(0, 600);
        break;
    case 1:
        step.desk = Desk::Save;
        step.a = dice.in(0, 2);
        break;
    default:
        step.desk = Desk::Undo;
        step.a = dice.in(100, 600);
        break;
    }
    if (dice.oneIn(kArchiveAwayOdds)) {
        step.field = ChaosPlan::Field::ArchiveAway;
        step.fieldAfter = dice.in(0, 300);
        step.fd = dice.in(300, 3000);
    }
    return step;
}

} // namespace

ChaosPlan ChaosPlan::Draw(uint32_t seed)
{
    Dice dice(seed);
    Dice extra(seed ^ kExtraSalt);
    Dice besides(seed ^ kBesidesSalt);
    ChaosPlan plan;
    plan.seed = seed;
    plan.serial = kFirstSerial + dice.in(0, kSerials - 1);
    plan.storedEvents = dice.in(0, kMaxStoredEvents);
    const int steps = dice.in(kMinSteps, kMaxSteps);
    for (int i = 0; i < steps; ++i) {
        Step step = DeskStep(dice);
        if (dice.oneIn(kFieldOdds))
            FieldChange(dice, step);
        if (step.desk == Desk::Setup)
            step.c = besides.oneIn(kClockOdds) ? 1 : 0;
        else if (step.desk == Desk::History)
            step.c = besides.oneIn(kFleetOdds) ? 1 : 0;
        plan.steps.push_back(step);
        if (extra.oneIn(kExtraOdds))
            plan.steps.push_back(ExtraStep(extra));
    }
    const int end = dice.in(0, 7);
    plan.end = end < 5    ? End::Close
               : end == 5 ? End::Sigterm
               : end == 6 ? End::Sighup
                          : End::Sigint;
    return plan;
}

std::string ChaosPlan::text() const
{
    using std::to_string;
    std::string out =
        "serial " + to_string(serial) + ", " + to_string(storedEvents) + " events stored";
    for (const Step& s : steps) {
        out += "; ";
        switch (s.desk) {
        case Desk::Hold:
            out += std::string(s.b == 0 ? "click " : "hold ") + kOutputNames[s.a] +
                   (s.b == 0 ? "" : " " + to_string(s.b) + " ms");
            break;
        case Desk::Timed:
            out += "timed test " + to_string(s.a) + " s valve " + to_string(s.b) +
                   (s.c ? " with pump" : "") +
                   (s.d < 0 ? " run out" : ", Stop after " + to_string(s.d) + " ms");
            break;
        case Desk::Scan:
            out += "scan ticked or unticked";
            break;
        case Desk::Tab:
            out += "tab " + to_string(s.a);
            break;
        case Desk::GetNew:
        case Desk::GetAll:
            out += s.desk == Desk::GetNew ? "Get new events" : "Get all events";
            if (s.a >= 0)
                out += ", Abort after " + to_string(s.a) + " ms";
            break;
        case Desk::About:
            out += "About " + to_string(s.a) + " ms";
            break;
        case Desk::History:
            out += "History " + to_string(s.a) + " ms" + (s.c ? ", the fleet and the report" : "");
            break;
        case Desk::Traffic:
            out += "traffic monitor " + to_string(s.a) + " ms";
            break;
        case Desk::Comm:
            out += "communication settings " + to_string(s.a) + " ms";
            break;
        case Desk::Setup:
            out += "setup: detector alarm delay " + to_string(s.a) + " written" +
                   (s.b ? ", another controller at the prompt" : "") +
                   (s.c ? ", then the clock set" : "");
            break;
        case Desk::Events:
            out += to_string(s.a) + " new events";
            break;
        case Desk::Wait:
            out += "wait " + to_string(s.a) + " ms";
            break;
        case Desk::Key:
            out += "F" + to_string(s.a) + " at +" + to_string(s.c) + " ms, closed after " +
                   to_string(s.b) + " ms";
            break;
        case Desk::Save:
            out += s.a == 0 ? "Save" : s.a == 1 ? "Save as" : "Print";
            break;
        case Desk::Undo:
            out += "undo in the History window, closed after " + to_string(s.a) + " ms";
            break;
        }
        const std::string at = " at +" + to_string(s.fieldAfter) + " ms";
        switch (s.field) {
        case Field::None:
            break;
        case Field::Faults:
            out += " [faults " + to_string(s.fa) + " " + to_string(s.fb) + " " + to_string(s.fc) +
                   " for " + to_string(s.fd) + " ms" + at + "]";
            break;
        case Field::Delay:
            out += " [delay " + to_string(s.fa) + " ms for " + to_string(s.fd) + " ms" + at + "]";
            break;
        case Field::Mute:
            out += " [mute " + to_string(s.fa) + at + "]";
            break;
        case Field::Kill:
            out += " [killed, back after " + to_string(s.fd) + " ms" + at + "]";
            break;
        case Field::Swap:
            out += " [serial " + to_string(s.fa) + at + "]";
            break;
        case Field::ArchiveAway:
            out += " [history away " + to_string(s.fd) + " ms" + at + "]";
            break;
        }
    }
    const char* const ends[] = {"close", "SIGTERM", "SIGHUP", "SIGINT"};
    return out + "; " + ends[int(end)];
}
