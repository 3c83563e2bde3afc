// The settings dialog TF_Einstellungen (one instance, F_Einstellungen): edits the settings
// record, the link settings PortName and BaudRate and the project base directory.
//
// It never edits them in place: every showing loads working copies (WorkingSettings) and the
// controls from them (FormActivate); the handlers change only the working copies; OK writes
// back each working copy that differs from its setting. Showing it modally gives 1 (OK, something
// changed), 6 (OK, nothing changed) or 2 (Cancel or the close box; nothing written). Nothing is
// written to a file here. Two stored values change at activation whatever the user then does:
// a system clock of 0 in DeviceInfo becomes 24,000,000 and a memory write page other than
// 1, 2, 4, 8 or 16 becomes 1.
//
// Created once at program start, after the main window. GUI thread only.
#pragma once

#include <QDialog>

#include <cstdint>
#include <string>

class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;
namespace vcl {
class RadioGroup;
}

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

// The style values by the index of the style list's entry ("Standard", "Fett", ...).
extern const std::int8_t StyleByIndex[5];
// The memory sizes offered for one- and two-byte sub-addresses.
extern const std::int32_t MemSizesOneSubByte[8];
extern const std::int32_t MemSizesTwoSubBytes[8];

class TF_Einstellungen : public QDialog {
  public:
    explicit TF_Einstellungen(QWidget* owner = nullptr);
    ~TF_Einstellungen() override;

    // Shows the dialog modally: 1, 6 or 2 (see above).
    int ShowModal();

    // The main window's project base directory (edited; trailing "/") and program directory
    // (read for the chooser's fallback), set once by the main window. Unset, the dialog
    // keeps a project directory of its own and takes the program directory as empty.
    std::string* ProjectDirRef = nullptr;
    const std::string* ProgramDirRef = nullptr;

    TWorkingSettings WorkingSettings;
    std::int32_t Trigger1Present = 0;
    std::int32_t ColorAssignArmed = 0;
    std::int32_t StyleAssignArmed = 0;

    // --- Frame ---
    QTabWidget* PC_Einstellungen;
    QWidget *TS_Geraet, *TS_Probes, *TS_Analyzer, *TS_Monitor, *TS_Master;
    QPushButton *BB_Ok, *BB_Cancel, *BB_help;

    // --- "Gerät / System" ---
    QFrame* P_Device;
    QLabel *L_VPort, *L_VBaud, *L_VFirmware, *L_VSernum, *L_VOptionen;
    QPushButton* BB_Connection;
    QLineEdit* LE_ProjektDir;
    QPushButton* BB_SetProjDir;
    QCheckBox* CB_PrjAutoSave;

    // --- "Probes" ---
    QGroupBox* GBLogikpegel;
    QRadioButton *RB5V, *RB3V3, *RB2V5, *RB1V8;
    QGroupBox* RG_IICMaster;
    QRadioButton *RB_MGruenGelb, *RB_MasterAus, *RB_MBlauWeiss;
    QCheckBox* ChB_PosInputLev;
    QComboBox *CB_BelegungBlau, *CB_BelegungWeiss, *CB_BelegungRot;

    // --- "I²C-Analyzer" ---
    QGroupBox* GBmaxI2CTakt;
    QRadioButton *RBSysClk, *RBSysClk2, *RBSysClk4, *RBSysClk8;
    QRadioButton *RB_keinTrigger, *RB_nachTrigger, *RB_solangeTrigger;
    QCheckBox *CB_DelayFilter, *CB_StartFilter, *CB_StopFilter;
    QLineEdit* LE_FilterByte;
    vcl::RadioGroup* RG_FiNegation;
    vcl::RadioGroup* RG_FiExtTrig;
    QCheckBox* CB_AnlDatFilter;

