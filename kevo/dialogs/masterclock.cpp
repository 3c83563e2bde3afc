#include "masterclock.h"

#include "numbertext.h"

const std::uint32_t MasterClockFixedRates[kMasterClockFixedCount] = {1000, 10000, 25000, 50000, 75000, 90000};

namespace {
// S / (5 * (n + 1)) in unsigned 32-bit arithmetic; a denominator that wraps to 0 (only for
// absurd system clocks) gives 0 instead of a division by zero.
std::uint32_t clockOf(std::uint32_t s, std::uint32_t n) {
    const std::uint32_t den = 5u * n + 5u;
    return den ? s / den : 0;
}
}  // namespace

int MasterClockList(std::vector<std::string>& items, std::int32_t& systemClock, std::int32_t masterClockHz,
                    std::vector<std::uint32_t>* clocks) {
    if (systemClock == 0) systemClock = 24000000;
    const std::uint32_t s = static_cast<std::uint32_t>(systemClock);
    items.clear();
    if (clocks) clocks->clear();
    int k = 0;
    auto append = [&](std::uint32_t c) {
        items.push_back(std::to_string(c / 1000) + " kHz");
        if (clocks) clocks->push_back(c);
        // The setting is compared as a signed value: a negative one is below every clock.
        if (static_cast<std::int64_t>(c) < masterClockHz) ++k;
    };
    std::uint32_t d = 0;
    bool wrapped = false;
    for (std::uint32_t f : MasterClockFixedRates) {
        const std::uint32_t q = s / (5u * f);
        wrapped = q == 0;
        d = q - 1u;
        append(clockOf(s, d));
    }
    // The series below the last fixed divisor. A system clock too slow for that divisor
    // (it wrapped below 0) has no series rather than one that counts down from 2^32.
    if (!wrapped && d >= 2) {
        for (std::uint32_t e = d - 1; e > 1; --e) {
            const std::uint32_t c = clockOf(s, e);
            if (c > kMasterClockMaxHz) break;
            append(c);
        }
    }
    return k;
}

std::int32_t MasterClockItemHz(const std::string& itemText) {
    const std::string number = itemText.substr(0, itemText.find(' '));
    return StrToInt(number) * 1000;
}
