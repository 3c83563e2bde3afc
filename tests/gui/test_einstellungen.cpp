// Settings dialog: results and write-back, the probe rules and the analyzer page.
#include "test_einstellungen_fixture.h"

#include <QEventLoop>
#include <QTimer>

#include "checkbinding.h"
#include "iictexte.h"
#include "inputpaths.h"

using namespace dlgtest;
using namespace kevosupport;

namespace {
KEVO_TEST_APPLICATION(QApplication);
}

// ------------------------------------------------------------ results and write-back

TEST_F(SettingsDialogTest, OkWithoutEditGivesSixAndWritesNothing) {
    const std::string before = dump(ProjectSettings);
    open();
    EXPECT_EQ(pressOk(), 6);
    EXPECT_EQ(dump(ProjectSettings), before);
    EXPECT_EQ(projectDir, "/tmp/kevo-test/Data/");
}

TEST_F(SettingsDialogTest, ChangeChangedBackGivesSix) {
    open();
    click(dlg->RB2V5);
    EXPECT_EQ(dlg->WorkingSettings.LogicLevel, 3);
    click(dlg->RB5V);
    click(dlg->CB_PrtkAutoSave);
    click(dlg->CB_PrtkAutoSave);
    EXPECT_EQ(pressOk(), 6);
    EXPECT_EQ(ProjectSettings.LogicLevel, 1);
}

TEST_F(SettingsDialogTest, OkWritesEveryChangedCopyAndGivesOne) {
    open();
    click(dlg->RB1V8);
    click(dlg->RB_nachTrigger);
    click(dlg->CB_StopFilter);
    click(dlg->RB_Ram);
    click(dlg->RB_DezMode);
    click(dlg->CB_PrjAutoSave);  // built-in 1: now 0
    EXPECT_EQ(pressOk(), 1);
    EXPECT_EQ(ProjectSettings.LogicLevel, 4);
    EXPECT_EQ(ProjectSettings.TriggerMode, 2);
    EXPECT_EQ(ProjectSettings.BusFilter, 0x04);
    EXPECT_EQ(ProjectSettings.MemType, 1);
    EXPECT_EQ(ProjectSettings.MemHex, 0);
    EXPECT_EQ(ProjectSettings.AutoSaveProject, 0);
}

TEST_F(SettingsDialogTest, CancelAndCloseBoxWriteNothingAndNextShowingReloads) {
    const std::string before = dump(ProjectSettings);
    open();
    click(dlg->RB3V3);
    click(dlg->RB_MGruenGelb);
    EXPECT_EQ(pressCancel(), 2);
    EXPECT_EQ(dump(ProjectSettings), before);

    open();
    EXPECT_EQ(dlg->WorkingSettings.LogicLevel, 1);
    EXPECT_EQ(dlg->WorkingSettings.ProbeMaster, 0);
    EXPECT_TRUE(dlg->RB5V->isChecked());
    EXPECT_TRUE(dlg->RB_MasterAus->isChecked());
    click(dlg->RB2V5);
    dlg->close();
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(dlg->result(), 2);
    EXPECT_EQ(dump(ProjectSettings), before);
}

TEST_F(SettingsDialogTest, EscapeDoesNotEndTheDialog) {
    open();
    QTest::keyClick(dlg.get(), Qt::Key_Escape);
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_EQ(pressOk(), 6);
}

