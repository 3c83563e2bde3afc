// The memory monitor F_MemoryTool ("I²C-Bus Speichermonitor"): an image of one I²C memory
// device (MemData with a state byte per data byte in MemState), shown as a 16 x 16 dump with
// offsets and an ASCII column, edited in place, read from and written to the device in chunks
// (with the progress dialog), and loaded from and saved to memory image files (*.BIN) through
// the transfer dialog F_BinZielDlg.
//
// One instance, created by the program entry and shown and hidden by the main window's tool
// commands. GUI thread only; device transfers block the GUI thread until the adapter answered.
// Each transfer holds one reference on the command link and gives it back on every path.
// The rules (texts, telegrams, replies, chunking) are in memorylogic.h; the layout is in
// memorytool_layout.cpp.
#pragma once

#include <QWidget>
#include <cstdint>
#include <string>
#include <vector>

#include "projectsettings.h"

class QAction;
class QLabel;
class QScrollBar;
class QStatusBar;
class QToolBar;
class TStringGridE;

class TF_MemoryTool : public QWidget, private SettingsFollower {
    Q_OBJECT
  public:
    explicit TF_MemoryTool(QWidget* owner = nullptr);
    ~TF_MemoryTool() override;

    // --- Components ---
    QToolBar* TB_MemoryTool;
    QAction *TB_Clear, *TB_ReadFile, *TB_WriteFile, *TB_ReadDevice, *TB_WriteDevice;
    QAction *TB_WrDevOnline, *TB_WriteAll;  // check buttons: down = checked
    QAction* TB_Help;
    TStringGridE* SG_MemDump;
    QScrollBar* SB_DeviceMon;
    QStatusBar* SB_SpTool;
    QLabel* SB_SpToolPanels[4];

    // --- Image (shared with the device and file commands and the transfer dialog) ---
    std::vector<std::uint8_t> MemData;   // length = capacity (MemBytes at the last show)
    std::vector<std::uint8_t> MemState;  // one state byte per data byte (memorylogic.h)
    int MemTopOffset = 0;                // offset of row 1, column 1; a multiple of 16
    std::string MemNumberFormat;         // "x" hexadecimal, "u" decimal
    std::string MemInputPrefix;          // "0x" hexadecimal, "" decimal
    std::string MemLastDir;              // folder of the file dialogs
    std::string MemFileName;             // file offered by the save dialog

    int capacity() const { return static_cast<int>(MemData.size()); }
    // The bytes the device and file commands move: MemBytes, never beyond the buffers.
    int deviceBytes() const;
    QString panelText(int i) const;
    // Where this window's messages go: left + 150, top + 150.
    int boxX() const;
    int boxY() const;

    // --- Event handlers ---
    void FormCreate();
    void FormShow();
    void FormHide();
    void FormClose();
    void SG_MemDumpSelectCell(int ACol, int ARow, bool& CanSelect);
    void SG_MemDumpSetEditText(int ACol, int ARow, const QString& Value);
    void SG_MemDumpKeyPress(char& Key);
    void SG_MemDumpExit();
    void SB_DeviceMonChange();
    void TB_ClearClick();
    void TB_ReadDeviceClick();
    void TB_WriteDeviceClick();
    void TB_ReadFileClick();
    void TB_WriteFileClick();

    // --- Methods ---
    void ShowMemoryPage();
    void CommitMemoryCell();
    void ReadMemoryRange(int from, int to);
    void WriteMemoryRange(int from, int to);

  protected:
    void showEvent(QShowEvent* e) override;
    void hideEvent(QHideEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

  private:
    void buildLayout();
    bool hexShown() const { return MemNumberFormat == "x"; }
    // The image offset of grid cell (col, row) at the current top.
    int cellOffset(int col, int row) const { return MemTopOffset + (row - 1) * 16 + (col - 1); }
    void deviceMessage(const char* text);
    // The device the image belongs to: address, sub-address width and type.
    struct Device {
        std::int32_t addr = 0;
        bool twoSubBytes = false;
        std::int32_t type = 0;
        bool operator==(const Device& o) const {
            return addr == o.addr && twoSubBytes == o.twoSubBytes && type == o.type;
        }
    };
    static Device settingsDevice();
    // CommitMemoryCell for the given device.
    void commitCell(const Device& device);
    // A cell being typed in (its editor open) is committed as leaving it would, and its
    // editing ends; for the device it was typed for.
    void takeTypedCell(const Device& device);
    void takeTypedCell() { takeTypedCell(settingsDevice()); }
    // The settings as the monitor shows them: number base, header, status panels, scroll bar
    // for the capacity, the page at the current top (kept as far as the capacity allows).
    void showSettings();
    // After a change of the settings: shows what changed, keeping the image and its marks.
    void followSettings();
    // Before a change of the settings (the dialog, a project loaded) the cell being typed in is
    // committed for the device shown; after it the monitor follows.
    void settingsLeaving() override;
    void settingsEntered() override;
    // A current cell past the capacity (the window shown smaller, the last page scrolled to)
    // moves to the last byte, so that the keyboard always edits a byte that exists.
    void keepCurrentCellInside();
    // Back to the first page (the scroll bar's change handler redraws) and online mode off.
    void firstPageOnlineOff();
    bool shown_ = false;
    Device device_;  // the device of the settings that the window shows

    class Transfer;
    int transfers_ = 0;                  // device transfers running (their dialog lets events in)
    bool releaseAfterTransfer_ = false;  // closed meanwhile: the image goes when they end
    unsigned image_ = 0;                 // counts every renewal or release of the image
};

extern TF_MemoryTool* F_MemoryTool;
