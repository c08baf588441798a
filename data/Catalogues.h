#pragma once

#include "data/KeyedCollection.h"
#include "data/Tarn_Message.h"
#include "data/Tarn_Profile.h"

#include <string>
#include <string_view>

/// Program-wide catalogues from Tarn.INI, in file order, keyed by the text before "=".
extern KeyedCollection<Tarn_Profile> ProfileCatalogue;
extern KeyedCollection<Tarn_Message> MessageCatalogue;
extern KeyedCollection<Tarn_Message> EventCodeCatalogue;

/// Loads [PROFILES] and [MESSAGES] from the file at iniPath. On an error returns false and
/// sets errText to the whole message for the user: "An error ocurred while reading the
/// Tarn.INI file!", "\r", number, " - ", description. The program ends after it.
bool LoadCatalogue(const std::string& iniPath, std::string& errText);
/// LoadCatalogue on the text of the file held in memory.
bool LoadCatalogueText(std::string_view text, std::string& errText);

/// Loads the event texts of the first EVENT_CODES_n section whose Version range holds
/// `version`. On an error the codes read so far stay; returns false with errText set to
/// "An error ocurred while reading event code from the Tarn.INI file!", "\r", number,
/// " - ", description. No matching section is no error: the catalogue stays empty.
bool LoadEventCodes(double version, const std::string& iniPath, std::string& errText);
/// LoadEventCodes on the text of the file held in memory.
bool LoadEventCodesText(double version, std::string_view text, std::string& errText);

/// Error numbers and descriptions shown after the two loader messages.
namespace CatalogueError {
inline constexpr int FileNotFound = 53;
inline constexpr int FileUnreadable = 57;
inline constexpr int BadLine = 5;         // a profile line without "|"
inline constexpr int BadVersionRange = 9; // a Version value without "-"
inline constexpr int DuplicateKey = 457;
inline constexpr int ListNotFound = 62; // a Version found, but not the header of its list
} // namespace CatalogueError
