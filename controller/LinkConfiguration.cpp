#include "controller/LinkConfiguration.h"

#include "config/CIniFile.h"
#include "config/ProgramFolder.h"
#include "controller/DisplayFormat.h"
#include "link/Tarn_Comm.h"
#include "protocol/FrameCodec.h"

#include <QDir>
#include <QFile>

#include <filesystem>

std::string FindProgramIni()
{
    const std::string folder = ProgramFolder();
    const std::string found = FindFileNoCase(folder, "tarn.ini");
    if (found.empty())
        return {};
    return std::filesystem::path(found).is_absolute()
               ? found
               : (std::filesystem::path(folder) / found).string();
}

QString ProgramIniSearchedText()
{
    return QStringLiteral("Program folder searched: %1")
        .arg(QDir::toNativeSeparators(QFile::decodeName(ProgramFolder().c_str())));
}

void ConfigureLink(Tarn_Comm& link, const std::string& iniPath)
{
    const CIniFile ini;
    link.IniPath = QString::fromStdString(iniPath);
    link.CommPort = IniVariantToInt16(ini.UT_IniRead("COMMUNICATION", "Port", "IN", iniPath));
    link.CommSettings = DisplayFormat::Text(
        IniVariantToText(ini.UT_IniRead("COMMUNICATION", "Settings", "ST", iniPath)));
    link.DetectorVoltageSwitch =
        IniVariantToInt16(ini.UT_IniRead("Tarn", "Detector voltage switch", "IN", iniPath));
    link.MessageEndAscChar = kFrameEndByte;
    link.Address = kControllerAddress;
    link.PCAddress = kPcAddress;
}