TEST_F(SettingsDialogTest, StoredValuesOutsideTheChoicesShowTheFirstChoiceAndStayUnwritten) {
    ProjectSettings.LogicLevel = 0;
    ProjectSettings.TriggerMode = 0;
    ProjectSettings.ClockDivider = 9;
    ProjectSettings.MemHex = 5;  // shown as hex, kept as stored
    // Loading runs no handler: the box shows "on" for 5 and the group the sub-address source
    // with telegram filtering on, as stored, and OK finds nothing changed.
    ProjectSettings.AutoSaveProject = 5;
    ProjectSettings.DataFilterSwitches = 0x12;
    open();
    EXPECT_TRUE(dlg->RB5V->isChecked());
    EXPECT_TRUE(dlg->RB_keinTrigger->isChecked());
    EXPECT_TRUE(dlg->RBSysClk->isChecked());
    EXPECT_TRUE(dlg->RB_HexMode->isChecked());
    EXPECT_EQ(dlg->WorkingSettings.LogicLevel, 0);
    EXPECT_TRUE(dlg->CB_PrjAutoSave->isChecked());
    EXPECT_EQ(dlg->RG_FiExtTrig->itemIndex(), 1);
    EXPECT_FALSE(dlg->RG_FiExtTrig->isEnabled());
    EXPECT_EQ(pressOk(), 6);
    EXPECT_EQ(ProjectSettings.LogicLevel, 0);
    EXPECT_EQ(ProjectSettings.ClockDivider, 9);
    EXPECT_EQ(ProjectSettings.MemHex, 5);
    EXPECT_EQ(ProjectSettings.AutoSaveProject, 5);
    EXPECT_EQ(ProjectSettings.DataFilterSwitches, 0x12);
}

TEST_F(SettingsDialogTest, ThePageShownLastOpensNextTime) {
    open();
    EXPECT_EQ(dlg->PC_Einstellungen->currentWidget(), dlg->TS_Geraet);
    dlg->PC_Einstellungen->setCurrentWidget(dlg->TS_Monitor);
    pressCancel();
    open();
    EXPECT_EQ(dlg->PC_Einstellungen->currentWidget(), dlg->TS_Monitor);
    EXPECT_EQ(dlg->PC_Einstellungen->tabText(4), "Parvelo");
    EXPECT_EQ(dlg->PC_Einstellungen->tabText(2), "I²C-Analyzer");
}

// ------------------------------------------------------------ probes

TEST_F(SettingsDialogTest, WhiteListOffersTriggerTwoOnlyWithTriggerOne) {
    open();
    EXPECT_EQ(items(dlg->CB_BelegungWeiss),
              (std::vector<std::string>{"keine Funktion", "Acknowledgefenster"}));
    EXPECT_EQ(items(dlg->CB_BelegungBlau),
              (std::vector<std::string>{"keine Funktion", "I²C-Bus aktiv", "Eingangs-Port"}));
    EXPECT_EQ(dlg->Trigger1Present, 0);

    choose(dlg->CB_BelegungRot, 1);  // "Trigger 1"
    EXPECT_EQ(dlg->Trigger1Present, 1);
    EXPECT_EQ(dlg->CB_BelegungWeiss->count(), 4);
    EXPECT_EQ(dlg->CB_BelegungWeiss->itemText(3), "und Trigger 2");
    choose(dlg->CB_BelegungWeiss, 3);
    EXPECT_EQ(dlg->WorkingSettings.ProbeWhite, 3);
    EXPECT_EQ(pressOk(), 1);
    EXPECT_EQ(ProjectSettings.ProbeRed, 1);
    EXPECT_EQ(ProjectSettings.ProbeWhite, 3);
}

TEST_F(SettingsDialogTest, RedWithoutTriggerOneIsRefusedWhileWhiteNeedsIt) {
    ProjectSettings.ProbeRed = 1;
    ProjectSettings.ProbeWhite = 2;
    open();
    EXPECT_EQ(dlg->CB_BelegungWeiss->currentText(), "oder Trigger 2");
    choose(dlg->CB_BelegungRot, 0);
    EXPECT_EQ(dlg->CB_BelegungRot->currentText(), "Trigger 1");
    EXPECT_EQ(dlg->WorkingSettings.ProbeRed, 1);
    EXPECT_EQ(dlg->CB_BelegungWeiss->count(), 4);
    EXPECT_EQ(pressOk(), 6);
}

