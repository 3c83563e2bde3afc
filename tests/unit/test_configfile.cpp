// Configuration and project files: real files in a fresh temporary folder per test.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <random>
#include <tuple>

#include "configfile.h"
#include "dialogseam.h"
#include "inifile.h"
#include "projectsettings.h"

namespace fs = std::filesystem;

namespace {

struct Host : ProjectFileHost {
    int left[4] = {100, 10, 20, 30};
    int top[4] = {110, 11, 21, 31};
    int width[4] = {800, 0, 0, 0};
    int height[4] = {600, 0, 0, 0};
    bool visible[4] = {true, false, false, false};
    bool checked[4] = {false, false, false, false};
    int checkCalls = 0;
    std::string cfg, dir, project, serial = "----";

    int formLeft(Form f) const override { return left[f]; }
    int formTop(Form f) const override { return top[f]; }
    int formWidth(Form f) const override { return width[f]; }
    int formHeight(Form f) const override { return height[f]; }
    bool formVisible(Form f) const override { return visible[f]; }
    void setFormLeft(Form f, int v) override { left[f] = v; }
    void setFormTop(Form f, int v) override { top[f] = v; }
    void setFormWidth(Form f, int v) override { width[f] = v; }
    void setFormHeight(Form f, int v) override { height[f] = v; }
    void setToolChecked(Form f, bool c) override { checked[f] = c, ++checkCalls; }
    std::string configPath() const override { return cfg; }
    std::string projectDir() const override { return dir; }
    std::string projectPath() const override { return project; }
    void setProjectPath(const std::string& p) override { project = p; }
    std::string shortSerial() const override { return serial; }
    std::array<int, 4> screen{};  // left, top, width, height; no width: none known
    bool screenArea(int& l, int& t, int& w, int& h) const override {
        l = screen[0], t = screen[1], w = screen[2], h = screen[3];
        return w > 0;
    }
};

auto fields(const TProjectSettings& s) {
    return std::tie(s.DataDir, s.AutoSaveProject, s.ProbeMaster, s.ProbeBlue, s.ProbeWhite, s.ProbeRed,
                    s.PosInputLogic, s.LogicLevel, s.ClockDivider, s.TriggerMode, s.BusFilter, s.DataFilter,
                    s.DataFilterSwitches, s.AttributeMode, s.StyleDefault, s.StyleNak, s.StyleError,
                    s.StylePort, s.ColorBackground, s.ColorText, s.ColorStartStop, s.ColorDevAddr,
                    s.ColorSubAddr, s.ColorFromMaster, s.ColorToMaster, s.AttributeEnable, s.LogAutoSave,
                    s.MasterClockHz, s.ScanFrom, s.ScanTo, s.BusDevAddr, s.BusSubBytes, s.BusSubAddr,
                    s.BusDataBytes, s.BusSendData, s.MemDevAddr, s.MemTwoSubBytes, s.MemBytes, s.MemType,
                    s.MemWritePage, s.MemHex, s.PortName, s.BaudRate);
}
bool sameSettings(const TProjectSettings& a, const TProjectSettings& b) {
    return fields(a) == fields(b);
}

// Every field away from its built-in value.
TProjectSettings unusualSettings() {
    TProjectSettings s;
    s.DataDir = "/daten/Projekt Ä/";
    s.AutoSaveProject = 0;
    s.ProbeMaster = 2, s.ProbeBlue = 2, s.ProbeWhite = 2, s.ProbeRed = 1, s.PosInputLogic = 1,
    s.LogicLevel = 4;
    s.ClockDivider = 3, s.TriggerMode = 3, s.BusFilter = 7, s.DataFilter = 0xA5, s.DataFilterSwitches = 0x1A;
    s.AttributeMode = 2, s.StyleDefault = 1, s.StyleNak = -1, s.StyleError = 0, s.StylePort = 3;
    s.ColorBackground = 0x123456, s.ColorText = 0x010203, s.ColorStartStop = 0xABCDEF,
    s.ColorDevAddr = 0x00FF00;
    s.ColorSubAddr = 0x111111, s.ColorFromMaster = 0x222222, s.ColorToMaster = 0x333333;
    s.AttributeEnable = 0x1A5, s.LogAutoSave = 1, s.MasterClockHz = 400000;
    s.ScanFrom = 0x20, s.ScanTo = 200, s.BusDevAddr = 0xA1, s.BusSubBytes = 2, s.BusSubAddr = 0x1234;
    s.BusDataBytes = 16;
    for (int i = 0; i < 16; ++i) s.BusSendData[i] = static_cast<std::uint8_t>(0xF0 - i * 7);
    s.MemDevAddr = 0xAE, s.MemTwoSubBytes = 1, s.MemBytes = 32768, s.MemType = 2, s.MemWritePage = 16,
    s.MemHex = 0;
    return s;
}

std::string readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

const char* kRequired =
    "[Config]\r\nDatenverzeichnis=\r\n[Probe]\r\nLogikpegel=2\r\n[Analyzer]\r\nBustakt=1\r\n"
    "[Monitor]\r\nAutosicherung=0\r\n";

class ConfigFile : public ::testing::Test {
  protected:
    fs::path root;
    Host host;
    std::vector<dialogs::Request> asked;

