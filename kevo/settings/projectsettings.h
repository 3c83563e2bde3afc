// The settings record: one process-wide block of everything the user can set.
//
// Filled from a project file or the configuration file by LoadProjectFile and written
// back by SaveProjectFile (configfile.h); edited by the settings dialog and the tools.
// Only the GUI thread writes it; the capture thread reads TriggerMode, LogicLevel and
// ClockDivider when a recording starts. No lock. The windows that show the record follow each
// change of it as a whole (SettingsChange below). The reader of the files brings every stored
// value within what the settings dialog and the tools can set (configfile.cpp).
#pragma once

#include <array>
#include <cstdint>
#include <string>

// Windows colour value 0x00BBGGRR.
using COLORREF = std::uint32_t;

struct TProjectSettings {
    // [Config]
    std::string DataDir;  // Datenverzeichnis: the project's log folder; empty = project directory
    std::int32_t AutoSaveProject = 1;  // Autosicherung: save the project without a question

    // [Probe]
    std::int32_t ProbeMaster = 0;    // Master: 0 off, 1 green/yellow probes, 2 white/blue probes
    std::int32_t ProbeBlue = 0;      // Blau (Probe 7): index into BlueProbeFunctions
    std::int32_t ProbeWhite = 0;     // Weiß (Probe 6): index into WhiteProbeFunctions
    std::int32_t ProbeRed = 0;       // Rot (Probe 10): index into RedProbeFunctions
    std::int32_t PosInputLogic = 0;  // Eingangslogik: 1 positive, 0 negative
    std::int32_t LogicLevel = 1;     // Logikpegel: 1..4 = LevelNames

    // [Analyzer]
    std::int32_t ClockDivider = 0;  // Bustakt: 0..3 = system clock, /2, /4, /8
    std::int32_t TriggerMode = 1;   // Aufzeichnung: 1 no trigger, 2 trigger, 3 start/stop trigger
    std::int32_t BusFilter = 0;     // Busfilter: bit 0 no hold, bit 1 no start, bit 2 no stop filter
    std::int32_t DataFilter = 0;    // Datenfilter: filter byte 0..255
    std::int32_t DataFilterSwitches =
        0;  // Datenfilter-Schalter: bits 0-2 source, bit 3 differs, bit 4 filter

    // [Monitor]
    std::int32_t AttributeMode = 0;  // Darstellung: 0 live and loaded, 1 loaded only, 2 never
    // Font styles: -1 none, 0 bold, 1 italic, 2 underline, 3 strike-out (signed bytes).
    std::int8_t StyleDefault = -1;        // Schrifttype
    std::int8_t StyleNak = 0;             // Negative Acknowledge
    std::int8_t StyleError = 3;           // Protokollfehler
    std::int8_t StylePort = 2;            // Eingangsport
    COLORREF ColorBackground = 0xF0FBFF;  // Hintergrund
    COLORREF ColorText = 0x000000;        // Textfarbe
    COLORREF ColorStartStop = 0x0000FF;   // Start/Stopbedingung
    COLORREF ColorDevAddr = 0xFF0000;     // Bausteinadresse
    COLORREF ColorSubAddr = 0x808080;     // Subadresse/Datenbyte
    COLORREF ColorFromMaster = 0x000000;  // Daten vom Master
    COLORREF ColorToMaster = 0x008000;    // Daten zum Master
    // Attribute: bit 0 start/stop colour, 1 device address, 2 sub-address, 3 from master,
    // 4 to master, 5 NAK style, 6 protocol-error style, 7 input-port style; higher bits kept.
    std::int32_t AttributeEnable = 0x7F;
    std::int32_t LogAutoSave = 0;  // Autosicherung (Monitor): save the log after a recording

    // [Master]
    std::int32_t MasterClockHz = 100000;  // SCL-Takt, Hz

    // [Bustool]
    std::int32_t ScanFrom = 16;                  // von Adresse
    std::int32_t ScanTo = 238;                   // bis Adresse
    std::int32_t BusDevAddr = 160;               // Baustein (read/write bit included)
    std::int32_t BusSubBytes = 1;                // Subbytes: 0, 1 or 2
    std::int32_t BusSubAddr = 0;                 // Subadresse
    std::int32_t BusDataBytes = 1;               // Datenbytes: 0..16
    std::array<std::uint8_t, 16> BusSendData{};  // Sendedaten: 32 hex digits in the file

    // [Speichertool]
    std::int32_t MemDevAddr = 160;    // Baustein
    std::int32_t MemTwoSubBytes = 0;  // 2 Subbytes
    std::int32_t MemBytes = 256;      // Datenbytes: chip capacity
    std::int32_t MemType = 0;         // Speichertyp: 0 EEPROM, 1 RAM, 2 register
    std::int32_t MemWritePage = 1;    // Schreibpage: 1, 2, 4, 8, 16 (below 1 counts as 1)
    std::int32_t MemHex = 1;          // Hexadezimal

    // Link values, kept in the configuration file ([RAFU]); LoadProjectFile does not read them.
    std::string PortName;       // Port: the adapter's COM port name
    std::int32_t BaudRate = 0;  // Baudrate: 921600 = USB link, 0 = not set
};

// The process-wide record, holding the built-in values at program start.
extern TProjectSettings ProjectSettings;

// Puts the built-in values back (program start state; used by tests).
void resetProjectSettings();

// The rules between fields that a value read from a file must keep, after each field has been
// brought within its own range: the scan's end not below its start, a 1-byte sub-address of one
// byte, the white probe's Trigger-2 functions only beside a Trigger 1 ("keine Funktion"
// otherwise); and the baud rate (the port dialog's rate nearest to it; 0, not set, stays).
void boundReadSettings(TProjectSettings& s);

// A window that shows the record. Before the record changes as a whole (a project loaded, the
// settings dialog) or is saved it takes what is being typed, for the settings it was typed for;
// afterwards it shows the settings then in force. It is registered while it exists. GUI thread only.
class SettingsFollower {
  public:
    SettingsFollower();
    virtual ~SettingsFollower();
    SettingsFollower(const SettingsFollower&) = delete;
    SettingsFollower& operator=(const SettingsFollower&) = delete;

    virtual void settingsLeaving() = 0;
    virtual void settingsEntered() = 0;
};

// One change of the record as a whole, for as long as it lives: the outermost one tells every
// follower before (settingsLeaving) and after (settingsEntered); inner ones tell nothing, so a
// command that saves, asks and loads notifies once.
class SettingsChange {
  public:
    SettingsChange();
    ~SettingsChange();
    SettingsChange(const SettingsChange&) = delete;
    SettingsChange& operator=(const SettingsChange&) = delete;
};
