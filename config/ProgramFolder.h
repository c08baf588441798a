#pragma once

#include <string>

/// The program's folder: TARN_HOME when set and not empty, else the running executable's
/// folder. No trailing separator.
std::string ProgramFolder();

/// Path of the file `name` in the program's folder.
std::string ProgramFile(const std::string& name);

/// The existing file in `folder` whose name equals `name` without regard to ASCII case,
/// or an empty text when there is none (so "tarn.ini" finds "Tarn.INI").
std::string FindFileNoCase(const std::string& folder, const std::string& name);

/// File names in the program's folder.
inline constexpr const char* kIniFileName = "Tarn.INI";
inline constexpr const char* kStatusReportFileName = "tarn.sts";
inline constexpr const char* kLogReportFileName = "tarn.logg";
