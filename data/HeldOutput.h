#pragma once

#include "data/OutputTests.h"

#include <optional>

/// Which output a held button wants on and which one is on at the controller, so that every
/// output switched on by a hold is switched off exactly once, however the hold ends: by the
/// button's release or by anything that stands for a release that will never come.
/// The caller runs the switchings that Next asks for, one at a time: it reports SwitchedOff as a
/// switching off begins and SwitchedOn once the output has been set on.
class HeldOutput
{
public:
    enum class Action
    {
        None,
        SwitchOn,
        SwitchOff
    };

    /// A button went down. Ignored (false) while another hold is wanted or not yet switched on,
    /// or after End. The output goes on even when the release comes before it did.
    bool Press(OutputItem item);
    /// The hold ended; any number of times.
    void Release() { m_wanted.reset(); }
    /// The program ends: the hold ends and nothing is switched on any more.
    void End();
    bool Ended() const { return m_ended; }
    /// True while a hold is wanted, owed its switching on, or its output is still on.
    bool Active() const { return m_wanted || m_pressed || m_on; }

    /// The switching needed now, and its item in `item`: the output that is on but no longer
    /// wanted goes off first, then the wanted one goes on.
    Action Next(OutputItem& item) const;
    void SwitchedOn(OutputItem item)
    {
        m_on = item;
        m_pressed.reset();
    }
    void SwitchedOff() { m_on.reset(); }

private:
    std::optional<OutputItem> m_wanted;
    /// Pressed and not yet switched on: a release that comes before then still gets its pulse.
    std::optional<OutputItem> m_pressed;
    std::optional<OutputItem> m_on;
    bool m_ended = false;
};
