// The settings dialog's behaviour: activation, OK and Cancel, and the handlers of its pages.
// The pages' layout is in einstellungen_layout.cpp.
#include "einstellungen.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>

#include <algorithm>
#include <exception>
#include <filesystem>
#include <stdexcept>

#include "checkbinding.h"
#include "deviceinfo.h"
#include "dialogkeys.h"
#include "dialogseam.h"
#include "iictexte.h"
#include "kevoapplication.h"
#include "masterclock.h"
#include "numberedit.h"
#include "numbertext.h"
#include "proberules.h"
#include "projectsettings.h"
#include "traceview.h"
#include "utf8text.h"
#include "vclcontrols.h"
#include "vl-com.h"

TF_Einstellungen* F_Einstellungen = nullptr;

const std::int8_t StyleByIndex[5] = {-1, 0, 1, 2, 3};
const std::int32_t MemSizesOneSubByte[8] = {16, 32, 64, 128, 256, 512, 1024, 2048};
const std::int32_t MemSizesTwoSubBytes[8] = {4096, 8192, 16384, 24576, 32768, 49152, 57344, 65536};

namespace {

constexpr int kResultChanged = 1;
constexpr int kResultCancel = 2;
constexpr int kResultUnchanged = 6;

void setStyleFont(QWidget* w, std::int8_t style) {
    QFont f = w->font();
    f.setBold(style == 0);
    f.setItalic(style == 1);
    f.setUnderline(style == 2);
    f.setStrikeOut(style == 3);
    w->setFont(f);
}

// Checks the button of value among choices, or fallback for any other value; false for the
// fallback.
bool checkChoice(std::int32_t value, std::initializer_list<std::pair<std::int32_t, QRadioButton*>> choices,
                 QRadioButton* fallback) {
    for (auto [v, button] : choices)
        if (v == value) {
            vcl::setChecked(button, true);
            return true;
        }
    vcl::setChecked(fallback, true);
    return false;
}

void setBit(std::int32_t& word, std::int32_t bit, bool on) {
    if (on)
        word |= bit;
    else
        word &= ~bit;
}

}  // namespace

TF_Einstellungen::~TF_Einstellungen() {
    if (F_Einstellungen == this) F_Einstellungen = nullptr;
}

// ---------------------------------------------------------------- showing and results

int TF_Einstellungen::ShowModal() {
    return exec();
}

void TF_Einstellungen::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    // Once per showing; windows that the dialog opens itself do not bring it here again.
    if (!activated_) {
        activated_ = true;
        setResult(0);
        change_.emplace();
        FormActivate();
    }
}

void TF_Einstellungen::hideEvent(QHideEvent* e) {
    QDialog::hideEvent(e);
    if (e->spontaneous()) return;
    activated_ = false;
    change_.reset();
}

void TF_Einstellungen::keyPressEvent(QKeyEvent* e) {
    // The form has no cancel and no default button.
    if (!handleNoDefaultButtonKeys(this, e)) QDialog::keyPressEvent(e);
}

// The close box.
void TF_Einstellungen::reject() {
    BB_CancelClick();
}

void TF_Einstellungen::BB_CancelClick() {
    // The port dialog left its choice in the link library for the next open; without OK the
    // link goes back to the stored port and baud rate.
    if (portChosen_) {
        portChosen_ = false;
        const std::string& name = ProjectSettings.PortName;
        BSTR port = SysAllocStringByteLen(name.data(), static_cast<std::uint32_t>(name.size()));
        std::int32_t baud = ProjectSettings.BaudRate;
        VlCOMPortSel(&port, &baud);
        SysFreeString(port);
    }
    done(kResultCancel);
}

