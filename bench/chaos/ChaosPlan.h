#pragma once

#include <cstdint>
#include <string>
#include <vector>

/// What one round of the chaos run does, drawn from its seed alone: the technician's steps, each
/// with what may happen in the field while it runs, and how the program ends. The same seed
/// gives the same plan, and its text says what it is.
struct ChaosPlan
{
    enum class Desk
    {
        Hold,    ///< output `a` held `b` ms (0: a quick click)
        Timed,   ///< timed test of `a` s, valve `b`, pump when `c`, Stop after `d` ms (-1: none)
        Scan,    ///< the input scan ticked or unticked
        Tab,     ///< tab `a`
        GetNew,  ///< Get new events
        GetAll,  ///< Get all events
        About,   ///< the About box, closed after `a` ms
        History, ///< the History window, filtered and exported, closed after `a` ms; then the
                 ///< fleet and the service report when `c`
        Traffic, ///< the traffic monitor, closed after `a` ms
        Comm,    ///< the communication settings, cancelled after `a` ms
        Setup,   ///< a delay `a` written in the setup window; another controller at the
                 ///< prompt when `b`; the clock set after it when `c`
        Events,  ///< `a` new events stored by the controller
        Wait,    ///< nothing for `a` ms
        Key,     ///< F`a` pressed `c` ms after the step began (inside whatever runs then), the
                 ///< window it opens closed after `b` ms
        Save,    ///< the event list saved (`a` 0), saved as a file (1) or printed to PDF (2)
        Undo,    ///< the newest delays change undone from the History window, closed after `a` ms
    };
    enum class Field
    {
        None,
        Faults, ///< drop every `a`th, corrupt every `b`th, noise every `c`th for `d` ms
        Delay,  ///< replies late by `a` ms for `d` ms
        Mute,   ///< the next `a` requests unanswered
        Kill,   ///< the controller killed, back after `d` ms
        Swap,   ///< another serial number, `a`
        /// The history away for `d` ms: its SQLite file locked by another program, or its
        /// PostgreSQL server stopped (SIGSTOP) and resumed.
        ArchiveAway,
    };
    enum class End
    {
        Close,
        Sigterm,
        Sighup,
        Sigint,
    };

    struct Step
    {
        Desk desk = Desk::Wait;
        int a = 0;
        int b = 0;
        int c = 0;
        int d = 0;
        Field field = Field::None;
        /// When the field's change comes, in ms after the step began.
        int fieldAfter = 0;
        int fa = 0;
        int fb = 0;
        int fc = 0;
        int fd = 0;
    };

    static constexpr int kOutputs = 9;
    static constexpr int kFirstSerial = 100000;

    static ChaosPlan Draw(uint32_t seed);
    std::string text() const;

    uint32_t seed = 0;
    int serial = kFirstSerial;
    int storedEvents = 0;
    std::vector<Step> steps;
    End end = End::Close;
};
