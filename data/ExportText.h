#pragma once

#include "data/TarnDateTime.h"

#include <cstdint>
#include <string>
#include <string_view>

/// The values of the files the program writes for other programs (CSV, TSV, JSON), formatted
/// the same way everywhere.
namespace ExportText {

/// The number a person would write: the value rounded to 12 significant digits, so that
/// 21 * 1.8 + 32 gives 69.8 and not 69.80000000000001.
double Rounded(double value);
/// Rounded(value) in its shortest decimal form, "." as the decimal point, no exponent for the
/// values a controller gives: 69.8, -5, 2.07.
std::string Number(double value);
/// The controller's clock as it reads, ISO 8601 without an offset (the controller does not
/// know its own): "2026-12-07T14:07:30"; "" for the zero date (no date).
std::string ControllerTime(const TarnDateTime& time);
/// A time of the PC, ISO 8601 with its offset from UTC: "2026-12-07T14:07:30+01:00".
std::string PcTime(int64_t utcSecondsSinceEpoch, int offsetSeconds);
/// 8-bit text (Latin-1) as UTF-8.
std::string Latin1ToUtf8(std::string_view latin1);
/// A cell of a tab-separated line: every tab, carriage return and line feed in it becomes a
/// space, so that a row always has its header's number of fields.
std::string TsvCell(std::string_view text);

} // namespace ExportText