TEST_F(SettingsDialogTest, RedInputPortTurnsBlueEntryTwoIntoTriggerOne) {
    ProjectSettings.ProbeBlue = 2;
    open();
    EXPECT_EQ(dlg->CB_BelegungBlau->currentText(), "Eingangs-Port");
    choose(dlg->CB_BelegungRot, 2);
    EXPECT_EQ(dlg->CB_BelegungBlau->currentIndex(), 2);
    EXPECT_EQ(dlg->CB_BelegungBlau->currentText(), "Trigger 1");
    EXPECT_EQ(dlg->Trigger1Present, 1);
    EXPECT_EQ(items(dlg->CB_BelegungWeiss), (std::vector<std::string>{"keine Funktion", "Acknowledgefenster",
                                                                      "oder Trigger 2", "und Trigger 2"}));
    EXPECT_EQ(dlg->WorkingSettings.ProbeBlue, 2);
    EXPECT_EQ(dlg->WorkingSettings.ProbeRed, 2);

    // Back to "keine Funktion": blue reads "Eingangs-Port" again, the Trigger-2 entries go.
    choose(dlg->CB_BelegungRot, 0);
    EXPECT_EQ(dlg->CB_BelegungBlau->currentText(), "Eingangs-Port");
    EXPECT_EQ(dlg->CB_BelegungWeiss->count(), 2);
    EXPECT_EQ(dlg->Trigger1Present, 0);
}

TEST_F(SettingsDialogTest, BlueLeavingTriggerOneIsRefusedWhileWhiteNeedsIt) {
    ProjectSettings.ProbeRed = 2;
    ProjectSettings.ProbeBlue = 2;
    ProjectSettings.ProbeWhite = 3;
    open();
    EXPECT_EQ(dlg->CB_BelegungBlau->currentText(), "Trigger 1");
    EXPECT_EQ(dlg->CB_BelegungWeiss->currentText(), "und Trigger 2");
    choose(dlg->CB_BelegungBlau, 1);
    EXPECT_EQ(dlg->CB_BelegungBlau->currentIndex(), 2);
    EXPECT_EQ(dlg->WorkingSettings.ProbeBlue, 2);

    // With white back on "keine Funktion" blue may leave Trigger 1; white loses its entries.
    choose(dlg->CB_BelegungWeiss, 0);
    choose(dlg->CB_BelegungBlau, 1);
    EXPECT_EQ(dlg->WorkingSettings.ProbeBlue, 1);
    EXPECT_EQ(dlg->CB_BelegungWeiss->count(), 2);
    EXPECT_EQ(dlg->Trigger1Present, 0);
}

TEST_F(SettingsDialogTest, ProbeIndexOutsideItsListSelectsNothingAndIsKept) {
    ProjectSettings.ProbeRed = 7;
    open();
    EXPECT_EQ(dlg->CB_BelegungRot->currentIndex(), -1);
    EXPECT_EQ(dlg->WorkingSettings.ProbeRed, 7);
    EXPECT_EQ(pressOk(), 6);
}

TEST_F(SettingsDialogTest, WhiteBlueMasterGreysTheUniversalProbesAndKeepsTheirCopies) {
    ProjectSettings.ProbeMaster = 2;  // a first showing in mode 2 greys them
    open();
    EXPECT_FALSE(dlg->CB_BelegungBlau->isEnabled() || dlg->CB_BelegungWeiss->isEnabled() ||
                 dlg->ChB_PosInputLev->isEnabled());
    pressCancel();
    ProjectSettings.ProbeMaster = 0;
    ProjectSettings.ProbeBlue = 1;
    ProjectSettings.PosInputLogic = 1;
    open();  // the next showing frees them again
    EXPECT_TRUE(dlg->CB_BelegungBlau->isEnabled() && dlg->CB_BelegungWeiss->isEnabled() &&
                dlg->ChB_PosInputLev->isEnabled());
    click(dlg->RB_MBlauWeiss);
    EXPECT_FALSE(dlg->CB_BelegungBlau->isEnabled());
    EXPECT_FALSE(dlg->CB_BelegungWeiss->isEnabled());
    EXPECT_FALSE(dlg->ChB_PosInputLev->isEnabled());
    EXPECT_TRUE(dlg->CB_BelegungRot->isEnabled());
    EXPECT_EQ(dlg->WorkingSettings.ProbeBlue, 1);
    EXPECT_EQ(pressOk(), 1);
    EXPECT_EQ(ProjectSettings.ProbeMaster, 2);
    EXPECT_EQ(ProjectSettings.ProbeBlue, 1);
    EXPECT_EQ(ProjectSettings.PosInputLogic, 1);

    // Activation in mode 2 greys them again; "Gelb/Grün" frees them.
    open();
    EXPECT_TRUE(dlg->RB_MBlauWeiss->isChecked());
    EXPECT_FALSE(dlg->CB_BelegungWeiss->isEnabled());
    click(dlg->RB_MGruenGelb);
    EXPECT_TRUE(dlg->CB_BelegungWeiss->isEnabled());
    EXPECT_TRUE(dlg->ChB_PosInputLev->isEnabled());
    EXPECT_EQ(dlg->WorkingSettings.ProbeMaster, 1);
    pressCancel();
}

