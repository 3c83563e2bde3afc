#include "configfile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "dialogseam.h"
#include "filesave.h"
#include "inifile.h"
#include "numbertext.h"
#include "projectsettings.h"
#include "regularfile.h"

const char* const ProjectFileVersion = "KEVO Projekt V1.0";

namespace {

using Form = ProjectFileHost::Form;

bool fileExists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

// Copies src over dst: dst is either the old file or the complete copy, never a partial one.
bool copyFile(const std::string& src, const std::string& dst) {
    std::string bytes;
    return ini::readWholeFile(src, bytes, ini::kMaxIniFileSize) && ini::replaceFile(dst, bytes);
}

// Renames without replacing an existing file (a set-aside file is never overwritten).
bool renameNoReplace(const std::string& from, const std::string& to) {
    if (::link(from.c_str(), to.c_str()) == 0) {
        if (::unlink(from.c_str()) == 0) return true;
        ::unlink(to.c_str());
        return false;
    }
    // Filesystems without hard links: check, then rename.
    if (errno == EEXIST || fileExists(to)) return false;
    return ::rename(from.c_str(), to.c_str()) == 0;
}

// Sets a file aside under its "!" name; when that name is taken by an earlier set-aside file,
// further marks are added, so no set-aside file is ever lost. Returns the name used, or empty.
std::string setAside(const std::string& path, std::string bang) {
    if (!isRegularFile(path)) return std::string();
    for (int tries = 0; tries < 64; ++tries, bang = BackupName(bang, '!')) {
        struct stat st;
        if (::lstat(bang.c_str(), &st) == 0) continue;
        if (renameNoReplace(path, bang)) return bang;
        return std::string();
    }
    return std::string();
}

int hexDigit(char ch) {
    if (ch >= '0' && ch <= '9') return ch - '0';
    if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
    if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
    return -1;
}

// What a value read from a file becomes: the values the settings dialog and the tools can set
// pass as they are, and so does the key's default (a file that lacked the key and was saved
// again holds it); any other value becomes the choice the dialog shows for it.
using Bound = std::int32_t (*)(std::int32_t);

// Any value (texts of numbers, switches the windows read as "not 0").
std::int32_t anyValue(std::int32_t v) {
    return v;
}
// lo..hi; any other value becomes other.
template <std::int32_t lo, std::int32_t hi, std::int32_t other>
std::int32_t choice(std::int32_t v) {
    return v >= lo && v <= hi ? v : other;
}
// Cut to lo..hi.
template <std::int32_t lo, std::int32_t hi>
std::int32_t within(std::int32_t v) {
    return std::clamp(v, lo, hi);
}
// Only the bits the windows set.
template <std::int32_t bits>
std::int32_t onlyBits(std::int32_t v) {
    return v & bits;
}
// 1 for any value but 0.
std::int32_t flag(std::int32_t v) {
    return v != 0 ? 1 : 0;
}
// Trigger source as the dialog shows it (sub-address before data byte before device address),
// the "differs" and "filter" switches kept.
std::int32_t filterSwitches(std::int32_t v) {
    const std::int32_t source = (v & 0x02) ? 0x02 : (v & 0x04) ? 0x04 : (v & 0x01);
    return source | (v & 0x18);
}
// The master clock list's range: its first item (1 kHz) up to its last (1200 kHz).
std::int32_t masterClock(std::int32_t v) {
    return std::clamp(v, 1000, 1200000);
}
// The largest of 1, 2, 4, 8, 16 not above the stored page, so that a write never crosses the
// chip's page; below 1: 1.
std::int32_t writePage(std::int32_t v) {
    std::int32_t page = 1;
    while (page < 16 && page * 2 <= v) page *= 2;
    return page;
}
// The memory size field: 0 or less gives 256, at most 65536.
std::int32_t memBytes(std::int32_t v) {
    return v <= 0 ? 256 : std::min(v, 65536);
}
// An even scan address of the lists, 0x10..0xEE.
std::int32_t scanAddress(std::int32_t v) {
    return std::clamp(v, 16, 238) & ~1;
}
// A colour: the COLORREF's three colour bytes.
constexpr std::int32_t kColorBits = 0xFFFFFF;

// The fields of the record in file order, with their keys, the values used when a key is
// missing and the bound of a stored value. One list for the reader and the writer; the rules
// between fields are boundReadSettings.
template <class Visitor>
void visitFields(TProjectSettings& s, Visitor& v) {
    v.text("Config", "Datenverzeichnis", s.DataDir, "");
    v.integer("Config", "Autosicherung", s.AutoSaveProject, 1, anyValue);

    v.integer("Probe", "Master", s.ProbeMaster, 0, choice<0, 2, 0>);
    v.integer("Probe", "Blau (Probe 7)", s.ProbeBlue, 0, choice<0, 2, 0>);
    v.integer("Probe", "Weiß (Probe 6)", s.ProbeWhite, 0, choice<0, 3, 0>);
    v.integer("Probe", "Rot (Probe 10)", s.ProbeRed, 0, choice<0, 2, 0>);
    v.integer("Probe", "Eingangslogik", s.PosInputLogic, 0, anyValue);
    v.integer("Probe", "Logikpegel", s.LogicLevel, 1, choice<1, 4, 1>);

    v.integer("Analyzer", "Bustakt", s.ClockDivider, 0, choice<0, 3, 0>);
    v.integer("Analyzer", "Aufzeichnung", s.TriggerMode, 0, choice<1, 3, 1>);
    v.integer("Analyzer", "Busfilter", s.BusFilter, 0, onlyBits<0x07>);
    v.integer("Analyzer", "Datenfilter", s.DataFilter, 0, within<0, 255>);
    v.integer("Analyzer", "Datenfilter-Schalter", s.DataFilterSwitches, 0, filterSwitches);

    v.integer("Monitor", "Darstellung", s.AttributeMode, 0, choice<0, 2, 0>);
    v.style("Monitor", "Schrifttype", s.StyleDefault, -1);
    v.style("Monitor", "Negative Acknowledge", s.StyleNak, 0);
    v.style("Monitor", "Protokollfehler", s.StyleError, 3);
    v.style("Monitor", "Eingangsport", s.StylePort, 2);
    v.color("Monitor", "Hintergrund", s.ColorBackground, 0xF0FBFF);
    v.color("Monitor", "Textfarbe", s.ColorText, 0x000000);
    v.color("Monitor", "Start/Stopbedingung", s.ColorStartStop, 0x0000FF);
    v.color("Monitor", "Bausteinadresse", s.ColorDevAddr, 0xFF0000);
    v.color("Monitor", "Subadresse/Datenbyte", s.ColorSubAddr, 0x808080);
    v.color("Monitor", "Daten vom Master", s.ColorFromMaster, 0x000000);
    v.color("Monitor", "Daten zum Master", s.ColorToMaster, 0x008000);
    v.integer("Monitor", "Attribute", s.AttributeEnable, 0x100, anyValue);
    v.integer("Monitor", "Autosicherung", s.LogAutoSave, 1, anyValue);

    v.integer("Master", "SCL-Takt", s.MasterClockHz, 100000, masterClock);

    v.integer("Bustool", "von Adresse", s.ScanFrom, 16, scanAddress);
    v.integer("Bustool", "bis Adresse", s.ScanTo, 238, scanAddress);
    v.integer("Bustool", "Baustein", s.BusDevAddr, 160, within<16, 239>);
    v.integer("Bustool", "Subbytes", s.BusSubBytes, 1, choice<0, 2, 0>);
    v.integer("Bustool", "Subadresse", s.BusSubAddr, 0, within<0, 65535>);
    v.integer("Bustool", "Datenbytes", s.BusDataBytes, 1, within<0, 16>);
    v.binary("Bustool", "Sendedaten", s.BusSendData);

    v.integer("Speichertool", "Baustein", s.MemDevAddr, 160, within<0, 255>);
    v.integer("Speichertool", "2 Subbytes", s.MemTwoSubBytes, 0, flag);
    v.integer("Speichertool", "Datenbytes", s.MemBytes, 256, memBytes);
    v.integer("Speichertool", "Speichertyp", s.MemType, 0, choice<0, 2, 0>);
    v.integer("Speichertool", "Schreibpage", s.MemWritePage, 0, writePage);
    v.integer("Speichertool", "Hexadezimal", s.MemHex, 1, flag);
}

struct Reader {
    const ini::IniFile& f;
    void text(const char* sec, const char* key, std::string& field, const char* def) {
        field = f.readString(sec, key, def);
    }
    void integer(const char* sec, const char* key, std::int32_t& field, std::int32_t def, Bound bound) {
        const std::int32_t value = f.readInteger(sec, key, def);
        field = value == def ? value : bound(value);
    }
    // A style is a signed byte: the file value is cut to its low byte (255 reads as -1); a
    // byte that is no style (-1 none, 0 bold, 1 italic, 2 underline, 3 strike-out) is none.
    void style(const char* sec, const char* key, std::int8_t& field, std::int32_t def) {
        const auto byte =
            static_cast<std::int8_t>(static_cast<std::uint8_t>(f.readInteger(sec, key, def) & 0xFF));
        field = static_cast<std::int8_t>(choice<-1, 3, -1>(byte));
    }
    void color(const char* sec, const char* key, COLORREF& field, std::int32_t def) {
        field = static_cast<COLORREF>(f.readInteger(sec, key, def) & kColorBits);
    }
    // Hexadecimal digit pairs up to the first character that is no hex digit; only the bytes
    // that convert are taken, at most 16; a missing or empty value leaves the field as it is.
    void binary(const char* sec, const char* key, std::array<std::uint8_t, 16>& field) {
        const std::string hex = f.readString(sec, key, "");
        for (std::size_t i = 0; i / 2 < field.size() && i + 1 < hex.size(); i += 2) {
            const int hi = hexDigit(hex[i]), lo = hexDigit(hex[i + 1]);
            if (hi < 0 || lo < 0) break;
            field[i / 2] = static_cast<std::uint8_t>(hi * 16 + lo);
        }
    }
};

struct Writer {
    ini::IniFile& f;
    void text(const char* sec, const char* key, std::string& field, const char*) {
        f.writeString(sec, key, field);
    }
    void integer(const char* sec, const char* key, std::int32_t& field, std::int32_t, Bound) {
        f.writeInteger(sec, key, field);
    }
    void style(const char* sec, const char* key, std::int8_t& field, std::int32_t) {
        f.writeInteger(sec, key, field);
    }
    void color(const char* sec, const char* key, COLORREF& field, std::int32_t) {
        f.writeInteger(sec, key, static_cast<std::int32_t>(field));
    }
    void binary(const char* sec, const char* key, std::array<std::uint8_t, 16>& field) {
        static const char digits[] = "0123456789ABCDEF";
        std::string hex;
        for (std::uint8_t b : field) {
            hex += digits[b >> 4];
            hex += digits[b & 15];
        }
        f.writeString(sec, key, hex);
    }
};

// Counts the keys of the record that a file holds.
struct KeyCounter {
    const ini::IniFile& f;
    int found = 0;
    void key(const char* sec, const char* key) { found += f.valueExists(sec, key) ? 1 : 0; }
    void text(const char* sec, const char* k, std::string&, const char*) { key(sec, k); }
    void integer(const char* sec, const char* k, std::int32_t&, std::int32_t, Bound) { key(sec, k); }
    void style(const char* sec, const char* k, std::int8_t&, std::int32_t) { key(sec, k); }
    void color(const char* sec, const char* k, COLORREF&, std::int32_t) { key(sec, k); }
    void binary(const char* sec, const char* k, std::array<std::uint8_t, 16>&) { key(sec, k); }
};

struct ToolKeys {
    Form form;
    const char* x;
    const char* y;
    const char* visible;
};
const ToolKeys kTools[] = {
    {ProjectFileHost::ScanForm, "Scan-XPos", "Scan-YPos", "Scan-Visible"},
    {ProjectFileHost::BusForm, "Bus-XPos", "Bus-YPos", "Bus-Visible"},
    {ProjectFileHost::MemoryForm, "Memory-XPos", "Memory-YPos", "Memory-Visible"},
};

// A window read from a file stays reachable: no larger than the screen, its title bar on the
// screen and at least kGrip pixels of it beside the screen's edges. A window the user left
// partly beyond an edge keeps its place.
constexpr int kGrip = 32;

struct Screen {
    bool known = false;
    int left = 0, top = 0, width = 0, height = 0;
};

int leftOn(const Screen& sc, int left, int width) {
    width = std::max(width, 1);
    const int grip = std::min(kGrip, width);
    return std::clamp(left, sc.left - width + grip, std::max(sc.left, sc.left + sc.width - grip));
}
int topOn(const Screen& sc, int top) {
    return std::clamp(top, sc.top, std::max(sc.top, sc.top + sc.height - kGrip));
}

void readForms(const ini::IniFile& f, ProjectFileHost& host) {
    Screen sc;
    sc.known = host.screenArea(sc.left, sc.top, sc.width, sc.height) && sc.width > 0 && sc.height > 0;
    const Form main = ProjectFileHost::MainForm;
    int left = f.readInteger("Forms", "XPos", host.formLeft(main));
    int top = f.readInteger("Forms", "YPos", host.formTop(main));
    int width = f.readInteger("Forms", "Width", host.formWidth(main));
    int height = f.readInteger("Forms", "Height", host.formHeight(main));
    if (sc.known) {
        width = std::min(width, sc.width);
        height = std::min(height, sc.height);
        left = leftOn(sc, left, width);
        top = topOn(sc, top);
    }
    host.setFormLeft(main, left);
    host.setFormTop(main, top);
    host.setFormWidth(main, width);
    host.setFormHeight(main, height);
    for (const ToolKeys& t : kTools) {
        int x = f.readInteger("Forms", t.x, 25);
        int y = f.readInteger("Forms", t.y, 25);
        if (sc.known) {
            x = leftOn(sc, x, host.formWidth(t.form));
            y = topOn(sc, y);
        }
        host.setFormLeft(t.form, x);
        host.setFormTop(t.form, y);
        host.setToolChecked(t.form, f.readBool("Forms", t.visible, false));
    }
}

void writeForms(ini::IniFile& f, const ProjectFileHost& host) {
    const Form main = ProjectFileHost::MainForm;
    f.writeInteger("Forms", "XPos", host.formLeft(main));
    f.writeInteger("Forms", "YPos", host.formTop(main));
    f.writeInteger("Forms", "Width", host.formWidth(main));
    f.writeInteger("Forms", "Height", host.formHeight(main));
    for (const ToolKeys& t : kTools) {
        f.writeInteger("Forms", t.x, host.formLeft(t.form));
        f.writeInteger("Forms", t.y, host.formTop(t.form));
        f.writeBool("Forms", t.visible, host.formVisible(t.form));
    }
}

bool hasRequiredKeys(const ini::IniFile& f) {
    return f.valueExists("Config", "Datenverzeichnis") && f.valueExists("Probe", "Logikpegel") &&
           f.valueExists("Analyzer", "Bustakt") && f.valueExists("Monitor", "Autosicherung");
}

bool saveFailed() {
    dialogs::errorBoxCancel("Projektdatei konnte nicht geschrieben werden", "Fehler");
    return false;
}

}  // namespace