    void SetUp() override {
        std::random_device rd;
        root = fs::temp_directory_path() / ("kevo-cfg-" + std::to_string(rd()) + std::to_string(rd()));
        fs::create_directories(root / "Data");
        host.cfg = (root / "kevo.cfg").string();
        host.dir = (root / "Data").string() + "/";
        resetProjectSettings();
        dialogs::setResponder([this](const dialogs::Request& r) {
            asked.push_back(r);
            return dialogs::Response{dialogs::mrCancel, {}};
        });
    }
    void TearDown() override {
        dialogs::setResponder(nullptr);
        resetProjectSettings();
        std::error_code ec;
        fs::remove_all(root, ec);
    }
    std::string file(const std::string& name) const { return (root / name).string(); }
    std::string project(const std::string& name) const { return (root / "Data" / name).string(); }
    std::size_t fileCount() const {
        std::size_t n = 0;
        for (auto& e : fs::recursive_directory_iterator(root)) n += e.is_regular_file();
        return n;
    }
    void expectErrorBox() {
        ASSERT_EQ(asked.size(), 1u);
        EXPECT_EQ(asked[0].caption, "Fehler");
        EXPECT_EQ(asked[0].text, "Projektdatei konnte nicht geschrieben werden");
        EXPECT_EQ(asked[0].type, dialogs::MsgType::Error);
        EXPECT_EQ(asked[0].buttons, unsigned(dialogs::mbCancel));
        EXPECT_EQ(asked[0].buttonCaptions, std::vector<std::string>{"Abbrechen"});
        EXPECT_EQ(asked[0].x, -1);
        EXPECT_EQ(asked[0].y, -1);
    }
};

}  // namespace

TEST_F(ConfigFile, StartWithoutAnyFileKeepsBuiltInValues) {
    host.project = "stale";
    LoadProjectFile("", host);
    EXPECT_EQ(host.project, "");
    EXPECT_TRUE(sameSettings(ProjectSettings, TProjectSettings()));
    EXPECT_EQ(host.left[0], 100);
    EXPECT_EQ(host.checkCalls, 0);
    LoadProjectFile(project("fehlt.kvo"), host);
    EXPECT_EQ(host.project, "");
    EXPECT_TRUE(sameSettings(ProjectSettings, TProjectSettings()));
    EXPECT_EQ(fileCount(), 0u);
}

TEST_F(ConfigFile, SaveAndLoadRoundTripWithFileLayout) {
    ProjectSettings = unusualSettings();
    ProjectSettings.PortName = "COM4";
    ProjectSettings.BaudRate = 921600;
    host.serial = "5678";
    const std::string a = project("a.kvo");
    ASSERT_TRUE(SaveProjectFile(a, host));
    EXPECT_TRUE(asked.empty());
    EXPECT_EQ(host.project, a);

    const std::string cfg = readBytes(host.cfg);
    EXPECT_EQ(cfg.substr(0, cfg.find("[Config]")),
              "[Projekt]\r\nVerzeichnis=" + host.dir + "\r\nDatei=" + a +
                  "\r\n\r\n[RAFU]\r\nPort=COM4\r\nBaudrate=921600\r\n\r\n");
    const std::string text = readBytes(a);
    std::size_t last = 0;
    for (const char* sec : {"[Forms]", "[Version]", "[Config]", "[Probe]", "[Analyzer]", "[Monitor]",
                            "[Master]", "[Bustool]", "[Speichertool]"}) {
        const std::size_t at = text.find(sec);
        ASSERT_NE(at, std::string::npos) << sec;
        EXPECT_GT(at + 1, last) << sec;
        last = at;
    }
    EXPECT_NE(text.find("[Version]\r\nPC=KEVO Projekt V1.0\r\nAnalyzer=5678\r\n"), std::string::npos);
    EXPECT_NE(text.find("Negative Acknowledge=-1\r\n"), std::string::npos);
    EXPECT_NE(text.find("Wei\xDF (Probe 6)=2\r\n"),
              std::string::npos);  // Windows-1252 like the Windows program
    EXPECT_EQ(text.find("PortName"), std::string::npos);
    EXPECT_EQ(text.find("[RAFU]"), std::string::npos);

    const TProjectSettings saved = ProjectSettings;
    resetProjectSettings();
    ProjectSettings.PortName = "COM9";  // the link values are not read from a project
    LoadProjectFile(a, host);
    EXPECT_EQ(host.project, a);
    TProjectSettings expected = saved;
    expected.PortName = "COM9";
    expected.BaudRate = 0;
    EXPECT_TRUE(sameSettings(ProjectSettings, expected));
    LoadProjectFile("", host);  // the configuration written beside it holds the built-in values
    EXPECT_FALSE(fs::exists(file("kevo.!cfg")));
    expected = TProjectSettings();
    expected.PortName = "COM9";
    EXPECT_TRUE(sameSettings(ProjectSettings, expected));
}

