#pragma once

#include <QString>

#include <string>

class Tarn_Comm;

/// The Tarn.INI of the program folder, whatever the case of its name ("tarn.ini" finds
/// "Tarn.INI"): its full path, or an empty text when there is none. Every read after the
/// program's start uses the file found.
std::string FindProgramIni();

/// Where FindProgramIni looked, for the message that it found nothing:
/// "Program folder searched: <folder>".
QString ProgramIniSearchedText();

/// Gives the link what Tarn.INI says (port, line settings, detector voltage switch) and the
/// fixed values of the protocol (end byte, controller and PC addresses).
void ConfigureLink(Tarn_Comm& link, const std::string& iniPath);
