#pragma once

#include <cstdint>
#include <string>
#include <string_view>

/// Step codes agreed with the controller. Bits 0..6 carry the duration, so the codes keep
/// them clear; S is 253 so that both the duration pass and the output stop at it.
inline constexpr uint8_t kStepTimed = 0x80; // "T"
inline constexpr uint8_t kStepFlow = 0x00;  // "F"
inline constexpr uint8_t kStepStop = 0xFD;  // "S"
/// Longest duration one step byte carries; longer steps take several bytes.
inline constexpr int kMaxStepDuration = 120;
/// Bytes of a compiled profile that the zone-definition command carries.
inline constexpr std::size_t kMaxCompiledProfileBytes = 32;

/// Longest compiled profile. Far beyond any real sequence (the controller takes 32 bytes);
/// it only stops absurd start times from producing megabytes.
inline constexpr std::size_t kMaxCompiledProfileLength = 4096;

/// Compiles a definition such as "T,0,F,30,S,60" into step bytes (code OR duration).
/// Empty for a definition shorter than 12 characters or not starting with "T".
std::string CompileProfile(std::string_view definition);
