#pragma once

#include "config/IniVariant.h"

#include <string>

/// Typed access to single keys of Tarn.INI. Type codes are the first two characters of the
/// type text, any case: ST text, IN/LO/SI/DO numbers, BO Boolean, CU currency, DA date,
/// TI time, HE hex and OC octal (the last four on writing only).
class CIniFile
{
public:
    /// Longest value that a read returns; longer values are cut.
    static constexpr std::size_t kMaxValueLength = 254;

    /// ST: the text; IN/LO/SI/DO: the text unconverted, or int64 0 when empty; BO: true when
    /// it starts with T or t; CU: the text; anything else: the empty variant.
    IniVariant UT_IniRead(const std::string& tSectionName, const std::string& tItemName,
                          const std::string& tItemType, const std::string& tFileName) const;
    /// Writes the value in the type's text form; "KILLSECTION" (any case, blanks around)
    /// removes the whole section. False when nothing could be written.
    bool UT_IniWrite(const std::string& tSectionName, const std::string& tItemName,
                     const IniVariant& vntItemValue, const std::string& tItemType,
                     const std::string& tFileName) const;
};

/// The variant as a 16-bit integer, the way the program's callers convert INI numbers:
/// a number is rounded, a numeric text converted, anything else gives 0 and ok = false.
int16_t IniVariantToInt16(const IniVariant& value, bool* ok = nullptr);
/// The variant as text (empty for the empty variant).
std::string IniVariantToText(const IniVariant& value);