    // --- "I²C-Monitor" ---
    QGroupBox* GBDarstellung;
    QRadioButton *RBAttribOnline, *RBAttribOffline, *RBkeineAttribute;
    QGroupBox* GB_PrtFile;
    QCheckBox* CB_PrtkAutoSave;
    QGroupBox* GBFarbAttribute;
    QComboBox* CBTextfarbe;  // item data: the colour as COLORREF
    QLabel* LDefaultColor;
    QCheckBox *CBStartStop, *CBDeviceadresse, *CBSubadresse, *CBWriteData, *CBReadData;
    QGroupBox* GBSchriftAttribute;
    QComboBox* CBTextStyle;
    QLabel* LDefaultStyle;
    QCheckBox *CBNak, *CBProtokollfehler, *CBExtPort;

    // --- "Parvelo" ---
    QGroupBox* GB_MasterClock;
    QComboBox* CB_MasterClock;
    QGroupBox* GB_Speichertool;
    QLineEdit* LE_DevAdr;
    QComboBox* CB_MemBytes;
    QCheckBox* CBt_2Subbytes;
    QRadioButton *RB_EEProm, *RB_Ram, *RB_Register;
    QGroupBox* GB_PrgPage;
    QRadioButton *RB_1Byte, *RB_2Byte, *RB_4Byte, *RB_8Byte, *RB_16Byte;
    QRadioButton *RB_HexMode, *RB_DezMode;

    // --- Handlers ---
    void FormActivate();
    void BB_OkClick();
    void BB_CancelClick();
    void ShowDeviceInfo();
    void TS_GeraetShow();
    void BB_ConnectionClick();
    void BB_SetProjDirClick();
    void CB_PrjAutoSaveClick();

    void RBLevelClick(QRadioButton* button, std::int32_t level);
    void RB_MGruenGelbClick();
    void RB_MasterAusClick();
    void RB_MBlauWeissClick();
    void ChB_PosInputLevClick();
    void CB_BelegungBlauChange();
    void CB_BelegungWeissChange();
    void CB_BelegungRotChange();

    void RBSysClkClick(QRadioButton* button, std::int32_t divider);
    void RBTriggerClick(QRadioButton* button, std::int32_t mode);
    void CB_FilterClick(QCheckBox* box, std::int32_t bit);
    // Leaving rules of the number fields: store the value, return the text to show.
    QString LE_FilterByteExit(std::int32_t value);
    void RG_FiNegationClick();
    void RG_FiExtTrigClick();
    void CB_AnlDatFilterClick();
    void CB_MasterClockExit();

    void RBAttribClick(QRadioButton* button, std::int32_t mode);
    void CB_PrtkAutoSaveClick();
    void CBAttributeClick(QCheckBox* box, std::int32_t bit);
    void CBTextfarbeChange();
    void CBTextfarbeExit();
    void CBTextStyleChange();
    void CBTextStyleExit();
    // A right-button press on a colour or style role: assigns while armed.
    void ColorRightPress(QWidget* role);
    void StyleRightPress(QWidget* role);

    QString LE_DevAdrExit(std::int32_t value);
    QString CB_MemBytesExit(std::int32_t value);
    void CBt_2SubbytesClick();
    void RBMemTypeClick(QRadioButton* button, std::int32_t type);
    void RBWritePageClick(QRadioButton* button, std::int32_t page);
    void RBNumberModeClick(QRadioButton* button, std::int32_t hex);

  protected:
    void showEvent(QShowEvent* e) override;
    void hideEvent(QHideEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void reject() override;

  private:
    void buildDevicePage();
    void buildProbesPage();
    void buildAnalyzerPage();
    void buildMonitorPage();
    void buildMasterPage();
    void fillWhiteList(bool all);
    void adjustWhiteList(bool trigger1);
    void fillMemSizes(bool twoSubBytes);
    void setPrgPageEnabled(bool on);
    void chooseProjectDir();
    void showColorPreview();
    void showStylePreview();
    std::int32_t* colorRole(QWidget* role);
    std::int8_t* styleRole(QWidget* role);

    std::string ownProjectDir_;
    int masterClockIndex_ = -1;
    bool activated_ = false;
};

extern TF_Einstellungen* F_Einstellungen;
