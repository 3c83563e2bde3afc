#include "iictexte.h"

const std::string LevelNames[5] = {"", "5 Volt", "3,3 Volt", "2,5 Volt", "1,8 Volt"};

const std::string TriggerNames[4] = {"", "kein Trigger", "Trigger", "Start/Stop-Trigger"};

// Row 0: 24 MHz adapter, row 1: 36 MHz adapter with PLL; column: divider 1, 2, 4, 8.
const std::string ClockRangeNames[ClockRangeCount] = {
    "bis 800 kBit/S",  "bis 400 kBit/S", "bis 188 kBit/S", "bis 94 kBit/S",
    "bis 1150 kBit/S", "bis 575 kBit/S", "bis 280 kBit/S", "bis 140 kBit/S",
};

const std::string FontStyleNames[FontStyleCount] = {"Standard", "Fett", "Kursiv", "Unterstrichen",
                                                    "Gestrichen"};

const std::string BlueProbeFunctions[BlueProbeCount] = {"keine Funktion", "I²C-Bus aktiv", "Eingangs-Port",
                                                        "Trigger 1"};
const std::string WhiteProbeFunctions[WhiteProbeCount] = {"keine Funktion", "Acknowledgefenster",
                                                          "oder Trigger 2", "und Trigger 2"};
const std::string RedProbeFunctions[RedProbeCount] = {"keine Funktion", "Trigger 1", "Eingangs-Port"};

const std::string WeekdayNames[8] = {"",         "Sonntag",    "Montag",  "Dienstag",
                                     "Mittwoch", "Donnerstag", "Freitag", "Samstag"};

const std::string SeparatorLine(70, '-');