void TF_Einstellungen::FormActivate() {
    TWorkingSettings& W = WorkingSettings;
    TProjectSettings& S = ProjectSettings;
    std::string& projectDir = ProjectDirRef ? *ProjectDirRef : ownProjectDir_;
    const EditedSettings edited{&S, &projectDir};
    // The controls are loaded without their handlers: every working copy is taken from its
    // setting below, and what a handler would enable or fill is set here directly, so the
    // controls show exactly the copies that OK compares.
    const vcl::QuietLoad quiet(this);

    // 1. Link and path values.
    takeWorkingCopies(CopyStep::Link, W, edited);
    LE_ProjektDir->setText(q(projectDir));
    vcl::setChecked(CB_PrjAutoSave, S.AutoSaveProject != 0);

    // 2. Logic level.
    checkChoice(S.LogicLevel, {{2, RB3V3}, {3, RB2V5}, {4, RB1V8}}, RB5V);

    // 3. Bus master probes.
    checkChoice(S.ProbeMaster, {{1, RB_MGruenGelb}, {2, RB_MBlauWeiss}}, RB_MasterAus);
    const bool universalFree = S.ProbeMaster != 2;
    CB_BelegungBlau->setEnabled(universalFree);
    CB_BelegungWeiss->setEnabled(universalFree);
    ChB_PosInputLev->setEnabled(universalFree);
    vcl::setChecked(ChB_PosInputLev, S.PosInputLogic != 0);

    // 4. Probe lists.
    CB_BelegungBlau->clear();
    for (int i = 0; i < 3 && i < BlueProbeCount; ++i) CB_BelegungBlau->addItem(q(BlueProbeFunctions[i]));
    fillWhiteList(true);
    CB_BelegungRot->clear();
    for (int i = 0; i < RedProbeCount; ++i) CB_BelegungRot->addItem(q(RedProbeFunctions[i]));
    const ProbeChoice probes{S.ProbeBlue, S.ProbeWhite, S.ProbeRed};
    Trigger1Present = trigger1Assigned(probes);
    if (!Trigger1Present) fillWhiteList(false);
    if (blueEntry2IsTrigger1(probes)) CB_BelegungBlau->setItemText(2, q(BlueProbeFunctions[3]));
    vcl::setItemIndex(CB_BelegungBlau, S.ProbeBlue);
    vcl::setItemIndex(CB_BelegungWeiss, S.ProbeWhite);
    vcl::setItemIndex(CB_BelegungRot, S.ProbeRed);

    // 5.
    takeWorkingCopies(CopyStep::Probes, W, edited);

    // 6. Sampling clock. The captions need a clock mode the name table has a row for.
    const std::int32_t pll = DeviceInfo.PllMode;
    if (pll >= 0 && pll * 4 + 3 < ClockRangeCount) {
        QRadioButton* clk[] = {RBSysClk, RBSysClk2, RBSysClk4, RBSysClk8};
        for (int i = 0; i < 4; ++i) clk[i]->setText(q(ClockRangeNames[pll * 4 + i]));
    }
    checkChoice(S.ClockDivider, {{1, RBSysClk2}, {2, RBSysClk4}, {3, RBSysClk8}}, RBSysClk);

    // 7. Trigger mode.
    checkChoice(S.TriggerMode, {{2, RB_nachTrigger}, {3, RB_solangeTrigger}}, RB_keinTrigger);

    // 8. Signal filters.
    vcl::setChecked(CB_DelayFilter, (S.BusFilter & 0x01) != 0);
    vcl::setChecked(CB_StartFilter, (S.BusFilter & 0x02) != 0);
    vcl::setChecked(CB_StopFilter, (S.BusFilter & 0x04) != 0);

    // 9. Filter byte.
    NumberEdit* filter = NumberEdit::of(LE_FilterByte);
    filter->assign(filter->canonical(S.DataFilter));

    // 10. Data filter switches.
    const std::int32_t sw = S.DataFilterSwitches;
    RG_FiExtTrig->setItemIndex((sw & 0x02) ? 1 : (sw & 0x04) ? 2 : 0);
    RG_FiNegation->setItemIndex((sw & 0x08) ? 1 : 0);
    vcl::setChecked(CB_AnlDatFilter, (sw & 0x10) != 0);
    RG_FiExtTrig->setEnabled(!CB_AnlDatFilter->isChecked());

    // 11.
    takeWorkingCopies(CopyStep::Analyzer, W, edited);

    // 12. Page "I²C-Monitor".
    vcl::setChecked(CB_PrtkAutoSave, S.LogAutoSave != 0);
    checkChoice(S.AttributeMode, {{1, RBAttribOffline}, {2, RBkeineAttribute}}, RBAttribOnline);
    for (const AttributeRole& role : roles_)
        if (role.enableBit)
            vcl::setChecked(static_cast<QCheckBox*>(role.control), (S.AttributeEnable & role.enableBit) != 0);
    showColorPreview();
    showStylePreview();
    CBTextStyle->clear();
    for (int i = 0; i < FontStyleCount; ++i) CBTextStyle->addItem(q(FontStyleNames[i]));
    vcl::setItemIndex(CBTextStyle, 0);
    takeWorkingCopies(CopyStep::Monitor, W, edited);

    // 13. Master clock list.
    std::vector<std::string> items;
    masterClockIndex_ = MasterClockList(items, DeviceInfo.SystemClock, S.MasterClockHz);
    CB_MasterClock->clear();
    for (const std::string& it : items) CB_MasterClock->addItem(q(it));

    // 14. Memory-monitor group.
    NumberEdit* devAddr = NumberEdit::of(LE_DevAdr);
    devAddr->assign(devAddr->canonical(S.MemDevAddr));
    vcl::setChecked(CBt_2Subbytes, S.MemTwoSubBytes != 0);
    fillMemSizes(S.MemTwoSubBytes != 0);
    NumberEdit::of(CB_MemBytes->lineEdit())->assign(QString::number(S.MemBytes));
    checkChoice(S.MemType, {{1, RB_Ram}, {2, RB_Register}}, RB_EEProm);
    if (!checkChoice(S.MemWritePage,
                     {{1, RB_1Byte}, {2, RB_2Byte}, {4, RB_4Byte}, {8, RB_8Byte}, {16, RB_16Byte}}, RB_1Byte))
        S.MemWritePage = 1;
    setPrgPageEnabled(S.MemType == 0);
    vcl::setChecked(S.MemHex != 0 ? RB_HexMode : RB_DezMode, true);

    // 15.
    vcl::setItemIndex(CB_MasterClock, masterClockIndex_ < CB_MasterClock->count() ? masterClockIndex_ : -1);

    // 16.
    takeWorkingCopies(CopyStep::Master, W, edited);

    // 17.
    ShowDeviceInfo();
}

