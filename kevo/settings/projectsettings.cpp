#include "projectsettings.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

TProjectSettings ProjectSettings;

void resetProjectSettings() {
    ProjectSettings = TProjectSettings();
}

void boundReadSettings(TProjectSettings& s) {
    s.ScanTo = std::max(s.ScanTo, s.ScanFrom);
    if (s.BusSubBytes == 1) s.BusSubAddr %= 256;
    const bool trigger1 = s.ProbeRed == 1 || (s.ProbeRed == 2 && s.ProbeBlue == 2);
    if (s.ProbeWhite > 1 && !trigger1) s.ProbeWhite = 0;
    if (s.BaudRate != 0) {
        static const std::int32_t offered[] = {9600, 19200, 38400, 57600, 115200, 921600};
        std::int32_t nearest = offered[0];
        for (std::int32_t rate : offered)
            if (std::llabs(std::int64_t(rate) - s.BaudRate) < std::llabs(std::int64_t(nearest) - s.BaudRate))
                nearest = rate;
        s.BaudRate = nearest;
    }
}

namespace {

std::vector<SettingsFollower*>& followers() {
    static std::vector<SettingsFollower*> list;
    return list;
}
int changesOpen = 0;

// Each follower in turn, on a copy of the list: a follower may go while another one runs.
template <class Call>
void tellFollowers(Call call) {
    const std::vector<SettingsFollower*> now = followers();
    for (SettingsFollower* f : now) {
        const auto& list = followers();
        if (std::find(list.begin(), list.end(), f) == list.end()) continue;
        try {
            call(*f);
        } catch (...) {
            // A follower reports its own errors; one that escapes must not stop the others.
        }
    }
}

}  // namespace

SettingsFollower::SettingsFollower() {
    followers().push_back(this);
}

SettingsFollower::~SettingsFollower() {
    auto& list = followers();
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

SettingsChange::SettingsChange() {
    if (changesOpen++ == 0) tellFollowers([](SettingsFollower& f) { f.settingsLeaving(); });
}

SettingsChange::~SettingsChange() {
    if (--changesOpen == 0) tellFollowers([](SettingsFollower& f) { f.settingsEntered(); });
}
