#include "deviceinfo.h"

#include <cstdio>

#include "dialogseam.h"
#include "projectsettings.h"
#include "vlcom.h"

TDeviceInfo DeviceInfo;

namespace {

constexpr int32_t kStandardClock = 24000000;
constexpr int32_t kPllClock = 36000000;
constexpr int32_t kDefaultMasterClockHz = 100000;

std::function<std::pair<int, int>()>& posProvider() {
    static std::function<std::pair<int, int>()> p;
    return p;
}

std::pair<int, int> mainWindowPos() {
    if (posProvider()) return posProvider()();
    return {0, 0};
}

// The adapter's reply without its first character (the echo of the command).
std::string payloadOf(const std::string& reply) {
    return reply.size() < 2 ? std::string() : reply.substr(1);
}

std::string hex(uint32_t v, int digits) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%.*X", digits, v);
    return buf;
}

}  // namespace

void setMainWindowPosProvider(std::function<std::pair<int, int>()> provider) {
    posProvider() = std::move(provider);
}

uint32_t MasterClockDivisor(int32_t systemClock, int32_t masterClockHz) {
    if (masterClockHz == 0) masterClockHz = kDefaultMasterClockHz;
    // Unsigned 32-bit throughout, as the adapter expects it: a clock faster than the system
    // clock allows gives 0 - 1 and is sent as FFFFFFFF. 5 is odd, so only 0 makes the
    // product 0.
    const uint32_t div = 5u * static_cast<uint32_t>(masterClockHz);
    return static_cast<uint32_t>(systemClock) / div - 1u;
}

std::string ShortSerialOf(const std::string& serialNumber) {
    return serialNumber.size() <= 4 ? serialNumber : serialNumber.substr(serialNumber.size() - 4);
}

std::string ParseOptionsReply(const std::string& reply, int32_t& pllMode) {
    // The options are collected as a list, each name followed by ", "; the PLL clock is
    // the only option. A "C" reply whose PLL character is missing or not a digit tells
    // nothing and counts like a reply without "C". The digit is kept as reported: the
    // readers of the clock-range table check that it has a row for the mode.
    std::string options;
    if (reply.size() >= 3 && reply[1] == 'C' && reply[2] >= '0' && reply[2] <= '9') {
        pllMode = reply[2] - '0';
        if (pllMode != 0) options += "PLL-Takterzeugung, ";
    }
    if (!options.empty())
        options.resize(options.size() - 2);
    else
        options = "Standard";
    return options;
}

void ReadDeviceInfo() {
    if (OfflineMode || !ComOpen()) {
        DeviceInfo.ShortSerial = "----";
        DeviceInfo.FirmwareText = "kein Gerät";
        DeviceInfo.SerialNumber.clear();
        DeviceInfo.OptionsText.clear();
        DeviceInfo.SystemClock = kStandardClock;
        return;
    }
    DeviceInfo.FirmwareText = payloadOf(ComQuery("$"));
    DeviceInfo.SerialNumber = payloadOf(ComQuery("#"));
    DeviceInfo.ShortSerial = ShortSerialOf(DeviceInfo.SerialNumber);
    DeviceInfo.OptionsText = ParseOptionsReply(ComQuery("2"), DeviceInfo.PllMode);
    ComClose();
    DeviceInfo.SystemClock = DeviceInfo.PllMode != 0 ? kPllClock : kStandardClock;
}

std::string AnalyzerSetupTelegram(const TProjectSettings& s, int32_t systemClock) {
    const auto u = [](int32_t v) { return static_cast<uint32_t>(v); };
    std::string t = "0L" + std::to_string(s.LogicLevel) + ",/" + std::to_string(s.ClockDivider) + ",O3,F" +
                    hex(u(s.BusFilter), 2) + "," + hex(u(s.DataFilterSwitches), 2) + hex(u(s.DataFilter), 2) +
                    ",T" + hex(MasterClockDivisor(systemClock, s.MasterClockHz), 4) + ",";
    t += s.PosInputLogic != 0 ? "p" : "P";
    t += std::to_string(s.ProbeMaster) + std::to_string(s.ProbeRed);
    // With the white/blue probes as bus master their functions are not sent.
    if (s.ProbeMaster != 2) t += std::to_string(s.ProbeBlue) + std::to_string(s.ProbeWhite);
    return t;
}

bool SendAnalyzerSetup() {
    if (OfflineMode) return true;
    while (!ComOpen()) {
        const auto [left, top] = mainWindowPos();
        const int r = dialogs::messageBox("Fehler",
                                          "Die Datenverbindung zum RAFU konnte nicht hergestellt werden\n    "
                                          "    Bitte überprüfen Sie das Datenkabel",
                                          dialogs::MsgType::Error, dialogs::mbRetry | dialogs::mbIgnore,
                                          {"&Wiederholen", "&Ignorieren"}, left + 150, top + 150,
                                          dialogs::mrRetry);  // closing the box tries again
        if (r == dialogs::mrIgnore) return false;
    }
    // Not identified yet: identify now (nested open inside the open link), so the divisor
    // is computed from the adapter's real system clock.
    if (DeviceInfo.ShortSerial == "----") ReadDeviceInfo();
    ComSend(AnalyzerSetupTelegram(ProjectSettings, DeviceInfo.SystemClock));
    ComClose();
    return true;
}