TEST_F(ConfigFile, MissingKeysTakeTheirOwnDefaults) {
    const std::string a = project("a.kvo");
    writeBytes(a, kRequired);
    ProjectSettings.BusSendData.fill(0x5A);
    LoadProjectFile(a, host);
    EXPECT_EQ(host.project, a);
    const TProjectSettings& s = ProjectSettings;
    EXPECT_EQ(s.TriggerMode, 0);          // built-in 1
    EXPECT_EQ(s.AttributeEnable, 0x100);  // built-in 0x7F
    EXPECT_EQ(s.MemWritePage, 0);         // built-in 1
    EXPECT_EQ(s.LogAutoSave, 0);          // from the file
    EXPECT_EQ(s.LogicLevel, 2);
    EXPECT_EQ(s.ClockDivider, 1);
    EXPECT_EQ(s.StyleDefault, -1);
    EXPECT_EQ(s.ColorBackground, 0xF0FBFFu);
    EXPECT_EQ(s.MasterClockHz, 100000);
    EXPECT_EQ(s.BusSendData[15], 0x5A);  // no Sendedaten: unchanged
    // No [Forms]: the main window keeps its place, the tools go to 25/25 unchecked.
    EXPECT_EQ(host.left[0], 100);
    EXPECT_EQ(host.width[0], 800);
    EXPECT_EQ(host.left[1], 25);
    EXPECT_EQ(host.top[3], 25);
    EXPECT_FALSE(host.checked[1] || host.checked[2] || host.checked[3]);
}

TEST_F(ConfigFile, StyleBytesAndSendData) {
    ProjectSettings.StyleDefault = -1;
    for (int i = 0; i < 16; ++i) ProjectSettings.BusSendData[i] = static_cast<std::uint8_t>(i);
    const std::string a = project("a.kvo");
    ASSERT_TRUE(SaveProjectFile(a, host));
    ini::IniDocument doc;
    ASSERT_TRUE(ini::loadFile(a, doc));
    EXPECT_EQ(doc.readString("Monitor", "Schrifttype", ""), "-1");
    EXPECT_EQ(doc.readString("Bustool", "Sendedaten", ""), "000102030405060708090A0B0C0D0E0F");

    auto loadWith = [&](const std::string& style, const std::string& send) {
        std::string text = kRequired;
        text += "Schrifttype=" + style + "\r\n[Bustool]\r\nSendedaten=" + send + "\r\n";
        writeBytes(a, text);
        ProjectSettings.BusSendData.fill(0xEE);
        LoadProjectFile(a, host);
    };
    loadWith("255", "");
    EXPECT_EQ(ProjectSettings.StyleDefault, -1);
    EXPECT_EQ(ProjectSettings.BusSendData[0], 0xEE);  // empty: unchanged
    loadWith("0x102", "ab01");
    EXPECT_EQ(ProjectSettings.StyleDefault, 2);
    EXPECT_EQ(ProjectSettings.BusSendData[0], 0xAB);
    EXPECT_EQ(ProjectSettings.BusSendData[1], 0x01);
    EXPECT_EQ(ProjectSettings.BusSendData[2], 0xEE);
    loadWith("128", "0102z3040");  // only the bytes before the junk convert; -128 is no style
    EXPECT_EQ(ProjectSettings.StyleDefault, -1);
    EXPECT_EQ(ProjectSettings.BusSendData[1], 0x02);
    EXPECT_EQ(ProjectSettings.BusSendData[2], 0xEE);
    loadWith("-1", std::string(40, '7'));  // longer than 16 bytes: the first 16
    for (auto b : ProjectSettings.BusSendData) EXPECT_EQ(b, 0x77);
    loadWith("99999999999", "123");  // no 32-bit number: default; odd digit count: one byte
    EXPECT_EQ(ProjectSettings.StyleDefault, -1);
    EXPECT_EQ(ProjectSettings.BusSendData[0], 0x12);
    EXPECT_EQ(ProjectSettings.BusSendData[1], 0xEE);
}

