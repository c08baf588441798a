#pragma once

#include <string>

/// Highest port number the program offers.
inline constexpr int kMaxCommPort = 15;

/// The device of port number `port` (1..15). On Windows "COMn". Elsewhere the key "COMn" of
/// the optional section [PORTS] of the INI file at iniPath, else COM1..8 = /dev/ttyUSB0..7,
/// COM9..12 = /dev/ttyACM0..3, COM13..15 = /dev/ttyS0..2. Empty for a number outside 1..15.
std::string PortDeviceName(int port, const std::string& iniPath);
