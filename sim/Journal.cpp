#include "sim/Journal.h"

#include "sim/HexText.h"

#include <cstdio>

bool Journal::open(const std::string& path, std::string& error)
{
    m_out.open(path, std::ios::out | std::ios::trunc | std::ios::binary);
    if (!m_out.is_open()) {
        error = "cannot write the journal " + path;
        return false;
    }
    return true;
}

void Journal::frame(double seconds, int command, std::string_view data)
{
    writeLine(FormatSeconds(seconds) + " " + std::to_string(command) + " " + BytesToHex(data));
}

void Journal::badFrame(double seconds, std::string_view frame)
{
    writeLine(FormatSeconds(seconds) + " BAD " + BytesToHex(frame));
}

void Journal::fault(double seconds, int command, std::string_view data, std::string_view what)
{
    writeLine(FormatSeconds(seconds) + " " + std::to_string(command) + " " + BytesToHex(data) +
              " " + std::string(what));
}

std::string Journal::FormatSeconds(double seconds)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", seconds);
    return text;
}

void Journal::writeLine(const std::string& line)
{
    if (!m_out.is_open())
        return;
    m_out << line << '\n';
    m_out.flush();
}