// ------------------------------------------------------------ analyzer page

TEST_F(SettingsDialogTest, ClockButtonsNameTheAdapterClockRange) {
    DeviceInfo.PllMode = 1;
    ProjectSettings.ClockDivider = 3;
    open();
    EXPECT_EQ(dlg->RBSysClk->text(), "bis 1150 kBit/S");
    EXPECT_EQ(dlg->RBSysClk8->text(), "bis 140 kBit/S");
    EXPECT_TRUE(dlg->RBSysClk8->isChecked());
    click(dlg->RBSysClk2);
    EXPECT_EQ(dlg->WorkingSettings.ClockDivider, 1);
    pressCancel();

    DeviceInfo.PllMode = 5;  // no row for it: the captions stay and nothing is read past the table
    open();
    EXPECT_EQ(dlg->RBSysClk->text(), "bis 1150 kBit/S");
    pressCancel();
}

TEST_F(SettingsDialogTest, SignalFilterBoxesSetTheirBitsOnly) {
    ProjectSettings.BusFilter = 0x42;
    open();
    EXPECT_FALSE(dlg->CB_DelayFilter->isChecked());
    EXPECT_TRUE(dlg->CB_StartFilter->isChecked());
    click(dlg->CB_DelayFilter);
    click(dlg->CB_StartFilter);
    EXPECT_EQ(dlg->WorkingSettings.BusFilter, 0x41);
    EXPECT_EQ(pressOk(), 1);
    EXPECT_EQ(ProjectSettings.BusFilter, 0x41);
}

TEST_F(SettingsDialogTest, FilterValueTypingIsCappedAndLeavingShowsHex) {
    open();
    dlg->PC_Einstellungen->setCurrentWidget(dlg->TS_Analyzer);
    dlg->LE_FilterByte->clear();
    type(dlg->LE_FilterByte, "300");
    EXPECT_EQ(dlg->LE_FilterByte->text(), "30");
    EXPECT_EQ(dlg->WorkingSettings.DataFilter, 0);  // stored only when the field is left
    focus(dlg->CB_StopFilter);
    EXPECT_EQ(dlg->LE_FilterByte->text(), "0x1E");
    EXPECT_EQ(dlg->WorkingSettings.DataFilter, 30);

    // The caret stays where it was when a character is dropped.
    dlg->LE_FilterByte->setText("0x12");
    focus(dlg->LE_FilterByte);
    dlg->LE_FilterByte->setCursorPosition(3);
    QTest::keyClicks(dlg->LE_FilterByte, "z");
    EXPECT_EQ(dlg->LE_FilterByte->text(), "0x12");
    EXPECT_EQ(dlg->LE_FilterByte->cursorPosition(), 4);

    // Leaving it without a number stores 0.
    dlg->LE_FilterByte->selectAll();
    QTest::keyClick(dlg->LE_FilterByte, Qt::Key_Backspace);
    focus(dlg->CB_StopFilter);
    EXPECT_EQ(dlg->LE_FilterByte->text(), "0x00");
    EXPECT_EQ(pressOk(), 6);
}

TEST_F(SettingsDialogTest, FilterValueIsCommittedWhenOkIsClicked) {
    open();
    dlg->PC_Einstellungen->setCurrentWidget(dlg->TS_Analyzer);
    dlg->LE_FilterByte->clear();
    type(dlg->LE_FilterByte, "0xa5");
    EXPECT_EQ(dlg->LE_FilterByte->text(), "0xA5");
    EXPECT_EQ(pressOk(), 1);
    EXPECT_EQ(ProjectSettings.DataFilter, 0xA5);

    // Pressed by a screen reader, OK takes no focus; the field is committed all the same.
    open();
    dlg->LE_FilterByte->clear();
    type(dlg->LE_FilterByte, "0x5b");
    pressByAccessibility(dlg->BB_Ok);
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(dlg->result(), 1);
    EXPECT_EQ(ProjectSettings.DataFilter, 0x5B);
}