void TF_Einstellungen::BB_OkClick() {
    // A click takes the focus from the field being edited, so its leave rule has run; a
    // press through the accessibility layer takes none, so the field is left here.
    NumberEdit::commitPending(this);
    takeShownValues();
    portChosen_ = false;
    std::string& projectDir = ProjectDirRef ? *ProjectDirRef : ownProjectDir_;
    const bool changed = writeBackWorkingCopies(WorkingSettings, {&ProjectSettings, &projectDir});
    ColorAssignArmed = 0;
    StyleAssignArmed = 0;
    done(changed ? kResultChanged : kResultUnchanged);
}

// Each field and list whose shown value differs from its working copy goes through its own
// leave rule, focused or not: a screen reader sets a list without moving the focus into it.
void TF_Einstellungen::takeShownValues() {
    const TWorkingSettings& W = WorkingSettings;
    auto take = [](QLineEdit* e, std::int32_t copy) {
        NumberEdit* n = NumberEdit::of(e);
        if (n->value() != copy) n->leave();
    };
    take(LE_FilterByte, W.DataFilter);
    take(LE_DevAdr, W.MemDevAddr);
    take(CB_MemBytes->lineEdit(), W.MemBytes);
    // The clock list shows the copy as the item the copy selects.
    std::vector<std::string> items;
    const int shownForCopy = MasterClockList(items, DeviceInfo.SystemClock, W.MasterClockHz);
    if (CB_MasterClock->currentIndex() >= 0 && CB_MasterClock->currentIndex() != shownForCopy)
        CB_MasterClockExit();
}

// ---------------------------------------------------------------- "Gerät / System"

void TF_Einstellungen::ShowDeviceInfo() {
    TWorkingSettings& W = WorkingSettings;
    if (W.PortName.empty()) {
        W.PortName = ProjectSettings.PortName;
        W.BaudRate = ProjectSettings.BaudRate;
    }
    L_VPort->setText(q(W.PortName));
    L_VBaud->setText(W.BaudRate == 921600 ? QStringLiteral("USB Verbindung") : QString::number(W.BaudRate));
    L_VFirmware->setText(q(DeviceInfo.FirmwareText));
    L_VSernum->setText(q(DeviceInfo.SerialNumber));
    L_VOptionen->setText(q(DeviceInfo.OptionsText));
}

void TF_Einstellungen::TS_GeraetShow() {
    ShowDeviceInfo();
}

void TF_Einstellungen::BB_ConnectionClick() {
    TWorkingSettings& W = WorkingSettings;
    BSTR port = SysAllocStringByteLen(W.PortName.data(), static_cast<std::uint32_t>(W.PortName.size()));
    std::int32_t baud = W.BaudRate;
    VlCOMPortSetup(&port, &baud);
    W.PortName = port ? std::string(port, SysStringByteLen(port)) : std::string();
    SysFreeString(port);
    W.BaudRate = baud;
    portChosen_ = true;
    ShowDeviceInfo();
}

