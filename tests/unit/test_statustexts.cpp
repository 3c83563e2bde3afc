// The main window's status panels and caption, and the program's paths, as pure rules.
#include <gtest/gtest.h>

#include "deviceinfo.h"
#include "docflags.h"
#include "programpaths.h"
#include "projectsettings.h"
#include "statustexts.h"

namespace {

TEST(StatusTexts, DevicePanelsFollowSettingsAndAdapter) {
    struct Case {
        bool offline;
        std::int32_t level, pll, divider;
        std::uint32_t clockHz;
        const char *device, *levelText, *range, *clock;
    } cases[] = {
        {false, 2, 1, 3, 99999, " RAFU Sn.: 4711", " 3,3 Volt Logik", " Aufzeichnung bis 140 kBit/S",
         " Mastertakt: 99 kHz"},
        {true, 1, 0, 0, 100000, " RAFU offline", " 5 Volt Logik", " Aufzeichnung bis 800 kBit/S",
         " Mastertakt: 100 kHz"},
        // Out of the tables: no name and no read past their ends; the clock is unsigned.
        {false, 9, 2, 0, 0xFFFFFFFFu, " RAFU Sn.: 4711", "  Logik", " Aufzeichnung ",
         " Mastertakt: 4294967 kHz"},
        {false, -1, 0, -1, 999, " RAFU Sn.: 4711", "  Logik", " Aufzeichnung ", " Mastertakt: 0 kHz"},
    };
    for (const Case& c : cases) {
        TProjectSettings s;
        s.LogicLevel = c.level;
        s.ClockDivider = c.divider;
        s.MasterClockHz = std::int32_t(c.clockHz);
        TDeviceInfo d;
        d.ShortSerial = "4711";
        d.PllMode = c.pll;
        const StatusTexts t = statusTexts(s, d, c.offline, 0, {});
        EXPECT_EQ(t.panels[0], c.device);
        EXPECT_EQ(t.panels[1], c.levelText);
        EXPECT_EQ(t.panels[2], c.range);
        EXPECT_EQ(t.panels[3], c.clock);
    }
}

TEST(StatusTexts, ProjectPanelAndCaptionShowNamesBelowTheirFolders) {
    struct Case {
        std::int32_t flags;
        const char *projectPath, *logPath, *project, *caption;
    } cases[] = {
        {0, "", "", "Projekt: [Default]", "KEVO - Parvelo/ -Monitor - [I2CWatch.i2p]"},
        {DocProjectModified | DocLogModified, "", "", "Projekt: *[Default]",
         "KEVO - Parvelo/ -Monitor - *[I2CWatch.i2p]"},
        {0, "/p/Motor.kvo", "/d/sub/run.i2p", " Projekt: [Motor.kvo]",
         "KEVO - Parvelo/ -Monitor - [run.i2p]"},
        {DocProjectModified, "/srv/Motor.kvo", "/var/run.i2p", " Projekt: *[/srv/Motor.kvo]",
         "KEVO - Parvelo/ -Monitor - [/var/run.i2p]"},
        // The folder is compared without its trailing "/": a sibling with a longer name counts.
        {DocLogModified, "/px/a.kvo", "/dd/run.i2p", " Projekt: [a.kvo]",
         "KEVO - Parvelo/ -Monitor - *[run.i2p]"},
        // Case matters; a path shorter than the folder is shown whole.
        {0, "/P/a.kvo", "/", " Projekt: [/P/a.kvo]", "KEVO - Parvelo/ -Monitor - [/]"},
    };
    for (const Case& c : cases) {
        TProjectSettings s;
        s.DataDir = "/d/";
        const StatusTexts t =
            statusTexts(s, TDeviceInfo{}, false, c.flags, {"/p/", c.projectPath, c.logPath});
        EXPECT_EQ(t.panels[4], c.project) << c.projectPath;
        EXPECT_EQ(t.caption, c.caption) << c.logPath;
    }
}

TEST(ProgramPaths, DirectoryConfigurationFileAndProjectFolder) {
    struct Case {
        const char* programFile;
        bool beside;  // data beside the program (its build folder)
        const char *dir, *config;
    } cases[] = {
        {"/opt/kevo/kevo", true, "/opt/kevo/", "/opt/kevo/kevo.cfg"},
        {"/opt/kevo/kevo.bin", true, "/opt/kevo/", "/opt/kevo/kevo.cfg"},
        {"/opt/my.kevo/my.prog.exe", true, "/opt/my.kevo/", "/opt/my.kevo/my.prog.cfg"},
        {"/kevo", true, "/", "/kevo.cfg"},
        // Installed: the user data folder.
        {"/usr/bin/kevo", false, "/home/u/.local/share/kevo/", "/home/u/.local/share/kevo/kevo.cfg"},
    };
    for (const Case& c : cases) {
        const std::string dir = programDirectoryOf(c.programFile, c.beside, "/home/u/.local/share/kevo/");
        EXPECT_EQ(dir, c.dir) << c.programFile;
        EXPECT_EQ(configFileOf(dir, c.programFile), c.config) << c.programFile;
        EXPECT_EQ(defaultProjectDirOf(dir), std::string(c.dir) + "Data/");
    }
    EXPECT_EQ(userDataDirectoryOf("", "/home/u"), "/home/u/.local/share/kevo/");
    EXPECT_EQ(userDataDirectoryOf("", "/home/u/"), "/home/u/.local/share/kevo/");
    EXPECT_EQ(userDataDirectoryOf("/x/data", "/home/u"), "/x/data/kevo/");
    EXPECT_EQ(userDataDirectoryOf("/x/data/", "/home/u"), "/x/data/kevo/");
    EXPECT_EQ(withSlash(""), "");
    EXPECT_EQ(withSlash("/a"), "/a/");
    EXPECT_EQ(fileNameOf("/a/b.kvo"), "b.kvo");
    EXPECT_EQ(fileNameOf("b.kvo"), "b.kvo");
}

}  // namespace
