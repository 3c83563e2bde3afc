#include "workingsettings.h"

#include <type_traits>

#include "projectsettings.h"

namespace {

template <auto Member>
auto& recordField(const EditedSettings& s) {
    return s.record->*Member;
}

std::string& projectDirField(const EditedSettings& s) {
    return *s.projectDir;
}

// Working is a member of TWorkingSettings, Setting a function giving the setting itself.
// The copy converts to the other side's width and signedness (colours are unsigned in the
// record, signed in the copies).
template <auto Working, auto Setting>
WorkingSetting link(const char* name, CopyStep step) {
    return {name, step,
            [](TWorkingSettings& w, const EditedSettings& s) {
                auto& copy = w.*Working;
                copy = static_cast<std::decay_t<decltype(copy)>>(Setting(s));
            },
            [](const TWorkingSettings& w, const EditedSettings& s) {
                auto& setting = Setting(s);
                const auto value = static_cast<std::decay_t<decltype(setting)>>(w.*Working);
                if (setting == value) return false;
                setting = value;
                return true;
            }};
}

template <auto Working, auto Member>
WorkingSetting inRecord(const char* name, CopyStep step) {
    return link<Working, &recordField<Member>>(name, step);
}

using W = TWorkingSettings;
using S = TProjectSettings;
using C = CopyStep;

}  // namespace

const WorkingSetting WorkingSettingsTable[] = {
    inRecord<&W::PortName, &S::PortName>("PortName", C::Link),
    inRecord<&W::BaudRate, &S::BaudRate>("BaudRate", C::Link),
    link<&W::ProjectDir, &projectDirField>("ProjectDir", C::Link),
    inRecord<&W::AutoSaveProject, &S::AutoSaveProject>("AutoSaveProject", C::Link),
    inRecord<&W::LogicLevel, &S::LogicLevel>("LogicLevel", C::Probes),
    inRecord<&W::ProbeMaster, &S::ProbeMaster>("ProbeMaster", C::Probes),
    inRecord<&W::PosInputLogic, &S::PosInputLogic>("PosInputLogic", C::Probes),
    inRecord<&W::ProbeBlue, &S::ProbeBlue>("ProbeBlue", C::Probes),
    inRecord<&W::ProbeWhite, &S::ProbeWhite>("ProbeWhite", C::Probes),
    inRecord<&W::ProbeRed, &S::ProbeRed>("ProbeRed", C::Probes),
    inRecord<&W::ClockDivider, &S::ClockDivider>("ClockDivider", C::Analyzer),
    inRecord<&W::TriggerMode, &S::TriggerMode>("TriggerMode", C::Analyzer),
    inRecord<&W::BusFilter, &S::BusFilter>("BusFilter", C::Analyzer),
    inRecord<&W::DataFilter, &S::DataFilter>("DataFilter", C::Analyzer),
    inRecord<&W::DataFilterSwitches, &S::DataFilterSwitches>("DataFilterSwitches", C::Analyzer),
    inRecord<&W::LogAutoSave, &S::LogAutoSave>("LogAutoSave", C::Monitor),
    inRecord<&W::AttributeMode, &S::AttributeMode>("AttributeMode", C::Monitor),
    inRecord<&W::ColorBackground, &S::ColorBackground>("ColorBackground", C::Monitor),
    inRecord<&W::ColorText, &S::ColorText>("ColorText", C::Monitor),
    inRecord<&W::ColorStartStop, &S::ColorStartStop>("ColorStartStop", C::Monitor),
    inRecord<&W::ColorDevAddr, &S::ColorDevAddr>("ColorDevAddr", C::Monitor),
    inRecord<&W::ColorSubAddr, &S::ColorSubAddr>("ColorSubAddr", C::Monitor),
    inRecord<&W::ColorFromMaster, &S::ColorFromMaster>("ColorFromMaster", C::Monitor),
    inRecord<&W::ColorToMaster, &S::ColorToMaster>("ColorToMaster", C::Monitor),
    inRecord<&W::StyleDefault, &S::StyleDefault>("StyleDefault", C::Monitor),
    inRecord<&W::StyleNak, &S::StyleNak>("StyleNak", C::Monitor),
    inRecord<&W::StyleError, &S::StyleError>("StyleError", C::Monitor),
    inRecord<&W::StylePort, &S::StylePort>("StylePort", C::Monitor),
    inRecord<&W::AttributeEnable, &S::AttributeEnable>("AttributeEnable", C::Monitor),
    inRecord<&W::MasterClockHz, &S::MasterClockHz>("MasterClockHz", C::Master),
    inRecord<&W::MemDevAddr, &S::MemDevAddr>("MemDevAddr", C::Master),
    inRecord<&W::MemBytes, &S::MemBytes>("MemBytes", C::Master),
    inRecord<&W::MemType, &S::MemType>("MemType", C::Master),
    inRecord<&W::MemWritePage, &S::MemWritePage>("MemWritePage", C::Master),
    inRecord<&W::MemHex, &S::MemHex>("MemHex", C::Master),
    inRecord<&W::MemTwoSubBytes, &S::MemTwoSubBytes>("MemTwoSubBytes", C::Master),
};

const std::size_t WorkingSettingsCount = sizeof(WorkingSettingsTable) / sizeof(WorkingSettingsTable[0]);

void takeWorkingCopies(CopyStep step, TWorkingSettings& working, const EditedSettings& settings) {
    for (const WorkingSetting& s : WorkingSettingsTable)
        if (s.step == step) s.take(working, settings);
}

bool writeBackWorkingCopies(const TWorkingSettings& working, const EditedSettings& settings) {
    bool changed = false;
    for (const WorkingSetting& s : WorkingSettingsTable) changed = s.writeBack(working, settings) || changed;
    return changed;
}