// The chooser: a directory that does not exist yet is created once the user confirms it;
// one that cannot be created is the chooser's error.
void TF_Einstellungen::chooseProjectDir() {
    dialogs::Request r;
    r.kind = dialogs::Kind::SelectDir;
    r.value = WorkingSettings.ProjectDir;
    const dialogs::Response a = dialogs::ask(r);
    if (a.result != dialogs::mrOk || a.value.empty()) return;
    std::string dir = a.value;
    std::error_code ec;
    if (!std::filesystem::is_directory(dir, ec)) {
        if (dialogs::messageDlgPos(
                "Das Verzeichnis \"" + dir + "\" existiert nicht.\nSoll es angelegt werden?",
                dialogs::MsgType::Confirmation, dialogs::mbYes | dialogs::mbNo) != dialogs::mrYes)
            return;
        std::filesystem::create_directories(dir, ec);
        if (!std::filesystem::is_directory(dir, ec))
            throw std::runtime_error("Das Verzeichnis \"" + dir + "\" kann nicht angelegt werden.");
    }
    if (dir.back() != '/') dir += '/';
    WorkingSettings.ProjectDir = dir;
    LE_ProjektDir->setText(q(dir));
}

void TF_Einstellungen::BB_SetProjDirClick() {
    try {
        chooseProjectDir();
    } catch (const std::exception&) {
        // Once more from the program's own data folder; that one is shown at once, so the
        // field never hides what OK would store.
        WorkingSettings.ProjectDir = (ProgramDirRef ? *ProgramDirRef : std::string()) + "Data/";
        LE_ProjektDir->setText(q(WorkingSettings.ProjectDir));
        guarded([this] { chooseProjectDir(); });
    }
}

void TF_Einstellungen::CB_PrjAutoSaveClick() {
    WorkingSettings.AutoSaveProject = CB_PrjAutoSave->isChecked() ? 1 : 0;
}

// ---------------------------------------------------------------- "Probes"

void TF_Einstellungen::RBLevelClick(QRadioButton* button, std::int32_t level) {
    if (button->isChecked()) WorkingSettings.LogicLevel = level;
}

void TF_Einstellungen::RB_MGruenGelbClick() {
    if (!RB_MGruenGelb->isChecked()) return;
    WorkingSettings.ProbeMaster = 1;
    CB_BelegungBlau->setEnabled(true);
    CB_BelegungWeiss->setEnabled(true);
    ChB_PosInputLev->setEnabled(true);
}

void TF_Einstellungen::RB_MasterAusClick() {
    if (!RB_MasterAus->isChecked()) return;
    WorkingSettings.ProbeMaster = 0;
    CB_BelegungBlau->setEnabled(true);
    CB_BelegungWeiss->setEnabled(true);
    ChB_PosInputLev->setEnabled(true);
}

void TF_Einstellungen::RB_MBlauWeissClick() {
    if (!RB_MBlauWeiss->isChecked()) return;
    WorkingSettings.ProbeMaster = 2;
    CB_BelegungBlau->setEnabled(false);
    CB_BelegungWeiss->setEnabled(false);
    ChB_PosInputLev->setEnabled(false);
}

void TF_Einstellungen::ChB_PosInputLevClick() {
    WorkingSettings.PosInputLogic = ChB_PosInputLev->isChecked() ? 1 : 0;
}

void TF_Einstellungen::fillWhiteList(bool all) {
    const int n = all ? WhiteProbeCount : 2;
    if (all) {
        CB_BelegungWeiss->clear();
        for (int i = 0; i < n; ++i) CB_BelegungWeiss->addItem(q(WhiteProbeFunctions[i]));
    } else {
        while (CB_BelegungWeiss->count() > n) CB_BelegungWeiss->removeItem(CB_BelegungWeiss->count() - 1);
    }
}

// The Trigger-2 entries of the white list are there only while a Trigger 1 is assigned.
void TF_Einstellungen::adjustWhiteList(bool trigger1) {
    if (!trigger1 && CB_BelegungWeiss->count() == WhiteProbeCount) {
        fillWhiteList(false);
    } else if (trigger1 && CB_BelegungWeiss->count() < 3) {
        fillWhiteList(true);
        vcl::setItemIndex(CB_BelegungWeiss, WorkingSettings.ProbeWhite);
    }
}

