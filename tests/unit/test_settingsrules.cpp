// The settings dialog's pure rules: the table of working copies and the probe rules.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include "proberules.h"
#include "projectsettings.h"
#include "workingsettings.h"

namespace {

// A record in which every edited setting differs from the built-in one.
TProjectSettings allChanged() {
    TProjectSettings s;
    s.PortName = "COM7";
    s.BaudRate = 921600;
    s.AutoSaveProject = 0;
    s.LogicLevel = 4;
    s.ProbeMaster = 2;
    s.PosInputLogic = 1;
    s.ProbeBlue = 2;
    s.ProbeWhite = 3;
    s.ProbeRed = 1;
    s.ClockDivider = 3;
    s.TriggerMode = 3;
    s.BusFilter = 0x105;
    s.DataFilter = 0xA5;
    s.DataFilterSwitches = 0x1A;
    s.LogAutoSave = 1;
    s.AttributeMode = 2;
    s.ColorBackground = 0xFFFFFFFFu;  // beyond the signed range of the working copy
    s.ColorText = 0x123456;
    s.ColorStartStop = 0x010203;
    s.ColorDevAddr = 0x040506;
    s.ColorSubAddr = 0x070809;
    s.ColorFromMaster = 0x0A0B0C;
    s.ColorToMaster = 0x0D0E0F;
    s.StyleDefault = 3;
    s.StyleNak = -1;
    s.StyleError = 1;
    s.StylePort = -1;
    s.AttributeEnable = 0x1FF;
    s.MasterClockHz = 400000;
    s.MemDevAddr = 0xA2;
    s.MemBytes = 65536;
    s.MemType = 2;
    s.MemWritePage = 16;
    s.MemHex = 0;
    s.MemTwoSubBytes = 1;
    return s;
}

TEST(WorkingSettings, EachStepTakesItsOwnCopiesAndOkWritesBackEveryOne) {
    ASSERT_EQ(WorkingSettingsCount, 36u);
    std::set<std::string> names;
    for (size_t i = 0; i < WorkingSettingsCount; ++i) names.insert(WorkingSettingsTable[i].name);
    EXPECT_EQ(names.size(), 36u);

    const TProjectSettings builtIn;
    TProjectSettings changed = allChanged();
    std::string builtInDir = "/a/", changedDir = "/b/";
    const EditedSettings from{&changed, &changedDir};
    const CopyStep steps[] = {CopyStep::Link, CopyStep::Probes, CopyStep::Analyzer, CopyStep::Monitor,
                              CopyStep::Master};
    // The settings each activation step copies, named here on their own rather than read from the
    // table, so that a setting moved to another step is caught.
    const std::map<CopyStep, std::set<std::string>> stepSettings = {
        {CopyStep::Link, {"PortName", "BaudRate", "ProjectDir", "AutoSaveProject"}},
        {CopyStep::Probes,
         {"LogicLevel", "ProbeMaster", "PosInputLogic", "ProbeBlue", "ProbeWhite", "ProbeRed"}},
        {CopyStep::Analyzer,
         {"ClockDivider", "TriggerMode", "BusFilter", "DataFilter", "DataFilterSwitches"}},
        {CopyStep::Master,
         {"MasterClockHz", "MemDevAddr", "MemBytes", "MemType", "MemWritePage", "MemHex", "MemTwoSubBytes"}},
    };
    for (CopyStep step : steps) {
        // Copies of the built-in record, then one step from the changed one: exactly the
        // settings of that step now differ.
        TWorkingSettings w;
        TProjectSettings base = builtIn;
        std::string dir = builtInDir;
        for (CopyStep all : steps) takeWorkingCopies(all, w, {&base, &dir});
        takeWorkingCopies(step, w, from);
        for (size_t i = 0; i < WorkingSettingsCount; ++i) {
            const WorkingSetting& e = WorkingSettingsTable[i];
            TProjectSettings target = builtIn;
            std::string targetDir = builtInDir;
            EXPECT_EQ(e.writeBack(w, {&target, &targetDir}), e.step == step) << e.name;
            // Every setting not named above belongs to the monitor page's step.
            const auto named = stepSettings.find(step);
            const bool inStep = named != stepSettings.end()
                                    ? named->second.count(e.name) > 0
                                    : std::none_of(stepSettings.begin(), stepSettings.end(),
                                                   [&](const auto& n) { return n.second.count(e.name) > 0; });
            EXPECT_EQ(e.step == step, inStep) << e.name;
        }
    }

    // All copies from the changed record onto the built-in one: afterwards the two agree,
    // also for the unsigned colour and the signed style bytes; what the dialog does not edit
    // stays.
    TWorkingSettings w;
    for (CopyStep step : steps) takeWorkingCopies(step, w, from);
    TProjectSettings target = builtIn;
    target.DataDir = "/logs/";
    std::string targetDir = builtInDir;
    EXPECT_TRUE(writeBackWorkingCopies(w, {&target, &targetDir}));
    EXPECT_EQ(targetDir, "/b/");
    using S = TProjectSettings;
    for (auto m : {&S::BaudRate,           &S::AutoSaveProject, &S::LogicLevel,    &S::ProbeMaster,
                   &S::PosInputLogic,      &S::ProbeBlue,       &S::ProbeWhite,    &S::ProbeRed,
                   &S::ClockDivider,       &S::TriggerMode,     &S::BusFilter,     &S::DataFilter,
                   &S::DataFilterSwitches, &S::LogAutoSave,     &S::AttributeMode, &S::AttributeEnable,
                   &S::MasterClockHz,      &S::MemDevAddr,      &S::MemBytes,      &S::MemType,
                   &S::MemWritePage,       &S::MemHex,          &S::MemTwoSubBytes})
        EXPECT_EQ(target.*m, changed.*m);
    for (auto m : {&S::ColorBackground, &S::ColorText, &S::ColorStartStop, &S::ColorDevAddr, &S::ColorSubAddr,
                   &S::ColorFromMaster, &S::ColorToMaster})
        EXPECT_EQ(target.*m, changed.*m);
    for (auto m : {&S::StyleDefault, &S::StyleNak, &S::StyleError, &S::StylePort})
        EXPECT_EQ(target.*m, changed.*m);
    EXPECT_EQ(target.PortName, "COM7");
    EXPECT_EQ(target.DataDir, "/logs/");
    EXPECT_EQ(target.ScanTo, builtIn.ScanTo);
    // Values are compared, not edits: nothing differs any more.
    EXPECT_FALSE(writeBackWorkingCopies(w, {&target, &targetDir}));
    EXPECT_FALSE(writeBackWorkingCopies(w, {&changed, &changedDir}));
}

TEST(ProbeRules, BlueAndRedShareTrigger1AndWhiteNeedsIt) {
    enum List { Blue, Red };
    struct Case {
        List list;
        std::int32_t chosen;
        ProbeChoice now;
        bool accepted, trigger1;
    } cases[] = {
        {Blue, 1, {1, 0, 0}, false, false},  // the current choice: nothing happens
        {Red, 1, {0, 3, 1}, false, false},
        {Red, 0, {0, 2, 1}, false, false},  // white "oder Trigger 2" keeps red on Trigger 1
        {Red, 2, {0, 2, 1}, false, false},  // red input port with blue not on entry 2: no Trigger 1
        {Red, 2, {2, 2, 1}, true, true},    // blue entry 2 becomes Trigger 1
        {Red, 2, {2, 0, 0}, true, true},
        {Red, 0, {2, 1, 2}, true, false},  // white without a Trigger-2 function: free
        {Blue, 1, {2, 3, 2}, false, false},
        {Blue, 1, {2, 0, 2}, true, false},
        {Blue, 2, {0, 0, 2}, true, true},
        {Blue, 0, {2, 3, 1}, true, true},  // red carries Trigger 1 itself
    };
    for (const Case& c : cases) {
        const ProbeOutcome o =
            c.list == Blue ? blueProbeChosen(c.chosen, c.now) : redProbeChosen(c.chosen, c.now);
        const std::string what = std::string(c.list == Blue ? "blue " : "red ") + std::to_string(c.chosen) +
                                 " from " + std::to_string(c.now.blue) + std::to_string(c.now.white) +
                                 std::to_string(c.now.red);
        EXPECT_EQ(o.accepted, c.accepted) << what;
        EXPECT_EQ(o.trigger1, c.trigger1) << what;
        ProbeChoice expected = c.now;
        if (c.accepted) (c.list == Blue ? expected.blue : expected.red) = c.chosen;
        EXPECT_EQ(o.probes.blue, expected.blue) << what;
        EXPECT_EQ(o.probes.white, expected.white) << what;
        EXPECT_EQ(o.probes.red, expected.red) << what;
    }
    EXPECT_TRUE(trigger1Assigned({0, 0, 1}));
    EXPECT_TRUE(trigger1Assigned({2, 0, 2}));
    EXPECT_FALSE(trigger1Assigned({1, 0, 2}));
    EXPECT_TRUE(blueEntry2IsTrigger1({0, 0, 2}));
    EXPECT_FALSE(blueEntry2IsTrigger1({2, 0, 1}));
}

}  // namespace