void LoadProjectFile(const std::string& name, ProjectFileHost& host) {
    const SettingsChange change;  // the windows that show the record follow what is read
    host.setProjectPath(name);
    const std::string path = name.empty() ? host.configPath() : name;
    if (path.empty()) {
        host.setProjectPath(std::string());
        return;
    }
    const std::string tilde = BackupName(path, '~');
    std::string bang = BackupName(path, '!');

    // Each round either reads, gives up, or moves one file away; the bound only guards
    // against a folder that lets files be renamed but not deleted.
    for (int round = 0; round < 16; ++round) {
        if (!fileExists(path)) {
            if (!isRegularFile(tilde)) {
                host.setProjectPath(std::string());
                return;
            }
            // Restore the "~" copy; it is deleted only once the copy is complete.
            if (!copyFile(tilde, path)) {
                host.setProjectPath(std::string());
                return;
            }
            ::unlink(tilde.c_str());
        } else if (!isRegularFile(path)) {
            // A device or a pipe: no settings file, and nothing to set aside.
            host.setProjectPath(std::string());
            return;
        }
        ini::IniFile f(path);
        if (!hasRequiredKeys(f)) {
            const std::string used = setAside(path, bang);
            if (!used.empty()) {
                bang = BackupName(used, '!');
                continue;
            }
            // It could not be set aside: read it, with the defaults for what it lacks.
        }
        readForms(f, host);
        Reader reader{f};
        visitFields(ProjectSettings, reader);
        boundReadSettings(ProjectSettings);
        return;
    }
    host.setProjectPath(std::string());
}