void TF_Einstellungen::CB_BelegungBlauChange() {
    TWorkingSettings& W = WorkingSettings;
    const ProbeOutcome o =
        blueProbeChosen(CB_BelegungBlau->currentIndex(), {W.ProbeBlue, W.ProbeWhite, W.ProbeRed});
    if (!o.accepted) {
        vcl::setItemIndex(CB_BelegungBlau, W.ProbeBlue);
        return;
    }
    Trigger1Present = o.trigger1;
    adjustWhiteList(o.trigger1);
    W.ProbeBlue = o.probes.blue;
}

void TF_Einstellungen::CB_BelegungWeissChange() {
    WorkingSettings.ProbeWhite = CB_BelegungWeiss->currentIndex();
}

void TF_Einstellungen::CB_BelegungRotChange() {
    TWorkingSettings& W = WorkingSettings;
    const ProbeOutcome o =
        redProbeChosen(CB_BelegungRot->currentIndex(), {W.ProbeBlue, W.ProbeWhite, W.ProbeRed});
    if (!o.accepted) {
        vcl::setItemIndex(CB_BelegungRot, W.ProbeRed);
        return;
    }
    Trigger1Present = o.trigger1;
    if (CB_BelegungBlau->count() > 2)
        CB_BelegungBlau->setItemText(
            2, q(blueEntry2IsTrigger1(o.probes) ? BlueProbeFunctions[3] : BlueProbeFunctions[2]));
    vcl::setItemIndex(CB_BelegungBlau, W.ProbeBlue);
    adjustWhiteList(o.trigger1);
    W.ProbeRed = o.probes.red;
}

// ---------------------------------------------------------------- "I²C-Analyzer"

void TF_Einstellungen::RBSysClkClick(QRadioButton* button, std::int32_t divider) {
    if (button->isChecked()) WorkingSettings.ClockDivider = divider;
}

void TF_Einstellungen::RBTriggerClick(QRadioButton* button, std::int32_t mode) {
    if (button->isChecked()) WorkingSettings.TriggerMode = mode;
}

void TF_Einstellungen::CB_FilterClick(QCheckBox* box, std::int32_t bit) {
    setBit(WorkingSettings.BusFilter, bit, box->isChecked());
}

QString TF_Einstellungen::LE_FilterByteExit(std::int32_t value) {
    WorkingSettings.DataFilter = value;
    return NumberEdit::of(LE_FilterByte)->canonical(value);
}

void TF_Einstellungen::RG_FiNegationClick() {
    setBit(WorkingSettings.DataFilterSwitches, 0x08, RG_FiNegation->itemIndex() == 1);
}

void TF_Einstellungen::RG_FiExtTrigClick() {
    std::int32_t& sw = WorkingSettings.DataFilterSwitches;
    sw &= ~0x07;
    switch (RG_FiExtTrig->itemIndex()) {
        case 1:
            sw |= 0x02;
            break;
        case 2:
            sw |= 0x04;
            break;
        default:
            sw |= 0x01;
            break;
    }
}

void TF_Einstellungen::CB_AnlDatFilterClick() {
    if (CB_AnlDatFilter->isChecked()) {
        RG_FiExtTrig->setItemIndex(0);
        WorkingSettings.DataFilterSwitches |= 0x10;
        RG_FiExtTrig->setEnabled(false);
    } else {
        WorkingSettings.DataFilterSwitches &= ~0x10;
        RG_FiExtTrig->setEnabled(true);
    }
}

void TF_Einstellungen::CB_MasterClockExit() {
    guarded([this] { WorkingSettings.MasterClockHz = MasterClockItemHz(s8(CB_MasterClock->currentText())); });
}

// ---------------------------------------------------------------- "I²C-Monitor"

void TF_Einstellungen::RBAttribClick(QRadioButton* button, std::int32_t mode) {
    if (button->isChecked()) WorkingSettings.AttributeMode = mode;
}

void TF_Einstellungen::CB_PrtkAutoSaveClick() {
    WorkingSettings.LogAutoSave = CB_PrtkAutoSave->isChecked() ? 1 : 0;
}

void TF_Einstellungen::CBAttributeClick(QCheckBox* box, std::int32_t bit) {
    setBit(WorkingSettings.AttributeEnable, bit, box->isChecked());
}

void TF_Einstellungen::CBTextfarbeChange() {
    ColorAssignArmed = 1;
}
void TF_Einstellungen::CBTextfarbeExit() {
    ColorAssignArmed = 0;
}
void TF_Einstellungen::CBTextStyleChange() {
    StyleAssignArmed = 1;
}
void TF_Einstellungen::CBTextStyleExit() {
    StyleAssignArmed = 0;
}