TEST_F(SettingsDialogTest, DataFilterSwitchGroupsSetTheirBits) {
    ProjectSettings.DataFilterSwitches = 0x40;  // a bit that no control edits
    open();
    EXPECT_EQ(dlg->RG_FiExtTrig->itemIndex(), 0);
    click(dlg->RG_FiExtTrig->button(2));
    EXPECT_EQ(dlg->WorkingSettings.DataFilterSwitches, 0x44);
    click(dlg->RG_FiNegation->button(1));
    EXPECT_EQ(dlg->WorkingSettings.DataFilterSwitches, 0x4C);
    click(dlg->RG_FiExtTrig->button(1));
    EXPECT_EQ(dlg->WorkingSettings.DataFilterSwitches, 0x4A);
    click(dlg->RG_FiNegation->button(0));
    EXPECT_EQ(dlg->WorkingSettings.DataFilterSwitches, 0x42);
    EXPECT_EQ(pressOk(), 1);

    open();
    EXPECT_EQ(dlg->RG_FiExtTrig->itemIndex(), 1);
    EXPECT_EQ(dlg->RG_FiNegation->itemIndex(), 0);
    pressCancel();
}

TEST_F(SettingsDialogTest, FilteringTelegramsForcesTheAddressSourceAndGreysIt) {
    open();
    click(dlg->RG_FiExtTrig->button(2));
    EXPECT_EQ(dlg->WorkingSettings.DataFilterSwitches & 0x07, 0x04);
    click(dlg->CB_AnlDatFilter);
    EXPECT_EQ(dlg->RG_FiExtTrig->itemIndex(), 0);
    EXPECT_TRUE(dlg->RG_FiExtTrig->button(0)->isChecked());
    EXPECT_FALSE(dlg->RG_FiExtTrig->isEnabled());
    EXPECT_EQ(dlg->WorkingSettings.DataFilterSwitches, 0x11);
    click(dlg->CB_AnlDatFilter);
    EXPECT_TRUE(dlg->RG_FiExtTrig->isEnabled());
    EXPECT_EQ(dlg->WorkingSettings.DataFilterSwitches, 0x01);
    click(dlg->CB_AnlDatFilter);
    EXPECT_EQ(pressOk(), 1);
    EXPECT_EQ(ProjectSettings.DataFilterSwitches, 0x11);

    open();
    EXPECT_TRUE(dlg->CB_AnlDatFilter->isChecked());
    EXPECT_FALSE(dlg->RG_FiExtTrig->isEnabled());
    pressCancel();
}

// ------------------------------------------------------------ every input path

