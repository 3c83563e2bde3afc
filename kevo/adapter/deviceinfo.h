// Adapter identification and the analyzer and probe configuration telegram.
//
// DeviceInfo is process-wide and written only by ReadDeviceInfo. ReadDeviceInfo and
// SendAnalyzerSetup run on the GUI thread; they use the command link (vlcom.h) and
// honour OfflineMode. No Qt dependency: the error box goes through the dialog seam.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>

struct TProjectSettings;

// What the adapter reported about itself.
struct TDeviceInfo {
    std::string FirmwareText = "kein Gerät";  // "kein Gerät" after an identification without adapter
    std::string SerialNumber;                 // empty when no adapter was found
    std::string ShortSerial = "----";         // last four characters of SerialNumber; "----" = not identified
    std::string OptionsText;                  // "PLL-Takterzeugung" or "Standard"; empty without adapter
    int32_t PllMode = 0;                      // 0 standard clock, 1 PLL clock (the digit reported)
    int32_t SystemClock = 24000000;           // Hz: 36,000,000 with PLL, else 24,000,000
};

extern TDeviceInfo DeviceInfo;

// Asks the adapter for firmware, serial number and clock option and fills DeviceInfo;
// without link (or in OfflineMode) it stores the no-device values.
void ReadDeviceInfo();

// Sends the analyzer and probe configuration from the settings record. true = sent (or
// OfflineMode); false = the link could not be opened and the user chose Ignore in the
// Retry/Ignore box. Identifies the adapter first while ShortSerial is "----".
bool SendAnalyzerSetup();

// The main window tells where it is (screen x, y of its top-left corner), so that the
// error box can be placed 150 pixels right of and below it. Until then (or with an empty
// function) 0, 0 is used.
void setMainWindowPosProvider(std::function<std::pair<int, int>()> provider);

// --- Pure helpers (no I/O) ---

// The bus master clock divisor systemClock / (5 * masterClockHz) - 1 as an unsigned
// 32-bit value. A clock of 0 (only from a hand-edited file) gives no divisor: the
// built-in 100,000 Hz is used instead.
uint32_t MasterClockDivisor(int32_t systemClock, int32_t masterClockHz);

// The configuration telegram for the given settings and adapter system clock, e.g.
// "0L1,/0,O3,F00,0000,T002F,P0000".
std::string AnalyzerSetupTelegram(const TProjectSettings& settings, int32_t systemClock);

// The last four characters of a serial number, or all of it when it is shorter.
std::string ShortSerialOf(const std::string& serialNumber);

// Reads the reply to "2": with "C" in second place the third character is the PLL digit,
// stored in pllMode as its decimal value (any digit but 0 means the PLL clock).
// Returns the options text ("PLL-Takterzeugung" or "Standard") and updates pllMode; a
// reply of another form, or a PLL character that is missing or not a digit, gives
// "Standard" and leaves pllMode as it is.
std::string ParseOptionsReply(const std::string& reply, int32_t& pllMode);