const TF_Einstellungen::AttributeRole* TF_Einstellungen::roleOf(const QWidget* control) const {
    for (const AttributeRole& role : roles_)
        if (role.control == control) return &role;
    return nullptr;
}

void TF_Einstellungen::ColorRightPress(QWidget* control) {
    const AttributeRole* role = roleOf(control);
    if (!ColorAssignArmed || !role || role->kind == AttributeRole::Style || CBTextfarbe->currentIndex() < 0)
        return;
    const COLORREF c = CBTextfarbe->currentData().toUInt();
    WorkingSettings.*role->workingColor = static_cast<std::int32_t>(c);
    if (role->kind == AttributeRole::Background) {
        for (const AttributeRole& r : roles_)
            if (r.kind != AttributeRole::Style) vcl::setColor(r.control, colorFromColorRef(c));
    } else {
        vcl::setFontColor(control, colorFromColorRef(c));
    }
}

void TF_Einstellungen::StyleRightPress(QWidget* control) {
    const AttributeRole* role = roleOf(control);
    const int i = CBTextStyle->currentIndex();
    if (!StyleAssignArmed || !role || role->kind != AttributeRole::Style || i < 0 || i >= 5) return;
    WorkingSettings.*role->workingStyle = StyleByIndex[i];
    setStyleFont(control, StyleByIndex[i]);
}

// The roles' colours as stored: the background behind every colour role, each text colour
// on its control.
void TF_Einstellungen::showColorPreview() {
    const TProjectSettings& S = ProjectSettings;
    for (const AttributeRole& role : roles_) {
        if (role.kind == AttributeRole::Style) continue;
        vcl::setColor(role.control, colorFromColorRef(S.ColorBackground));
        if (role.kind == AttributeRole::TextColor)
            vcl::setFontColor(role.control, colorFromColorRef(S.*role.color));
    }
}

void TF_Einstellungen::showStylePreview() {
    for (const AttributeRole& role : roles_)
        if (role.kind == AttributeRole::Style) setStyleFont(role.control, ProjectSettings.*role.style);
}

// ---------------------------------------------------------------- "Speichermonitor"

QString TF_Einstellungen::LE_DevAdrExit(std::int32_t value) {
    WorkingSettings.MemDevAddr = value;
    return NumberEdit::of(LE_DevAdr)->canonical(value);
}

// An empty or zero size becomes 256; any other text stays as typed.
QString TF_Einstellungen::CB_MemBytesExit(std::int32_t value) {
    if (value == 0) {
        value = 256;
        WorkingSettings.MemBytes = value;
        return QStringLiteral("256");
    }
    WorkingSettings.MemBytes = value;
    return CB_MemBytes->currentText();
}

void TF_Einstellungen::fillMemSizes(bool twoSubBytes) {
    // The shown size stays as it is whatever the list offers.
    const QString shown = CB_MemBytes->currentText();
    CB_MemBytes->clear();
    for (std::int32_t size : twoSubBytes ? MemSizesTwoSubBytes : MemSizesOneSubByte)
        CB_MemBytes->addItem(QString::number(size));
    CB_MemBytes->setCurrentIndex(-1);
    CB_MemBytes->setEditText(shown);
}

void TF_Einstellungen::CBt_2SubbytesClick() {
    const bool two = CBt_2Subbytes->isChecked();
    WorkingSettings.MemTwoSubBytes = two ? 1 : 0;
    fillMemSizes(two);
}

void TF_Einstellungen::setPrgPageEnabled(bool on) {
    GB_PrgPage->setEnabled(on);
    for (QRadioButton* b : {RB_1Byte, RB_2Byte, RB_4Byte, RB_8Byte, RB_16Byte}) b->setEnabled(on);
}

void TF_Einstellungen::RBMemTypeClick(QRadioButton* button, std::int32_t type) {
    if (!button->isChecked()) return;
    WorkingSettings.MemType = type;
    setPrgPageEnabled(type == 0);
}

void TF_Einstellungen::RBWritePageClick(QRadioButton* button, std::int32_t page) {
    if (button->isChecked()) WorkingSettings.MemWritePage = page;
}

void TF_Einstellungen::RBNumberModeClick(QRadioButton* button, std::int32_t hex) {
    if (button->isChecked()) WorkingSettings.MemHex = hex;
}