// Every check box, radio button and radio group item of the dialog, operated in this order
// from the built-in settings: the working copy that follows each one, and after OK the
// setting. Each path (a mouse click, a screen reader's toggle action) runs the same table.
TEST_F(SettingsDialogTest, EveryCheckableControlSetsItsCopyOnEveryInputPath) {
    using W = TWorkingSettings;
    using S = TProjectSettings;
    struct Row {
        QAbstractButton* control;
        std::int32_t W::*working;
        std::int32_t S::*setting;
        std::int32_t expected;
    };
    TF_Einstellungen* d = dlg.get();
    const Row rows[] = {
        {d->CB_PrjAutoSave, &W::AutoSaveProject, &S::AutoSaveProject, 0},
        {d->RB3V3, &W::LogicLevel, &S::LogicLevel, 2},
        {d->RB5V, &W::LogicLevel, &S::LogicLevel, 1},
        {d->RB2V5, &W::LogicLevel, &S::LogicLevel, 3},
        {d->RB1V8, &W::LogicLevel, &S::LogicLevel, 4},
        {d->RB_MBlauWeiss, &W::ProbeMaster, &S::ProbeMaster, 2},
        {d->RB_MasterAus, &W::ProbeMaster, &S::ProbeMaster, 0},
        {d->RB_MGruenGelb, &W::ProbeMaster, &S::ProbeMaster, 1},
        {d->ChB_PosInputLev, &W::PosInputLogic, &S::PosInputLogic, 1},
        {d->RBSysClk2, &W::ClockDivider, &S::ClockDivider, 1},
        {d->RBSysClk, &W::ClockDivider, &S::ClockDivider, 0},
        {d->RBSysClk4, &W::ClockDivider, &S::ClockDivider, 2},
        {d->RBSysClk8, &W::ClockDivider, &S::ClockDivider, 3},
        {d->RB_nachTrigger, &W::TriggerMode, &S::TriggerMode, 2},
        {d->RB_keinTrigger, &W::TriggerMode, &S::TriggerMode, 1},
        {d->RB_solangeTrigger, &W::TriggerMode, &S::TriggerMode, 3},
        {d->CB_DelayFilter, &W::BusFilter, &S::BusFilter, 0x01},
        {d->CB_StartFilter, &W::BusFilter, &S::BusFilter, 0x03},
        {d->CB_StopFilter, &W::BusFilter, &S::BusFilter, 0x07},
        {d->RG_FiNegation->button(1), &W::DataFilterSwitches, &S::DataFilterSwitches, 0x08},
        {d->RG_FiNegation->button(0), &W::DataFilterSwitches, &S::DataFilterSwitches, 0x00},
        {d->RG_FiExtTrig->button(1), &W::DataFilterSwitches, &S::DataFilterSwitches, 0x02},
        {d->RG_FiExtTrig->button(2), &W::DataFilterSwitches, &S::DataFilterSwitches, 0x04},
        {d->RG_FiExtTrig->button(0), &W::DataFilterSwitches, &S::DataFilterSwitches, 0x01},
        {d->RG_FiNegation->button(1), &W::DataFilterSwitches, &S::DataFilterSwitches, 0x09},
        {d->CB_AnlDatFilter, &W::DataFilterSwitches, &S::DataFilterSwitches, 0x19},
        {d->RBAttribOffline, &W::AttributeMode, &S::AttributeMode, 1},
        {d->RBAttribOnline, &W::AttributeMode, &S::AttributeMode, 0},
        {d->RBkeineAttribute, &W::AttributeMode, &S::AttributeMode, 2},
        {d->CB_PrtkAutoSave, &W::LogAutoSave, &S::LogAutoSave, 1},
        {d->CBStartStop, &W::AttributeEnable, &S::AttributeEnable, 0x7E},
        {d->CBDeviceadresse, &W::AttributeEnable, &S::AttributeEnable, 0x7C},
        {d->CBSubadresse, &W::AttributeEnable, &S::AttributeEnable, 0x78},
        {d->CBWriteData, &W::AttributeEnable, &S::AttributeEnable, 0x70},
        {d->CBReadData, &W::AttributeEnable, &S::AttributeEnable, 0x60},
        {d->CBNak, &W::AttributeEnable, &S::AttributeEnable, 0x40},
        {d->CBProtokollfehler, &W::AttributeEnable, &S::AttributeEnable, 0x00},
        {d->CBExtPort, &W::AttributeEnable, &S::AttributeEnable, 0x80},
        {d->CBt_2Subbytes, &W::MemTwoSubBytes, &S::MemTwoSubBytes, 1},
        {d->RB_16Byte, &W::MemWritePage, &S::MemWritePage, 16},
        {d->RB_1Byte, &W::MemWritePage, &S::MemWritePage, 1},
        {d->RB_2Byte, &W::MemWritePage, &S::MemWritePage, 2},
        {d->RB_4Byte, &W::MemWritePage, &S::MemWritePage, 4},
        {d->RB_8Byte, &W::MemWritePage, &S::MemWritePage, 8},
        {d->RB_Register, &W::MemType, &S::MemType, 2},
        {d->RB_EEProm, &W::MemType, &S::MemType, 0},
        {d->RB_Ram, &W::MemType, &S::MemType, 1},
        {d->RB_DezMode, &W::MemHex, &S::MemHex, 0},
        {d->RB_HexMode, &W::MemHex, &S::MemHex, 1},
    };
    for (InputPath path : kInputPaths) {
        SCOPED_TRACE(pathName(path));
        resetProjectSettings();
        open();
        for (const Row& r : rows) {
            QAbstractButton* b = r.control;
            SCOPED_TRACE(b->objectName().toStdString() + " " + b->text().toStdString());
            showPageOf(b);
            operate(b, path);
            EXPECT_EQ(dlg->WorkingSettings.*r.working, r.expected);
        }
        EXPECT_EQ(dlg->RG_FiNegation->itemIndex(), 1);
        EXPECT_EQ(dlg->RG_FiExtTrig->itemIndex(), 0);
        EXPECT_FALSE(dlg->GB_PrgPage->isEnabled()) << "\"Ram\" greys the write page";
        EXPECT_EQ(pressOk(), 1);
        for (const Row& r : rows) EXPECT_EQ(ProjectSettings.*r.setting, dlg->WorkingSettings.*r.working);
        EXPECT_EQ(ProjectSettings.MemWritePage, 8);
    }
}