namespace {

// SaveProjectFile; a fresh file keeps nothing of the file it replaces.
bool saveProject(const std::string& name, ProjectFileHost& host, bool fresh) {
    const SettingsChange change;  // what the windows show being typed is saved with the rest
    const std::string configPath = host.configPath();
    const std::string path = name.empty() ? configPath : name;
    if (!name.empty()) host.setProjectPath(name);

    ini::IniFile cfg(configPath);
    cfg.writeString("Projekt", "Verzeichnis", host.projectDir());
    cfg.writeString("Projekt", "Datei", host.projectPath());
    cfg.writeString("RAFU", "Port", ProjectSettings.PortName);
    cfg.writeInteger("RAFU", "Baudrate", ProjectSettings.BaudRate);
    // The configuration file is also the default project: one that holds no settings yet
    // (written only for a named project so far) gets the built-in ones, so that its reader
    // never finds it damaged and sets it aside.
    if (!name.empty()) {
        KeyCounter counter{cfg};
        TProjectSettings builtIn;
        visitFields(builtIn, counter);
        Writer writer{cfg};
        if (counter.found == 0) visitFields(builtIn, writer);
    }

    // Without a project name the settings go into the configuration file itself.
    const bool own = path == configPath;
    ini::IniFile project(own || fresh ? std::string() : path);
    ini::IniFile& f = own ? cfg : project;
    writeForms(f, host);
    f.writeString("Version", "PC", ProjectFileVersion);
    f.writeString("Version", "Analyzer", host.shortSerial());
    Writer writer{f};
    visitFields(ProjectSettings, writer);
    if (path.empty() || !cfg.readable() || !f.readable()) return saveFailed();

    // Both files in one save: the next start never names a project file that could not be
    // written. The file saved gets its "~" backup; the configuration file only when it is
    // that file.
    const std::string cfgBytes = cfg.document().serialize();
    std::vector<FileWrite> files = {{configPath, cfgBytes, own ? freeBackupName(configPath) : std::string()}};
    const std::string projectBytes = own ? std::string() : project.document().serialize();
    if (!own) files.push_back({path, projectBytes, freeBackupName(path)});
    if (saveFiles(files).result != SaveResult::Ok) return saveFailed();
    return true;
}

}  // namespace

bool SaveProjectFile(const std::string& name, ProjectFileHost& host) {
    return saveProject(name, host, false);
}

bool SaveNewProjectFile(const std::string& name, ProjectFileHost& host) {
    return !name.empty() && saveProject(name, host, true);
}