TEST_F(ConfigFile, FormsRoundTrip) {
    host.left[0] = -5, host.top[0] = 7, host.width[0] = 1024, host.height[0] = 700;
    host.left[1] = 300, host.top[1] = 301, host.visible[1] = true;
    host.left[2] = 400, host.top[2] = 401, host.visible[2] = false;
    host.left[3] = 500, host.top[3] = 501, host.visible[3] = true;
    const std::string a = project("a.kvo");
    ASSERT_TRUE(SaveProjectFile(a, host));
    EXPECT_NE(
        readBytes(a).find("[Forms]\r\nXPos=-5\r\nYPos=7\r\nWidth=1024\r\nHeight=700\r\nScan-XPos=300\r\n"
                          "Scan-YPos=301\r\nScan-Visible=1\r\nBus-XPos=400\r\nBus-YPos=401\r\n"
                          "Bus-Visible=0\r\nMemory-XPos=500\r\nMemory-YPos=501\r\nMemory-Visible=1\r\n"),
        std::string::npos);

    Host other;
    other.cfg = host.cfg;
    other.checked[2] = true;
    LoadProjectFile(a, other);
    EXPECT_EQ(other.left[0], -5);
    EXPECT_EQ(other.top[0], 7);
    EXPECT_EQ(other.width[0], 1024);
    EXPECT_EQ(other.height[0], 700);
    EXPECT_EQ(other.left[2], 400);  // a hidden window is placed too
    EXPECT_EQ(other.top[2], 401);
    EXPECT_EQ(other.left[3], 500);
    EXPECT_TRUE(other.checked[1]);
    EXPECT_FALSE(other.checked[2]);
    EXPECT_TRUE(other.checked[3]);
    EXPECT_FALSE(other.visible[1]);  // showing is the caller's job
}

TEST_F(ConfigFile, DefaultProjectLivesInTheConfigurationFile) {
    writeBytes(host.cfg, "; von Hand\r\n[RAFU]\r\nPort=COM1\r\n");
    ProjectSettings = unusualSettings();
    ProjectSettings.PortName = "COM2";
    ASSERT_TRUE(SaveProjectFile("", host));
    EXPECT_EQ(host.project, "");
    EXPECT_EQ(readBytes(file("kevo.~cfg")), "; von Hand\r\n[RAFU]\r\nPort=COM1\r\n");
    ini::IniDocument doc;
    ASSERT_TRUE(ini::loadFile(host.cfg, doc));
    EXPECT_EQ(doc.readString("Projekt", "Datei", "x"), "");
    EXPECT_EQ(doc.readString("RAFU", "Port", ""), "COM2");
    EXPECT_EQ(doc.readString("Version", "PC", ""), "KEVO Projekt V1.0");
    EXPECT_TRUE(readBytes(host.cfg).rfind("; von Hand\r\n[RAFU]\r\nPort=COM2\r\n", 0) == 0);

    const TProjectSettings saved = ProjectSettings;
    resetProjectSettings();
    LoadProjectFile("", host);
    EXPECT_EQ(host.project, "");
    TProjectSettings expected = saved;
    expected.PortName = "";
    expected.BaudRate = 0;
    EXPECT_TRUE(sameSettings(ProjectSettings, expected));
}

TEST_F(ConfigFile, SaveOverExistingLeavesTheOldFileAsTilde) {
    const std::string a = project("a.kvo");
    writeBytes(a, "alt");
    writeBytes(project("a.~kvo"), "ganz alt");
    ProjectSettings.ScanFrom = 33;
    ASSERT_TRUE(SaveProjectFile(a, host));
    EXPECT_EQ(readBytes(project("a.~kvo")), "alt");
    EXPECT_EQ(host.project, a);
    EXPECT_EQ(ini::GetPrivateProfileString("Projekt", "Datei", "", host.cfg), a);
    EXPECT_FALSE(fs::exists(file("kevo.~cfg")));  // a project save makes no copy of the configuration
    ASSERT_TRUE(SaveProjectFile(a, host));
    EXPECT_EQ(readBytes(project("a.~kvo")).find("von Adresse=33"), readBytes(a).find("von Adresse=33"));
    EXPECT_NE(readBytes(project("a.~kvo")).find("von Adresse=33"), std::string::npos);

    // A link at the "~" name stays, and so does the file it names; the copy takes the next name.
    writeBytes(file("fremd"), "fremd");
    fs::remove(project("a.~kvo"));
    fs::create_symlink(file("fremd"), project("a.~kvo"));
    const std::string before = readBytes(a);
    ASSERT_TRUE(SaveProjectFile(a, host));
    EXPECT_TRUE(fs::is_symlink(project("a.~kvo")) && readBytes(file("fremd")) == "fremd");
    EXPECT_EQ(readBytes(project("a.~~kvo")), before);
}

