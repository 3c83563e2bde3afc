#include "proberules.h"

namespace {

// A change that leaves no Trigger 1 is refused while white uses a Trigger-2 function.
ProbeOutcome decide(const ProbeChoice& now, const ProbeChoice& next) {
    ProbeOutcome out;
    out.probes = now;
    const bool t = trigger1Assigned(next);
    if (now.white > 1 && !t) return out;
    out.accepted = true;
    out.probes = next;
    out.trigger1 = t;
    return out;
}

}  // namespace

bool trigger1Assigned(const ProbeChoice& p) {
    return p.red == 1 || (p.red == 2 && p.blue == 2);
}

ProbeOutcome blueProbeChosen(std::int32_t chosen, const ProbeChoice& now) {
    if (chosen == now.blue) return ProbeOutcome{false, now, false};
    ProbeChoice next = now;
    next.blue = chosen;
    return decide(now, next);
}

ProbeOutcome redProbeChosen(std::int32_t chosen, const ProbeChoice& now) {
    if (chosen == now.red) return ProbeOutcome{false, now, false};
    ProbeChoice next = now;
    next.red = chosen;
    return decide(now, next);
}