// ------------------------------------------------------------ class-library behaviour

TEST(VclControls, CodeChecksRunClickHandlersOnlyOnChange) {
    QWidget parent;
    QCheckBox box(&parent);
    QRadioButton a(&parent), b(&parent);
    int boxClicks = 0, aClicks = 0, bClicks = 0;
    vcl::onCheck(&box, [&] { ++boxClicks; });
    vcl::onCheck(&a, [&] { ++aClicks; });
    vcl::onCheck(&b, [&] { ++bClicks; });
    vcl::setChecked(&box, true);
    vcl::setChecked(&box, true);
    vcl::setChecked(&box, false);
    EXPECT_EQ(boxClicks, 2);
    vcl::setChecked(&a, true);
    vcl::setChecked(&b, true);
    EXPECT_FALSE(a.isChecked());
    vcl::setChecked(&b, false);  // unchecking a radio button runs nothing
    EXPECT_FALSE(b.isChecked());
    EXPECT_EQ(aClicks, 1);
    EXPECT_EQ(bClicks, 1);
    {
        const vcl::QuietLoad quiet(&parent);  // a load that the handlers must not see
        vcl::setChecked(&box, true);
        vcl::setChecked(&a, true);
    }
    EXPECT_EQ(boxClicks, 2);
    EXPECT_EQ(aClicks, 1);

    vcl::RadioGroup g(QStringLiteral("G"), {QStringLiteral("x"), QStringLiteral("y")});
    int groupClicks = 0;
    g.onClick = [&] { ++groupClicks; };
    g.setItemIndex(1);
    g.setItemIndex(1);
    EXPECT_EQ(groupClicks, 1);
    g.setItemIndex(-1);
    EXPECT_FALSE(g.button(1)->isChecked());
    EXPECT_EQ(g.itemIndex(), -1);
    EXPECT_EQ(groupClicks, 1);
    g.button(0)->toggle();  // however a button is checked, the index is its own
    EXPECT_EQ(g.itemIndex(), 0);
    EXPECT_EQ(groupClicks, 2);

    // A list: code that selects, fills or empties it runs no handler; any other change of the
    // entry runs it once, and so does the user's choice of the entry already selected.
    QComboBox list(&parent);
    int changes = 0;
    vcl::onChoose(&list, [&] {
        ++changes;  // and lets events in, as a message box does
        QEventLoop loop;
        QTimer::singleShot(0, &loop, &QEventLoop::quit);
        loop.exec();
    });
    list.addItems({QStringLiteral("a"), QStringLiteral("b")});
    vcl::setItemIndex(&list, 1);
    vcl::setItemIndex(&list, 5);
    EXPECT_EQ(list.currentIndex(), -1);
    list.clear();
    list.addItems({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")});
    list.removeItem(0);
    EXPECT_EQ(changes, 0);
    list.setCurrentIndex(1);
    EXPECT_EQ(changes, 1);
    emit list.activated(1);  // the choice that made the change reports it: no second run
    EXPECT_EQ(changes, 1);
    QApplication::processEvents();
    emit list.activated(1);  // the selected entry chosen again
    EXPECT_EQ(changes, 2);
}
