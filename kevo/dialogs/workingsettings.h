// The settings dialog's working copies and the one table that links each of them to the
// setting it edits. Activation takes the copies step by step, OK writes back every copy
// that differs, in the table's order; both walk the same table, so no setting can be
// forgotten in one of them. No Qt; GUI thread (the settings record is the GUI thread's).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct TProjectSettings;

// Working copies, one per edited setting, with the setting's name, width and signedness.
struct TWorkingSettings {
    std::string PortName;
    std::string ProjectDir;
    std::int32_t BaudRate = 0;
    std::int32_t AutoSaveProject = 0;
    std::int32_t LogicLevel = 0;
    std::int32_t ProbeMaster = 0;
    std::int32_t PosInputLogic = 0;
    std::int32_t ProbeBlue = 0;
    std::int32_t ProbeWhite = 0;
    std::int32_t ProbeRed = 0;
    std::int32_t ClockDivider = 0;
    std::int32_t TriggerMode = 0;
    std::int32_t BusFilter = 0;
    std::int32_t DataFilter = 0;
    std::int32_t DataFilterSwitches = 0;
    std::int32_t LogAutoSave = 0;
    std::int32_t AttributeMode = 0;
    std::int32_t ColorBackground = 0;
    std::int32_t ColorText = 0;
    std::int32_t ColorStartStop = 0;
    std::int32_t ColorDevAddr = 0;
    std::int32_t ColorSubAddr = 0;
    std::int32_t ColorFromMaster = 0;
    std::int32_t ColorToMaster = 0;
    std::int32_t AttributeEnable = 0;
    std::int32_t MasterClockHz = 0;
    std::int32_t MemDevAddr = 0;
    std::int32_t MemBytes = 0;
    std::int32_t MemType = 0;
    std::int32_t MemWritePage = 0;
    std::int32_t MemHex = 0;
    std::int32_t MemTwoSubBytes = 0;
    std::int8_t StyleDefault = 0;
    std::int8_t StyleNak = 0;
    std::int8_t StyleError = 0;
    std::int8_t StylePort = 0;
};

// The steps of the activation that take working copies, each after the controls of its
// settings were set (so that what their handlers wrote meanwhile is overwritten).
enum class CopyStep {
    Link,      // port, baud rate, project directory, project auto-save
    Probes,    // logic level and the probes
    Analyzer,  // sampling clock, trigger, filters
    Monitor,   // the trace's look and log auto-save
    Master,    // master clock and the memory monitor's device
};

// The settings the dialog edits: the settings record and the main window's project
// directory.
struct EditedSettings {
    TProjectSettings* record;
    std::string* projectDir;
};

// One edited setting. take: working copy := setting. writeBack: setting := working copy when
// they differ (texts by content, integers by value, style bytes as signed bytes); true then.
struct WorkingSetting {
    const char* name;
    CopyStep step;
    void (*take)(TWorkingSettings& working, const EditedSettings& settings);
    bool (*writeBack)(const TWorkingSettings& working, const EditedSettings& settings);
};

// The 36 settings in the order OK writes them back.
extern const WorkingSetting WorkingSettingsTable[];
extern const std::size_t WorkingSettingsCount;

// Takes the working copies of one activation step.
void takeWorkingCopies(CopyStep step, TWorkingSettings& working, const EditedSettings& settings);
// Writes back every copy that differs; true when one did.
bool writeBackWorkingCopies(const TWorkingSettings& working, const EditedSettings& settings);