TEST_F(ConfigFile, VanishedFileIsRestoredFromTilde) {
    const std::string a = project("a.kvo");
    writeBytes(project("a.~kvo"), std::string(kRequired) + "Darstellung=2\r\n");
    LoadProjectFile(a, host);
    EXPECT_EQ(host.project, a);
    EXPECT_EQ(ProjectSettings.AttributeMode, 2);
    EXPECT_FALSE(fs::exists(project("a.~kvo")));
    EXPECT_EQ(readBytes(a), std::string(kRequired) + "Darstellung=2\r\n");
}

TEST_F(ConfigFile, FilesWithoutRequiredKeysAreSetAside) {
    const std::string a = project("a.kvo");
    const std::string bad =
        "[Config]\r\nDatenverzeichnis=\r\n[Probe]\r\nLogikpegel=2\r\n[Analyzer]\r\nBustakt=1\r\n";
    const std::string badTilde = bad + "[Monitor]\r\nDarstellung=1\r\n";
    writeBytes(a, bad);
    writeBytes(project("a.~kvo"), badTilde);
    host.project = "x";
    LoadProjectFile(a, host);
    EXPECT_EQ(host.project, "");
    EXPECT_EQ(readBytes(project("a.!kvo")), bad);
    EXPECT_EQ(readBytes(project("a.!!kvo")), badTilde);
    EXPECT_FALSE(fs::exists(a));
    EXPECT_FALSE(fs::exists(project("a.~kvo")));
    EXPECT_TRUE(sameSettings(ProjectSettings, TProjectSettings()));
    EXPECT_EQ(host.checkCalls, 0);

    // A valid "~" copy takes the damaged file's place; an older "!" file is kept.
    writeBytes(a, bad);
    writeBytes(project("a.~kvo"), std::string(kRequired) + "Darstellung=1\r\n");
    LoadProjectFile(a, host);
    EXPECT_EQ(host.project, a);
    EXPECT_EQ(ProjectSettings.AttributeMode, 1);
    EXPECT_EQ(readBytes(project("a.!kvo")), bad);
    EXPECT_EQ(readBytes(project("a.!!kvo")), badTilde);
    EXPECT_EQ(readBytes(project("a.!!!kvo")), bad);
    EXPECT_FALSE(fs::exists(project("a.~kvo")));
}

TEST_F(ConfigFile, FailedRestoreKeepsTheTildeFile) {
    const std::string a = project("a.kvo");
    fs::create_directory(a);  // the file's name is taken by a folder: the copy cannot be made
    writeBytes(project("a.~kvo"), kRequired);
    host.project = "x";
    LoadProjectFile(a, host);
    EXPECT_EQ(host.project, "");
    EXPECT_EQ(readBytes(project("a.~kvo")), kRequired);
    EXPECT_TRUE(fs::is_directory(a));
    EXPECT_EQ(fileCount(), 1u);  // no temporary file left behind
    EXPECT_TRUE(sameSettings(ProjectSettings, TProjectSettings()));
}

TEST_F(ConfigFile, BadInputLoadsWithDefaults) {
    const std::string a = project("a.kvo");
    std::string text("\x00\x01\xFF\xFE garbage\r\n", 14);
    text += kRequired;
    text += "Attribute\r\nSchrifttype=99999999999\r\n=5\r\n[[Bustool]\r\n\x80\x81=\x90\r\nHintergrund=0x\r\n";
    text += "[Speichertool]\r\nDatenbytes=0x8000\r\nSchreibpage=lots\r\n";
    std::mt19937 rng(3);
    while (text.size() < (10u << 20)) text += static_cast<char>(rng());
    text += "\r\n[Master]\r\nSCL-Takt=50000\r\n";
    writeBytes(a, text);
    LoadProjectFile(a, host);
    EXPECT_EQ(host.project, a);
    EXPECT_EQ(ProjectSettings.AttributeEnable, 0x100);  // "Attribute" without "=" is no key
    EXPECT_EQ(ProjectSettings.StyleDefault, -1);
    EXPECT_EQ(ProjectSettings.ColorBackground, 0xF0FBFFu);
    EXPECT_EQ(ProjectSettings.MemBytes, 0x8000);
    EXPECT_EQ(ProjectSettings.MemWritePage, 0);
    EXPECT_EQ(ProjectSettings.LogicLevel, 2);
    EXPECT_EQ(readBytes(a), text);  // reading changes nothing
}

