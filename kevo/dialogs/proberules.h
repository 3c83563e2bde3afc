// The rules that tie the blue, white and red probe functions together in the settings
// dialog. The input port and Trigger 1 are shared between the red and the blue probe (blue
// entry 2 reads "Trigger 1" while red is on 2, else "Eingangs-Port"); the white probe's
// Trigger-2 entries (2 and 3) need a Trigger 1. No Qt.
#pragma once

#include <cstdint>

// The chosen indexes of the three probe lists.
struct ProbeChoice {
    std::int32_t blue = 0;
    std::int32_t white = 0;
    std::int32_t red = 0;
};

// Whether a Trigger 1 is assigned to a probe.
bool trigger1Assigned(const ProbeChoice& probes);
// Whether the blue list's entry 2 reads "Trigger 1" (else "Eingangs-Port").
inline bool blueEntry2IsTrigger1(const ProbeChoice& probes) {
    return probes.red == 2;
}

struct ProbeOutcome {
    // False: the choice is refused, or it was the current one; the list selects its old
    // index again and nothing else changes.
    bool accepted = false;
    ProbeChoice probes;     // the choices afterwards
    bool trigger1 = false;  // a Trigger 1 is assigned afterwards (only when accepted)
};

// The user chose entry chosen in the blue or the red list.
ProbeOutcome blueProbeChosen(std::int32_t chosen, const ProbeChoice& now);
ProbeOutcome redProbeChosen(std::int32_t chosen, const ProbeChoice& now);
