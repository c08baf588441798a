#include "link/PortNames.h"

#include "config/CIniFile.h"

#include <string_view>

namespace {

constexpr const char* kPortsSection = "PORTS";

std::string Trimmed(std::string_view text)
{
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(" \t\r\n");
    return std::string(text.substr(first, last - first + 1));
}

std::string DefaultDeviceName(int port)
{
#ifdef _WIN32
    return "COM" + std::to_string(port);
#else
    // USB adapters first: that is what a service technician's laptop has.
    if (port <= 8)
        return "/dev/ttyUSB" + std::to_string(port - 1);
    if (port <= 12)
        return "/dev/ttyACM" + std::to_string(port - 9);
    return "/dev/ttyS" + std::to_string(port - 13);
#endif
}

} // namespace

std::string PortDeviceName(int port, const std::string& iniPath)
{
    if (port < 1 || port > kMaxCommPort)
        return {};
#ifndef _WIN32
    if (!iniPath.empty()) {
        const CIniFile ini;
        const std::string key = "COM" + std::to_string(port);
        const std::string device =
            Trimmed(IniVariantToText(ini.UT_IniRead(kPortsSection, key, "ST", iniPath)));
        if (!device.empty())
            return device;
    }
#else
    (void)iniPath;
#endif
    return DefaultDeviceName(port);
}