// Values no window can produce are brought within the windows' ranges by the reader.
TEST_F(ConfigFile, ValuesBeyondTheWindowsAreBoundedOnReading) {
    using S = TProjectSettings;
    const std::tuple<const char*, std::int32_t S::*, std::int32_t> rows[] = {
        {"[Speichertool]\r\nDatenbytes=2000000000", &S::MemBytes, 65536},
        {"[Speichertool]\r\nBaustein=416", &S::MemDevAddr, 255},
        {"[Speichertool]\r\nBaustein=-96", &S::MemDevAddr, 0},
        {"[Bustool]\r\nvon Adresse=0x11", &S::ScanFrom, 0x10},
        {"[Bustool]\r\nbis Adresse=0xF4", &S::ScanTo, 0xEE},
        {"[Bustool]\r\nBaustein=416", &S::BusDevAddr, 239},
        {"[Bustool]\r\nSubbytes=7", &S::BusSubBytes, 0},
        {"[Bustool]\r\nSubadresse=0x1234", &S::BusSubAddr, 0x34},  // 1-byte width
        {"[Bustool]\r\nSubbytes=2\r\nSubadresse=0x12345", &S::BusSubAddr, 0xFFFF},
        {"[Bustool]\r\nDatenbytes=2000000000", &S::BusDataBytes, 16},
        {"", &S::BaudRate, 9600},  // Baudrate=1 as the configuration's link section gave it
        // Each value as the settings dialog shows it.
        {"[Probe]\r\nMaster=5", &S::ProbeMaster, 0},
        {"[Probe]\r\nBlau (Probe 7)=3", &S::ProbeBlue, 0},
        {"[Probe]\r\nWei\xDF (Probe 6)=4\r\nRot (Probe 10)=1", &S::ProbeWhite, 0},
        {"[Probe]\r\nWei\xDF (Probe 6)=2", &S::ProbeWhite, 0},  // no Trigger 1 beside it
        {"[Probe]\r\nWei\xDF (Probe 6)=3\r\nBlau (Probe 7)=2\r\nRot (Probe 10)=2", &S::ProbeWhite, 3},
        {"[Probe]\r\nRot (Probe 10)=7", &S::ProbeRed, 0},
        {"[Probe]\r\nLogikpegel=9", &S::LogicLevel, 1},
        {"[Analyzer]\r\nBustakt=9", &S::ClockDivider, 0},
        {"[Analyzer]\r\nAufzeichnung=4", &S::TriggerMode, 1},
        {"[Analyzer]\r\nBusfilter=300", &S::BusFilter, 4},
        {"[Analyzer]\r\nDatenfilter=300", &S::DataFilter, 255},
        {"[Analyzer]\r\nDatenfilter=-5", &S::DataFilter, 0},
        {"[Analyzer]\r\nDatenfilter-Schalter=-1", &S::DataFilterSwitches, 0x1A},
        {"[Analyzer]\r\nDatenfilter-Schalter=0x35", &S::DataFilterSwitches, 0x14},
        {"[Monitor]\r\nDarstellung=3", &S::AttributeMode, 0},
        {"[Master]\r\nSCL-Takt=1", &S::MasterClockHz, 1000},
        {"[Master]\r\nSCL-Takt=5000000", &S::MasterClockHz, 1200000},
        {"[Speichertool]\r\nSpeichertyp=7", &S::MemType, 0},
        {"[Speichertool]\r\nSchreibpage=3", &S::MemWritePage, 2},  // never above the stored page
        {"[Speichertool]\r\nSchreibpage=100", &S::MemWritePage, 16},
        {"[Speichertool]\r\nSchreibpage=-4", &S::MemWritePage, 1},
        {"[Speichertool]\r\nHexadezimal=5", &S::MemHex, 1},
        {"[Speichertool]\r\n2 Subbytes=-1", &S::MemTwoSubBytes, 1},
        {"[Speichertool]\r\nDatenbytes=0", &S::MemBytes, 256},
        {"[Bustool]\r\nDatenbytes=0", &S::BusDataBytes, 0},
        {"[Bustool]\r\nvon Adresse=0x80\r\nbis Adresse=0x40", &S::ScanTo, 0x80},
    };
    for (const auto& [lines, field, expected] : rows) {
        resetProjectSettings();
        ProjectSettings.BaudRate = 1;
        // Into its section of the required lines, ahead of their key of the same name (the first counts).
        std::string text = kRequired, row = lines + std::string("\r\n");
        const std::size_t head = row.find('\n') + 1, at = text.find(row.substr(0, head));
        text.insert(at == std::string::npos ? text.size() : at + head,
                    at == std::string::npos ? row : row.substr(head));
        writeBytes(project("a.kvo"), text);
        LoadProjectFile(project("a.kvo"), host);
        EXPECT_EQ(ProjectSettings.*field, expected) << lines;
    }
    writeBytes(project("a.kvo"), std::string(kRequired) + "Protokollfehler=4\r\nHintergrund=-1\r\n");
    LoadProjectFile(project("a.kvo"), host);
    EXPECT_EQ(ProjectSettings.StyleError, -1);
    EXPECT_EQ(ProjectSettings.ColorBackground, 0xFFFFFFu);
}

