#include "projectsettings.h"

#include <algorithm>
#include <cstdlib>

TProjectSettings ProjectSettings;

void resetProjectSettings() {
    ProjectSettings = TProjectSettings();
}

void boundReadSettings(TProjectSettings& s) {
    s.MemBytes = s.MemBytes <= 0 ? 256 : std::min(s.MemBytes, 65536);
    s.MemDevAddr = std::clamp(s.MemDevAddr, 0, 255);
    s.ScanFrom = std::clamp(s.ScanFrom, 16, 238) & ~1;
    s.ScanTo = std::clamp(s.ScanTo, s.ScanFrom, 238) & ~1;
    s.BusDevAddr = std::clamp(s.BusDevAddr, 16, 239);
    if (s.BusSubBytes != 1 && s.BusSubBytes != 2) s.BusSubBytes = 0;
    s.BusSubAddr = std::clamp(s.BusSubAddr, 0, 65535);
    if (s.BusSubBytes == 1) s.BusSubAddr %= 256;
    s.BusDataBytes = std::clamp(s.BusDataBytes, 0, 16);
    if (s.BaudRate != 0) {
        static const std::int32_t offered[] = {9600, 19200, 38400, 57600, 115200, 921600};
        std::int32_t nearest = offered[0];
        for (std::int32_t rate : offered)
            if (std::llabs(std::int64_t(rate) - s.BaudRate) < std::llabs(std::int64_t(nearest) - s.BaudRate))
                nearest = rate;
        s.BaudRate = nearest;
    }
}
