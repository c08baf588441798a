#include "data/HeldOutput.h"

bool HeldOutput::Press(OutputItem item)
{
    if (m_ended || m_wanted || m_pressed)
        return false;
    m_wanted = item;
    m_pressed = item;
    return true;
}

void HeldOutput::End()
{
    m_wanted.reset();
    m_pressed.reset();
    m_ended = true;
}

HeldOutput::Action HeldOutput::Next(OutputItem& item) const
{
    if (m_on && m_on != m_wanted) {
        item = *m_on;
        return Action::SwitchOff;
    }
    if (!m_on && !m_ended && (m_wanted || m_pressed)) {
        item = m_wanted ? *m_wanted : *m_pressed;
        return Action::SwitchOn;
    }
    return Action::None;
}
