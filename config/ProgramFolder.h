#pragma once

#include <string>

/// The program's folder, with no trailing separator: TARN_HOME when set and not empty; else the
/// running executable's folder when it holds Tarn.INI (an unpacked or build-folder copy); else
/// the user's folder given to SetUserProgramFolder (an installed copy); else the executable's
/// folder.
std::string ProgramFolder();

/// The folder an installed copy keeps its files in when neither TARN_HOME nor the executable's
/// folder names one (the user's application data folder). Empty, the default, names none.
void SetUserProgramFolder(const std::string& folder);

/// True when ProgramFolder() is the user's folder given to SetUserProgramFolder.
bool UsesUserProgramFolder();

/// Makes `folder` ready as a program folder: creates it and, when it holds no Tarn.INI in any
/// letter case, copies `sampleIni` there as Tarn.INI. An existing Tarn.INI is never touched.
/// False, with a text, when the folder cannot be made or the sample cannot be copied.
bool PrepareUserProgramFolder(const std::string& folder, const std::string& sampleIni,
                              std::string& errText);

/// Path of the file `name` in the program's folder.
std::string ProgramFile(const std::string& name);

/// The existing file in `folder` whose name equals `name` without regard to ASCII case,
/// or an empty text when there is none (so "tarn.ini" finds "Tarn.INI").
std::string FindFileNoCase(const std::string& folder, const std::string& name);

/// File names in the program's folder.
inline constexpr const char* kIniFileName = "Tarn.INI";
inline constexpr const char* kStatusReportFileName = "tarn.sts";
inline constexpr const char* kLogReportFileName = "tarn.logg";