// Windows stay on the screen: no larger than it, the title bar on it, a grip of 32 pixels
// beside its edges. A place the program wrote reads back as it was.
TEST_F(ConfigFile, WindowsReadStayOnTheScreen) {
    host.screen = {0, 0, 1920, 1080};
    host.width[3] = 400;
    writeBytes(project("a.kvo"), std::string("[Forms]\r\nXPos=-5000\r\nYPos=-10\r\nWidth=60000\r\n"
                                             "Height=60000\r\nMemory-XPos=99999\r\nMemory-YPos=5000\r\n") +
                                     kRequired);
    auto placed = [&] {
        return std::vector<int>{host.left[0],   host.top[0],  host.width[0],
                                host.height[0], host.left[3], host.top[3]};
    };
    LoadProjectFile(project("a.kvo"), host);
    EXPECT_EQ(placed(), std::vector<int>({32 - 1920, 0, 1920, 1080, 1920 - 32, 1080 - 32}));
    host.left[0] = -300, host.top[0] = 20, host.width[0] = 700, host.height[0] = 500;
    host.left[3] = 1800, host.top[3] = 1000;
    ASSERT_TRUE(SaveProjectFile(project("b.kvo"), host));
    host.left[0] = host.top[0] = host.left[3] = host.top[3] = 0;
    LoadProjectFile(project("b.kvo"), host);
    EXPECT_EQ(placed(), std::vector<int>({-300, 20, 700, 500, 1800, 1000}));
}

TEST_F(ConfigFile, WindowsProjectFileKeepsItsLinesOnSave) {
    const std::string a = project("w.kvo");
    const std::string win =
        "; KEVO Projekt\r\n[Config]\r\nDatenverzeichnis=C:\\Daten\\\r\nAutosicherung=1\r\n[Probe]\r\n"
        "; Funktion der wei\xDF"
        "en Probe\r\nWei\xDF (Probe 6)=3\r\nLogikpegel=2\r\nRot (Probe 10)=1\r\n[Analyzer]\r\nBustakt=0\r\n"
        "Eigener Schl\xFCssel=bleibt\r\n[Monitor]\r\nAutosicherung=1\r\n";
    writeBytes(a, win);
    LoadProjectFile(a, host);
    EXPECT_EQ(ProjectSettings.ProbeWhite, 3);
    EXPECT_EQ(ProjectSettings.DataDir, "C:\\Daten\\");
    ProjectSettings.ProbeWhite = 1;
    ASSERT_TRUE(SaveProjectFile(a, host));
    const std::string out = readBytes(a);
    EXPECT_NE(out.find("; KEVO Projekt\r\n"), std::string::npos);
    EXPECT_NE(out.find("; Funktion der wei\xDF"
                       "en Probe\r\nWei\xDF (Probe 6)=1\r\n"),
              std::string::npos);
    EXPECT_NE(out.find("Eigener Schl\xFCssel=bleibt\r\n"), std::string::npos);
    EXPECT_EQ(out.find("Weiß"), std::string::npos);  // still Windows-1252, no UTF-8
    EXPECT_EQ(readBytes(project("w.~kvo")), win);
}

