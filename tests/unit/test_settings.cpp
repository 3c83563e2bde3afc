// The settings record's built-in values and the text tables.
#include <gtest/gtest.h>

#include "iictexte.h"
#include "projectsettings.h"

TEST(SettingsRecord, BuiltInValues) {
    resetProjectSettings();
    const TProjectSettings& s = ProjectSettings;
    EXPECT_EQ(s.DataDir, "");
    EXPECT_EQ(s.PortName, "");
    EXPECT_EQ(s.BaudRate, 0);
    EXPECT_EQ(s.AutoSaveProject, 1);
    EXPECT_EQ(s.ProbeMaster, 0);
    EXPECT_EQ(s.ProbeBlue + s.ProbeWhite + s.ProbeRed + s.PosInputLogic, 0);
    EXPECT_EQ(s.LogicLevel, 1);
    EXPECT_EQ(s.ClockDivider, 0);
    EXPECT_EQ(s.TriggerMode, 1);
    EXPECT_EQ(s.BusFilter + s.DataFilter + s.DataFilterSwitches + s.AttributeMode, 0);
    EXPECT_EQ(s.StyleDefault, -1);
    EXPECT_EQ(s.StyleNak, 0);
    EXPECT_EQ(s.StyleError, 3);
    EXPECT_EQ(s.StylePort, 2);
    EXPECT_EQ(s.ColorBackground, 0xF0FBFFu);
    EXPECT_EQ(s.ColorText, 0u);
    EXPECT_EQ(s.ColorStartStop, 0x0000FFu);
    EXPECT_EQ(s.ColorDevAddr, 0xFF0000u);
    EXPECT_EQ(s.ColorSubAddr, 0x808080u);
    EXPECT_EQ(s.ColorFromMaster, 0u);
    EXPECT_EQ(s.ColorToMaster, 0x008000u);
    EXPECT_EQ(s.AttributeEnable, 0x7F);
    EXPECT_EQ(s.LogAutoSave, 0);
    EXPECT_EQ(s.MasterClockHz, 100000);
    EXPECT_EQ(s.ScanFrom, 16);
    EXPECT_EQ(s.ScanTo, 238);
    EXPECT_EQ(s.BusDevAddr, 160);
    EXPECT_EQ(s.BusSubBytes, 1);
    EXPECT_EQ(s.BusSubAddr, 0);
    EXPECT_EQ(s.BusDataBytes, 1);
    for (auto b : s.BusSendData) EXPECT_EQ(b, 0);
    EXPECT_EQ(s.MemDevAddr, 160);
    EXPECT_EQ(s.MemTwoSubBytes, 0);
    EXPECT_EQ(s.MemBytes, 256);
    EXPECT_EQ(s.MemType, 0);
    EXPECT_EQ(s.MemWritePage, 1);
    EXPECT_EQ(s.MemHex, 1);
    static_assert(sizeof(s.StyleDefault) == 1 && std::is_signed<decltype(s.StyleDefault)>::value,
                  "signed byte");
    static_assert(sizeof(s.BusSendData) == 16, "16 send bytes");
}

TEST(TextTables, Entries) {
    EXPECT_EQ(LevelNames[0], "");
    EXPECT_EQ(LevelNames[2], "3,3 Volt");
    EXPECT_EQ(LevelNames[4], "1,8 Volt");
    EXPECT_EQ(TriggerNames[0], "");
    EXPECT_EQ(TriggerNames[3], "Start/Stop-Trigger");
    EXPECT_EQ(ClockRangeNames[1 * 4 + 3], "bis 140 kBit/S");
    EXPECT_EQ(ClockRangeNames[0 * 4 + 0], "bis 800 kBit/S");
    EXPECT_EQ(ClockRangeNames[4], "bis 1150 kBit/S");
    EXPECT_EQ(FontStyleNames[-1 + 1], "Standard");
    EXPECT_EQ(FontStyleNames[3 + 1], "Gestrichen");
    EXPECT_EQ(BlueProbeFunctions[1], "I²C-Bus aktiv");
    EXPECT_EQ(BlueProbeFunctions[3], "Trigger 1");
    EXPECT_EQ(WhiteProbeFunctions[1], "Acknowledgefenster");
    EXPECT_EQ(RedProbeFunctions[2], "Eingangs-Port");
    EXPECT_EQ(WeekdayNames[1], "Sonntag");
    EXPECT_EQ(WeekdayNames[7], "Samstag");
    EXPECT_EQ(SeparatorLine, std::string(70, '-'));
    EXPECT_EQ(ClockRangeCount, 8);
    EXPECT_EQ(FontStyleCount, 5);
    EXPECT_EQ(BlueProbeCount, 4);
    EXPECT_EQ(WhiteProbeCount, 4);
    EXPECT_EQ(RedProbeCount, 3);
}
