#pragma once

#include "data/Tarn_Inputs.h"

#include <string_view>

/// One stored event, 12 hex digits: packed time (8), event code (2), temperature (2).
/// Only LogTime, LogText and the two log temperatures are set. A missing or non-hex pair
/// reads as 0. The text comes from EventCodeCatalogue, else "Unknown log event (n).".
Tarn_Inputs DecodeLogEvent(std::string_view data);
Tarn_Inputs DecodeLogEvent(std::string_view data, int currentYear);
/// The event code of a stored event (its third hex pair).
int LogEventCode(std::string_view data);
