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
// Units: einstellungen.cpp (behaviour), einstellungen_layout.cpp (the pages), with the
// working copies' table in workingsettings and the probe rules in proberules.
//
// Created once at program start, after the main window. GUI thread only.
#pragma once

#include <QDialog>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "projectsettings.h"
#include "workingsettings.h"

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
    QTabWidget* PC_Einstellungen = nullptr;
    QWidget *TS_Geraet = nullptr, *TS_Probes = nullptr, *TS_Analyzer = nullptr, *TS_Monitor = nullptr,
            *TS_Master = nullptr;
    QPushButton *BB_Ok = nullptr, *BB_Cancel = nullptr, *BB_help = nullptr;

    // --- "Gerät / System" ---
    QFrame* P_Device = nullptr;
    QLabel *L_VPort = nullptr, *L_VBaud = nullptr, *L_VFirmware = nullptr, *L_VSernum = nullptr,
           *L_VOptionen = nullptr;
    QPushButton* BB_Connection = nullptr;
    QLineEdit* LE_ProjektDir = nullptr;
    QPushButton* BB_SetProjDir = nullptr;
    QCheckBox* CB_PrjAutoSave = nullptr;

    // --- "Probes" ---
    QGroupBox* GBLogikpegel = nullptr;
    QRadioButton *RB5V = nullptr, *RB3V3 = nullptr, *RB2V5 = nullptr, *RB1V8 = nullptr;
    QGroupBox* RG_IICMaster = nullptr;
    QRadioButton *RB_MGruenGelb = nullptr, *RB_MasterAus = nullptr, *RB_MBlauWeiss = nullptr;
    QCheckBox* ChB_PosInputLev = nullptr;
    QComboBox *CB_BelegungBlau = nullptr, *CB_BelegungWeiss = nullptr, *CB_BelegungRot = nullptr;

    // --- "I²C-Analyzer" ---
    QGroupBox* GBmaxI2CTakt = nullptr;
    QRadioButton *RBSysClk = nullptr, *RBSysClk2 = nullptr, *RBSysClk4 = nullptr, *RBSysClk8 = nullptr;
    QRadioButton *RB_keinTrigger = nullptr, *RB_nachTrigger = nullptr, *RB_solangeTrigger = nullptr;
    QCheckBox *CB_DelayFilter = nullptr, *CB_StartFilter = nullptr, *CB_StopFilter = nullptr;
    QLineEdit* LE_FilterByte = nullptr;
    vcl::RadioGroup* RG_FiNegation = nullptr;
    vcl::RadioGroup* RG_FiExtTrig = nullptr;
    QCheckBox* CB_AnlDatFilter = nullptr;

    // --- "I²C-Monitor" ---
    QGroupBox* GBDarstellung = nullptr;
    QRadioButton *RBAttribOnline = nullptr, *RBAttribOffline = nullptr, *RBkeineAttribute = nullptr;
    QGroupBox* GB_PrtFile = nullptr;
    QCheckBox* CB_PrtkAutoSave = nullptr;
    QGroupBox* GBFarbAttribute = nullptr;
    QComboBox* CBTextfarbe = nullptr;  // item data: the colour as COLORREF
    QLabel* LDefaultColor = nullptr;
    QCheckBox *CBStartStop = nullptr, *CBDeviceadresse = nullptr, *CBSubadresse = nullptr,
              *CBWriteData = nullptr, *CBReadData = nullptr;
    QGroupBox* GBSchriftAttribute = nullptr;
    QComboBox* CBTextStyle = nullptr;
    QLabel* LDefaultStyle = nullptr;
    QCheckBox *CBNak = nullptr, *CBProtokollfehler = nullptr, *CBExtPort = nullptr;

    // --- "Parvelo" ---
    QGroupBox* GB_MasterClock = nullptr;
    QComboBox* CB_MasterClock = nullptr;
    QGroupBox* GB_Speichertool = nullptr;
    QLineEdit* LE_DevAdr = nullptr;
    QComboBox* CB_MemBytes = nullptr;
    QCheckBox* CBt_2Subbytes = nullptr;
    QRadioButton *RB_EEProm = nullptr, *RB_Ram = nullptr, *RB_Register = nullptr;
    QGroupBox* GB_PrgPage = nullptr;
    QRadioButton *RB_1Byte = nullptr, *RB_2Byte = nullptr, *RB_4Byte = nullptr, *RB_8Byte = nullptr,
                 *RB_16Byte = nullptr;
    QRadioButton *RB_HexMode = nullptr, *RB_DezMode = nullptr;

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
    void takeShownValues();

    // The colour and style roles of the page "I²C-Monitor", one entry per control: the
    // set-up, the preview, the right-press assignment and the activation walk it.
    struct AttributeRole {
        enum Kind { Background, TextColor, Style } kind;
        QWidget* control;
        std::int32_t TWorkingSettings::*workingColor;  // colour roles
        COLORREF TProjectSettings::*color;
        std::int8_t TWorkingSettings::*workingStyle;  // style roles
        std::int8_t TProjectSettings::*style;
        std::int32_t enableBit;  // bit of AttributeEnable; 0: none (else the control is a check box)
    };
    std::vector<AttributeRole> roles_;
    const AttributeRole* roleOf(const QWidget* control) const;

    std::string ownProjectDir_;
    int masterClockIndex_ = -1;
    bool activated_ = false;
    bool portChosen_ = false;  // the port dialog ran since the dialog was shown
    // From activation until the dialog is hidden: the windows that show the record take what
    // is typed first and show the settings as the dialog leaves them (also after Cancel, which
    // keeps the write-page correction of the activation).
    std::optional<SettingsChange> change_;
};

extern TF_Einstellungen* F_Einstellungen;
