// The list of master SCL clock choices, shared by the settings dialog and the address scan.
//
// Each item stands for an adapter clock divisor n and its true bus clock S / (5 * (n + 1)),
// shown as that clock in whole kHz followed by " kHz"; the list rises from item to item.
// Pure code, no Qt; GUI thread (no state of its own).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The six fixed rates in Hz that open the list.
constexpr int kMasterClockFixedCount = 6;
extern const std::uint32_t MasterClockFixedRates[kMasterClockFixedCount];

// Fastest clock the list offers, in Hz.
constexpr std::uint32_t kMasterClockMaxHz = 1200000;

// Fills items (emptied first) for the adapter's system clock and the master clock setting
// masterClockHz, and returns the index to select: the first item whose clock is not below
// masterClockHz, or items.size() when every item is below it (select nothing then).
// A system clock of 0 is first replaced by 24,000,000 in place (the caller passes the
// adapter's own value, DeviceInfo.SystemClock). clocks, when given, receives each item's
// clock in Hz. All divisions are unsigned 32-bit and truncate.
int MasterClockList(std::vector<std::string>& items, std::int32_t& systemClock, std::int32_t masterClockHz,
                    std::vector<std::uint32_t>* clocks = nullptr);

// The clock an item text stands for, as stored: the decimal number in front of the first
// blank, times 1000 ("92 kHz" gives 92000). Throws EConvertError when that is no number
// (for an empty text, too).
std::int32_t MasterClockItemHz(const std::string& itemText);
