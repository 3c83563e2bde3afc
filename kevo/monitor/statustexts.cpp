#include "statustexts.h"

#include "deviceinfo.h"
#include "docflags.h"
#include "iictexte.h"
#include "programpaths.h"
#include "projectsettings.h"

const char* const MainCaption = "KEVO - Parvelo/ -Monitor";
const char* const DefaultLogName = "I2CWatch.i2p";

namespace {

// The first n characters of a and b are equal (both must have them).
bool samePrefix(const std::string& a, const std::string& b, long n) {
    if (n < 0) n = 0;
    if (a.size() < size_t(n) || b.size() < size_t(n)) return false;
    return a.compare(0, size_t(n), b, 0, size_t(n)) == 0;
}

// An entry of a text table; out of range gives an empty text, never a read past the end.
template <size_t N>
const std::string& tableEntry(const std::string (&table)[N], long i) {
    static const std::string empty;
    return (i >= 0 && size_t(i) < N) ? table[i] : empty;
}

// The name in brackets: the file name alone when path lies below dir (compared without
// dir's trailing "/"), else the whole path.
std::string shownName(const std::string& path, const std::string& dir) {
    return samePrefix(path, dir, long(dir.size()) - 1) ? fileNameOf(path) : path;
}

}  // namespace

StatusTexts statusTexts(const TProjectSettings& s, const TDeviceInfo& device, bool offline,
                        std::int32_t docFlags, const StatusPaths& paths) {
    StatusTexts t;
    t.panels[0] = offline ? " RAFU offline" : " RAFU Sn.: " + device.ShortSerial;
    t.panels[1] = " " + tableEntry(LevelNames, s.LogicLevel) + " Logik";
    t.panels[2] = " Aufzeichnung " + tableEntry(ClockRangeNames, long(device.PllMode) * 4 + s.ClockDivider);
    // The master clock in kHz, truncated.
    t.panels[3] = " Mastertakt: " + std::to_string(std::uint32_t(s.MasterClockHz) / 1000u) + " kHz";

    const std::string prefix = (docFlags & DocProjectModified) ? "*[" : "[";
    if (paths.projectPath.empty())
        t.panels[4] = "Projekt: " + prefix + "Default]";  // no leading blank in this form
    else
        t.panels[4] = " Projekt: " + prefix + shownName(paths.projectPath, paths.projectDir) + "]";

    const std::string logPrefix = (docFlags & DocLogModified) ? "*[" : "[";
    const std::string log = paths.logPath.empty() ? DefaultLogName : shownName(paths.logPath, s.DataDir);
    t.caption = std::string(MainCaption) + " - " + logPrefix + log + "]";
    return t;
}
