// The main window's document-state bits (DocFlags). Written and read by the main window,
// its log and project commands and the status texts.
#pragma once

#include <cstdint>

constexpr std::int32_t DocLogModified = 0x01;      // the log has data that are not saved
constexpr std::int32_t DocLogLoaded = 0x02;        // a log was opened
constexpr std::int32_t DocLogBits = 0x0F;          // the bits a new log clears
constexpr std::int32_t DocProjectModified = 0x10;  // the project has changes that are not saved
constexpr std::int32_t DocStarting = 0x20;         // from start-up to the first paint