TEST_F(ConfigFile, SaveIntoAnImpossiblePlaceShowsTheErrorBox) {
    writeBytes(file("plain"), "x");
    const std::string bad = file("plain") + "/a.kvo";  // a folder that is a regular file
    EXPECT_FALSE(SaveProjectFile(bad, host));
    expectErrorBox();
    EXPECT_EQ(host.project, bad);
    // Both files are one save: the configuration file is not written either.
    EXPECT_FALSE(fs::exists(host.cfg));

    asked.clear();
    const std::string a = project("a.kvo");
    ASSERT_TRUE(SaveProjectFile(a, host));
    const std::string gone = file("weg") + "/b.kvo";
    EXPECT_FALSE(SaveProjectFile(gone, host));
    expectErrorBox();
    EXPECT_EQ(ini::GetPrivateProfileString("Projekt", "Datei", "", host.cfg), a);  // as before

    // The configuration file cannot be written: the project file is not touched either.
    asked.clear();
    host.cfg = file("plain") + "/kevo.cfg";
    EXPECT_FALSE(SaveProjectFile(project("c.kvo"), host));
    expectErrorBox();
    EXPECT_FALSE(fs::exists(project("c.kvo")));
}

TEST_F(ConfigFile, ReadOnlyProjectFolderOrFileShowsTheErrorBox) {
    // Read-only by its mode bits, which hold for root too.
    const std::string a = project("a.kvo");
    writeBytes(a, kRequired);
    writeBytes(project("a.~kvo"), "alt");
    host.project = a;
    ::chmod((root / "Data").c_str(), 0555);
    const bool ok = SaveProjectFile(a, host);
    ::chmod((root / "Data").c_str(), 0755);
    EXPECT_FALSE(ok);
    expectErrorBox();
    EXPECT_EQ(readBytes(a), kRequired);
    EXPECT_EQ(readBytes(project("a.~kvo")), "alt");
    EXPECT_EQ(fileCount(), 2u);  // no configuration file written, no temporary file left

    asked.clear();
    ::chmod(a.c_str(), 0444);
    EXPECT_FALSE(SaveProjectFile(a, host));
    expectErrorBox();
    EXPECT_EQ(readBytes(a), kRequired);
    EXPECT_EQ(readBytes(project("a.~kvo")), "alt");  // a protected file is not moved either
}

TEST_F(ConfigFile, FailedWriteKeepsOldFileAndTilde) {
    const std::string a = project("a.kvo");
    writeBytes(a, kRequired);
    writeBytes(host.cfg, kRequired);  // a configuration that fits, for the project to fail
    host.project = a;
    // A full disk: no file may grow beyond what the configuration needs (it names the project
    // twice at most) while saving; the project file needs more.
    struct sigaction ignore {
    }, old{};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGXFSZ, &ignore, &old);
    struct rlimit saved;
    ::getrlimit(RLIMIT_FSIZE, &saved);
    struct rlimit small = saved;
    small.rlim_cur = 300 + 2 * a.size();
    ::setrlimit(RLIMIT_FSIZE, &small);
    const bool ok = SaveProjectFile(a, host);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    ::sigaction(SIGXFSZ, &old, nullptr);

    EXPECT_FALSE(ok);
    expectErrorBox();
    // Every file as it was: the old project, no "~" copy, the configuration unchanged.
    EXPECT_EQ(readBytes(a), kRequired);
    EXPECT_EQ(readBytes(host.cfg), kRequired);
    EXPECT_EQ(fileCount(), 2u);  // no temporary file left behind
}

TEST_F(ConfigFile, UnreadableProjectIsNotOverwritten) {
    const std::string a = project("d.kvo");
    fs::create_directories(fs::path(a) / "inhalt");
    EXPECT_FALSE(SaveProjectFile(a, host));
    expectErrorBox();
    EXPECT_TRUE(fs::is_directory(fs::path(a) / "inhalt"));
}

TEST_F(ConfigFile, DevicesAndPipesAreNeitherReadNorSetAsideNorRestoredFrom) {
    ProjectSettings.AttributeMode = 2;
    const TProjectSettings before = ProjectSettings;
    ASSERT_EQ(::mkfifo(project("pipe.kvo").c_str(), 0644), 0);
    fs::create_symlink("/dev/null", project("null.kvo"));
    ASSERT_EQ(::mkfifo(project("gone.~kvo").c_str(), 0644), 0);
    // The named file, and what must still stand afterwards.
    const struct {
        std::string name, kept;
    } cases[] = {{"pipe.kvo", "pipe.kvo"}, {"null.kvo", "null.kvo"}, {"gone.kvo", "gone.~kvo"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        host.project = "x";
        LoadProjectFile(project(c.name), host);
        EXPECT_EQ(host.project, "");
        EXPECT_TRUE(fs::exists(fs::symlink_status(project(c.kept))));
        EXPECT_FALSE(fs::is_regular_file(fs::symlink_status(project(c.name))));
        EXPECT_TRUE(sameSettings(ProjectSettings, before));
    }
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
    for (auto& e : fs::directory_iterator(root / "Data"))
        EXPECT_EQ(e.path().filename().string().find('!'), std::string::npos) << e.path();
}
