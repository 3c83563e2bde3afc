// Fixed German texts shared by several windows and the capture thread.
// Built before any window exists and read only afterwards (any thread may read).
// Texts are UTF-8.
#pragma once

#include <cstdint>
#include <string>

// Entry 0 is empty; indexed by LogicLevel (1..4).
extern const std::string LevelNames[5];
// Entry 0 is empty; indexed by TriggerMode (1..3).
extern const std::string TriggerNames[4];
// Indexed by PllMode * 4 + ClockDivider.
constexpr std::int32_t ClockRangeCount = 8;
extern const std::string ClockRangeNames[ClockRangeCount];
// Indexed by style value + 1 (-1 = "Standard").
constexpr std::int32_t FontStyleCount = 5;
extern const std::string FontStyleNames[FontStyleCount];
// Functions of the probes, indexed by ProbeBlue, ProbeWhite and ProbeRed.
constexpr std::int32_t BlueProbeCount = 4;
extern const std::string BlueProbeFunctions[BlueProbeCount];
constexpr std::int32_t WhiteProbeCount = 4;
extern const std::string WhiteProbeFunctions[WhiteProbeCount];
constexpr std::int32_t RedProbeCount = 3;
extern const std::string RedProbeFunctions[RedProbeCount];
// Entry 0 is empty; 1 = Sunday .. 7 = Saturday.
extern const std::string WeekdayNames[8];
// 70 dashes.
extern const std::string SeparatorLine;
