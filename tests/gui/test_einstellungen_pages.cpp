// Settings dialog: device page, monitor page, memory-monitor group and the master clock list.
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTimer>

#include <pty.h>
#include <unistd.h>

#include <stdexcept>

#include "devroot.h"
#include "masterclock.h"
#include "numbertext.h"
#include "test_einstellungen_fixture.h"
#include "vl-com.h"

using namespace dlgtest;

namespace {
// The Qt environment is registered by test_einstellungen.cpp.
QColor textColor(QWidget* w) {
    return w->palette().color(QPalette::WindowText);
}
QColor background(QWidget* w) {
    return w->palette().color(QPalette::Window);
}

std::string describe(QWidget* w) {
    QString text;
    if (auto* b = qobject_cast<QAbstractButton*>(w)) text = b->text();
    if (auto* l = qobject_cast<QLabel*>(w)) text = l->text();
    if (auto* g = qobject_cast<QGroupBox*>(w)) text = g->title();
    return s8(w->objectName() + " \"" + text + "\"");
}

// Collects controls that leave their frame, show only part of their caption or overlap a
// neighbour, in parent and the group boxes and panels inside it.
void collectLayoutFaults(QWidget* parent, std::vector<std::string>& faults) {
    QRect area = parent->rect();
    if (auto* g = qobject_cast<QGroupBox*>(parent)) area = g->contentsRect();
    std::vector<QWidget*> kids;
    for (QObject* o : parent->children())
        if (auto* w = qobject_cast<QWidget*>(o); w && !w->isWindow() && !w->isHidden()) kids.push_back(w);
    for (size_t i = 0; i < kids.size(); ++i) {
        QWidget* w = kids[i];
        if (!area.contains(w->geometry())) faults.push_back(describe(w) + " leaves its frame");
        const bool captioned =
            (qobject_cast<QAbstractButton*>(w) && !qobject_cast<QAbstractButton*>(w)->text().isEmpty()) ||
            (qobject_cast<QLabel*>(w) && !qobject_cast<QLabel*>(w)->text().isEmpty()) ||
            qobject_cast<QComboBox*>(w);
        const QSize hint = w->sizeHint();
        if (captioned && (hint.width() > w->width() || hint.height() > w->height()))
            faults.push_back(describe(w) + " is cut");
        for (size_t j = i + 1; j < kids.size(); ++j)
            if (w->geometry().intersects(kids[j]->geometry()))
                faults.push_back(describe(w) + " overlaps " + describe(kids[j]));
        if (qobject_cast<QGroupBox*>(w) || w->metaObject() == &QFrame::staticMetaObject)
            collectLayoutFaults(w, faults);
    }
}
}  // namespace

// ------------------------------------------------------------ layout

TEST_F(SettingsDialogTest, EveryControlShowsItsWholeCaptionInsideItsFrame) {
    open();
    std::vector<std::string> faults;
    collectLayoutFaults(dlg.get(), faults);
    for (int i = 0; i < dlg->PC_Einstellungen->count(); ++i) {
        dlg->PC_Einstellungen->setCurrentIndex(i);
        QApplication::processEvents();
        collectLayoutFaults(dlg->PC_Einstellungen->widget(i), faults);
    }
    EXPECT_EQ(faults, std::vector<std::string>{});
    pressCancel();
}

// ------------------------------------------------------------ master clock list

TEST(MasterClockList, TwentyFourMegahertz) {
    std::vector<std::string> items;
    std::vector<std::uint32_t> clocks;
    std::int32_t s = 24000000;
    const int k = MasterClockList(items, s, 100000, &clocks);
    ASSERT_EQ(items.size(), 55u);
    EXPECT_EQ(k, 10);
    EXPECT_EQ(items[10], "100 kHz");
    EXPECT_EQ(items[0], "1 kHz");
    EXPECT_EQ(items[5], "90 kHz");
    EXPECT_EQ(clocks[5], 90566u);
    EXPECT_EQ(items[6], "92 kHz");
    EXPECT_EQ(items.back(), "1200 kHz");
    for (size_t i = 1; i < clocks.size(); ++i) EXPECT_GT(clocks[i], clocks[i - 1]) << i;

    EXPECT_EQ(items[MasterClockList(items, s, 95000)], "96 kHz");
    EXPECT_EQ(MasterClockList(items, s, 1000), 0);
    EXPECT_EQ(MasterClockList(items, s, 5), 0);
    EXPECT_EQ(MasterClockList(items, s, 1200001), 55);
}

TEST(MasterClockList, ThirtySixMegahertz) {
    std::vector<std::string> items;
    std::vector<std::uint32_t> clocks;
    std::int32_t s = 36000000;
    const int k = MasterClockList(items, s, 100000, &clocks);
    ASSERT_EQ(items.size(), 80u);
    EXPECT_EQ(k, 13);
    EXPECT_EQ(items[13], "100 kHz");
    EXPECT_EQ(clocks[5], 90000u);
    EXPECT_EQ(items[6], "91 kHz");
    EXPECT_EQ(items.back(), "1200 kHz");
}

TEST(MasterClockList, StoredValueReselectsItsItemAndGivesItsDivisor) {
    for (std::int32_t s0 : {24000000, 36000000}) {
        std::vector<std::string> items;
        std::vector<std::uint32_t> clocks;
        std::int32_t s = s0;
        MasterClockList(items, s, 0, &clocks);
        for (size_t i = 0; i < items.size(); ++i) {
            const std::int32_t stored = MasterClockItemHz(items[i]);
            std::vector<std::string> again;
            EXPECT_EQ(MasterClockList(again, s, stored), static_cast<int>(i)) << s0 << " " << items[i];
            // The divisor the configuration derives from the stored value is the item's own.
            const std::uint32_t divisor = static_cast<std::uint32_t>(s) / (5u * stored) - 1u;
            EXPECT_EQ(static_cast<std::uint32_t>(s) / (5u * (divisor + 1u)), clocks[i])
                << s0 << " " << items[i];
        }
    }
}

TEST(MasterClockList, ZeroSystemClockBecomesTwentyFourMegahertz) {
    std::vector<std::string> items{"old"};
    std::int32_t s = 0;
    MasterClockList(items, s, 100000);
    EXPECT_EQ(s, 24000000);
    EXPECT_EQ(items.size(), 55u);
}

TEST(MasterClockList, AbsurdlySlowClockEndsWithoutASeries) {
    std::vector<std::string> items;
    std::int32_t s = 3000;  // too slow for every divisor
    MasterClockList(items, s, 100000);
    EXPECT_EQ(items.size(), 6u);
}

TEST(MasterClockList, ItemTextToHertz) {
    EXPECT_EQ(MasterClockItemHz("92 kHz"), 92000);
    EXPECT_EQ(MasterClockItemHz("1200 kHz"), 1200000);
    EXPECT_THROW(MasterClockItemHz(""), EConvertError);
}

TEST_F(SettingsDialogTest, MasterClockListShowsTheStoredClock) {
    ProjectSettings.MasterClockHz = 95000;
    open();
    EXPECT_EQ(dlg->CB_MasterClock->count(), 55);
    EXPECT_EQ(dlg->CB_MasterClock->currentText(), "96 kHz");
    EXPECT_EQ(pressOk(), 6);  // never entered: the stored value stays
    EXPECT_EQ(ProjectSettings.MasterClockHz, 95000);

    DeviceInfo.SystemClock = 0;
    open();
    EXPECT_EQ(DeviceInfo.SystemClock, 24000000);
    focus(dlg->CB_MasterClock);
    focus(dlg->RB_HexMode);
    EXPECT_EQ(dlg->WorkingSettings.MasterClockHz, 96000);
    focus(dlg->CB_MasterClock);
    choose(dlg->CB_MasterClock, 0);
    focus(dlg->RB_HexMode);
    EXPECT_EQ(dlg->WorkingSettings.MasterClockHz, 1000);
    EXPECT_EQ(pressOk(), 1);
    EXPECT_EQ(ProjectSettings.MasterClockHz, 1000);
}

TEST_F(SettingsDialogTest, LeavingAnEmptyMasterClockListIsReportedAndKeepsTheValue) {
    DeviceInfo.SystemClock = 36000000;
    ProjectSettings.MasterClockHz = 2000000;
    open();
    EXPECT_EQ(dlg->CB_MasterClock->count(), 80);
    EXPECT_EQ(dlg->CB_MasterClock->currentIndex(), -1);
    focus(dlg->CB_MasterClock);
    focus(dlg->RB_HexMode);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].type, dialogs::MsgType::Error);
    EXPECT_EQ(asked[0].caption, "KEVO");  // the event loop's own error box
    EXPECT_EQ(dlg->WorkingSettings.MasterClockHz, 2000000);
    EXPECT_EQ(pressOk(), 6);
}

// Set as a screen reader sets them (no focus moves in or out), then "Ok": what they show is
// what is stored.
TEST_F(SettingsDialogTest, FieldsAndListsSetWithoutFocusAreTakenByOk) {
    open();
    focus(dlg->RB_HexMode);
    dlg->CB_MasterClock->setCurrentIndex(dlg->CB_MasterClock->findText("400 kHz"));
    dlg->CB_MemBytes->setCurrentIndex(dlg->CB_MemBytes->findText("2048"));
    dlg->LE_DevAdr->setText("0xA4");
    dlg->LE_FilterByte->setText("0x5A");
    EXPECT_EQ(pressOk(), 1);
    const TProjectSettings& S = ProjectSettings;
    EXPECT_EQ((std::vector<int>{S.MasterClockHz, S.MemBytes, S.MemDevAddr, S.DataFilter}),
              (std::vector<int>{400000, 2048, 0xA4, 0x5A}));
}

// ------------------------------------------------------------ memory-monitor group

TEST_F(SettingsDialogTest, MemorySizeTypingAndLeaving) {
    open();
    QLineEdit* e = dlg->CB_MemBytes->lineEdit();
    e->clear();
    type(e, "70000");
    EXPECT_EQ(dlg->CB_MemBytes->currentText(), "7000");
    focus(dlg->RB_HexMode);
    EXPECT_EQ(dlg->WorkingSettings.MemBytes, 7000);

    focus(e);
    e->selectAll();
    QTest::keyClick(e, Qt::Key_Backspace);
    focus(dlg->RB_HexMode);
    EXPECT_EQ(dlg->CB_MemBytes->currentText(), "256");
    EXPECT_EQ(dlg->WorkingSettings.MemBytes, 256);

    e->clear();
    type(e, "0x8000");
    focus(dlg->RB_HexMode);
    EXPECT_EQ(dlg->WorkingSettings.MemBytes, 0x8000);
    EXPECT_EQ(pressOk(), 1);
    EXPECT_EQ(ProjectSettings.MemBytes, 0x8000);
}

TEST_F(SettingsDialogTest, TwoSubBytesSwapsTheSizesAndKeepsTheShownSize) {
    ProjectSettings.MemBytes = 300;  // not in either list
    open();
    EXPECT_EQ(dlg->CB_MemBytes->itemText(0), "16");  // no entry: empty, no crash
    EXPECT_EQ(dlg->CB_MemBytes->currentText(), "300");
    click(dlg->CBt_2Subbytes);
    EXPECT_EQ(items(dlg->CB_MemBytes), (std::vector<std::string>{"4096", "8192", "16384", "24576", "32768",
                                                                 "49152", "57344", "65536"}));
    EXPECT_EQ(dlg->CB_MemBytes->currentText(), "300");
    EXPECT_EQ(dlg->WorkingSettings.MemBytes, 300);
    EXPECT_EQ(dlg->WorkingSettings.MemTwoSubBytes, 1);
    EXPECT_EQ(pressOk(), 1);
    EXPECT_EQ(ProjectSettings.MemTwoSubBytes, 1);

    open();
    EXPECT_TRUE(dlg->CBt_2Subbytes->isChecked());
    EXPECT_EQ(dlg->CB_MemBytes->itemText(0), "4096");
    pressCancel();
}

TEST_F(SettingsDialogTest, WritePageOutsideTheChoicesBecomesOneEvenAfterCancel) {
    for (std::int32_t page : {0, 3}) {
        ProjectSettings.MemWritePage = page;
        open();
        EXPECT_TRUE(dlg->RB_1Byte->isChecked());
        EXPECT_EQ(ProjectSettings.MemWritePage, 1);
        EXPECT_EQ(dlg->WorkingSettings.MemWritePage, 1);
        EXPECT_EQ(pressCancel(), 2);
        EXPECT_EQ(ProjectSettings.MemWritePage, 1);
    }
    ProjectSettings.MemWritePage = 8;
    open();
    EXPECT_TRUE(dlg->RB_8Byte->isChecked());
    click(dlg->RB_16Byte);
    EXPECT_EQ(dlg->WorkingSettings.MemWritePage, 16);
    EXPECT_EQ(pressOk(), 1);
    EXPECT_EQ(ProjectSettings.MemWritePage, 16);
}

TEST_F(SettingsDialogTest, RamAndRegisterGreyTheWritePageAndKeepIt) {
    ProjectSettings.MemWritePage = 4;
    open();
    EXPECT_TRUE(dlg->GB_PrgPage->isEnabled());
    click(dlg->RB_Register);
    EXPECT_FALSE(dlg->GB_PrgPage->isEnabled());
    EXPECT_FALSE(dlg->RB_4Byte->isEnabled());
    EXPECT_EQ(dlg->WorkingSettings.MemWritePage, 4);
    EXPECT_EQ(dlg->WorkingSettings.MemType, 2);
    click(dlg->RB_EEProm);
    EXPECT_TRUE(dlg->RB_4Byte->isEnabled());
    click(dlg->RB_Ram);
    EXPECT_EQ(pressOk(), 1);

    open();
    EXPECT_TRUE(dlg->RB_Ram->isChecked());
    EXPECT_FALSE(dlg->RB_1Byte->isEnabled());
    pressCancel();
}

TEST_F(SettingsDialogTest, DeviceAddressTypingAndLeaving) {
    open();
    EXPECT_EQ(dlg->LE_DevAdr->text(), "0xA0");
    dlg->LE_DevAdr->clear();
    type(dlg->LE_DevAdr, "0xFFF");
    EXPECT_EQ(dlg->LE_DevAdr->text(), "0xFF");
    dlg->LE_DevAdr->clear();
    type(dlg->LE_DevAdr, "174");
    focus(dlg->RB_HexMode);
    EXPECT_EQ(dlg->LE_DevAdr->text(), "0xAE");
    EXPECT_EQ(pressOk(), 1);
    EXPECT_EQ(ProjectSettings.MemDevAddr, 174);
}

// ------------------------------------------------------------ monitor page

TEST_F(SettingsDialogTest, RightPressAssignsAColourOnlyAfterOneWasChosen) {
    open();
    const std::int32_t fromMaster = dlg->WorkingSettings.ColorFromMaster;
    rightClick(dlg->CBWriteData);
    EXPECT_EQ(dlg->WorkingSettings.ColorFromMaster, fromMaster);

    // The colour box names its colours in German and yields them as COLORREF.
    ASSERT_EQ(dlg->CBTextfarbe->count(), 20);
    EXPECT_EQ(dlg->CBTextfarbe->itemText(0), "Schwarz");
    EXPECT_EQ(dlg->CBTextfarbe->itemText(11), "Gelb");
    EXPECT_EQ(dlg->CBTextfarbe->itemText(16), "Dollargrün");
    EXPECT_EQ(dlg->CBTextfarbe->itemData(16).toUInt(), 0xC0DCC0u);
    EXPECT_EQ(dlg->CBTextfarbe->itemText(19), "Mittelgrau");
    focus(dlg->CBTextfarbe);
    choose(dlg->CBTextfarbe, 11);  // "Gelb"
    EXPECT_EQ(dlg->ColorAssignArmed, 1);
    // A right press on the colour box itself is no press on the group's free area.
    const std::int32_t backgroundBefore = dlg->WorkingSettings.ColorBackground;
    rightClick(dlg->CBTextfarbe);
    EXPECT_EQ(dlg->WorkingSettings.ColorBackground, backgroundBefore);
    const bool checkedBefore = dlg->CBDeviceadresse->isChecked();
    rightClick(dlg->CBDeviceadresse);
    rightClick(dlg->CBSubadresse);
    EXPECT_EQ(dlg->WorkingSettings.ColorDevAddr, 0x00FFFF);
    EXPECT_EQ(dlg->WorkingSettings.ColorSubAddr, 0x00FFFF);
    EXPECT_EQ(dlg->CBDeviceadresse->isChecked(), checkedBefore);
    EXPECT_EQ(QApplication::focusWidget(), dlg->CBTextfarbe);
    EXPECT_EQ(textColor(dlg->CBDeviceadresse), QColor(255, 255, 0));

    // The background role colours the whole group.
    choose(dlg->CBTextfarbe, 15);  // "Weiß"
    rightClick(dlg->GBFarbAttribute,
               QPoint(dlg->GBFarbAttribute->width() - 8, dlg->GBFarbAttribute->height() - 8));
    EXPECT_EQ(dlg->WorkingSettings.ColorBackground, 0xFFFFFF);
    EXPECT_EQ(background(dlg->CBReadData), QColor(255, 255, 255));
    EXPECT_EQ(background(dlg->LDefaultColor), QColor(255, 255, 255));

    // A left click elsewhere ends the assignment.
    click(dlg->CBReadData);
    EXPECT_EQ(dlg->ColorAssignArmed, 0);
    rightClick(dlg->CBWriteData);
    EXPECT_EQ(dlg->WorkingSettings.ColorFromMaster, fromMaster);

    EXPECT_EQ(pressOk(), 1);
    EXPECT_EQ(ProjectSettings.ColorDevAddr, 0x00FFFFu);
    EXPECT_EQ(ProjectSettings.ColorBackground, 0xFFFFFFu);
    EXPECT_EQ(dlg->ColorAssignArmed, 0);
}

TEST_F(SettingsDialogTest, RightPressAssignsStyles) {
    open();
    EXPECT_TRUE(dlg->CBNak->font().bold());  // built-in StyleNak 0
    rightClick(dlg->CBNak);
    EXPECT_EQ(dlg->WorkingSettings.StyleNak, 0);

    focus(dlg->CBTextStyle);
    choose(dlg->CBTextStyle, 0);  // "Standard"
    EXPECT_EQ(dlg->StyleAssignArmed, 1);
    rightClick(dlg->CBNak);
    EXPECT_EQ(dlg->WorkingSettings.StyleNak, -1);
    EXPECT_FALSE(dlg->CBNak->font().bold());
    choose(dlg->CBTextStyle, 2);  // "Kursiv"
    rightClick(dlg->LDefaultStyle);
    EXPECT_EQ(dlg->WorkingSettings.StyleDefault, 1);
    EXPECT_TRUE(dlg->LDefaultStyle->font().italic());
    EXPECT_EQ(pressOk(), 1);
    EXPECT_EQ(dlg->StyleAssignArmed, 0);
    EXPECT_EQ(ProjectSettings.StyleNak, -1);
    EXPECT_EQ(ProjectSettings.StyleDefault, 1);

    // Activation refills the style list on its first entry without arming it.
    open();
    EXPECT_EQ(dlg->CBTextStyle->currentText(), "Standard");
    EXPECT_EQ(dlg->StyleAssignArmed, 0);
    EXPECT_TRUE(dlg->LDefaultStyle->font().italic());
    pressCancel();
}

TEST_F(SettingsDialogTest, EnableBoxesSetTheirBitsAndKeepTheRest) {
    ProjectSettings.AttributeEnable = 0x1FF;
    open();
    EXPECT_TRUE(dlg->CBExtPort->isChecked());
    click(dlg->CBExtPort);
    EXPECT_EQ(dlg->WorkingSettings.AttributeEnable, 0x17F);
    click(dlg->CBStartStop);
    EXPECT_EQ(dlg->WorkingSettings.AttributeEnable, 0x17E);
    click(dlg->RBkeineAttribute);
    EXPECT_EQ(dlg->WorkingSettings.AttributeMode, 2);
    EXPECT_EQ(pressOk(), 1);
    EXPECT_EQ(ProjectSettings.AttributeEnable, 0x17E);
    EXPECT_EQ(ProjectSettings.AttributeMode, 2);
}

// ------------------------------------------------------------ device page

TEST_F(SettingsDialogTest, DeviceInformationAndBaudRateText) {
    ProjectSettings.PortName = "COM4";
    ProjectSettings.BaudRate = 921600;
    DeviceInfo.FirmwareText = "RAFU I2C-Analyzer V1.20";
    DeviceInfo.SerialNumber = "RA0512345678";
    DeviceInfo.OptionsText = "Standard";
    open();
    EXPECT_EQ(dlg->L_VPort->text(), "COM4");
    EXPECT_EQ(dlg->L_VBaud->text(), "USB Verbindung");
    EXPECT_EQ(dlg->L_VFirmware->text(), "RAFU I2C-Analyzer V1.20");
    EXPECT_EQ(dlg->L_VSernum->text(), "RA0512345678");
    EXPECT_EQ(dlg->L_VOptionen->text(), "Standard");
    pressCancel();

    ProjectSettings.BaudRate = 115200;
    DeviceInfo = TDeviceInfo{};
    dlg->PC_Einstellungen->setCurrentWidget(dlg->TS_Monitor);
    open();
    EXPECT_EQ(dlg->L_VBaud->text(), "115200");
    EXPECT_EQ(dlg->L_VFirmware->text(), "kein Gerät");
    // Showing the page refreshes the labels from the identification.
    DeviceInfo.FirmwareText = "neu";
    dlg->PC_Einstellungen->setCurrentWidget(dlg->TS_Geraet);
    EXPECT_EQ(dlg->L_VFirmware->text(), "neu");
    pressCancel();
}

TEST_F(SettingsDialogTest, ProjectDirectoryChooser) {
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid() && QDir(tmp.path()).mkdir("Projekte"));
    const std::string chosen = s8(tmp.path()) + "/Projekte";
    open();
    EXPECT_EQ(dlg->LE_ProjektDir->text(), "/tmp/kevo-test/Data/");
    answers.push_back([chosen](const dialogs::Request&) { return dialogs::Response{dialogs::mrOk, chosen}; });
    click(dlg->BB_SetProjDir);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].kind, dialogs::Kind::SelectDir);
    EXPECT_EQ(asked[0].value, "/tmp/kevo-test/Data/");
    EXPECT_EQ(dlg->WorkingSettings.ProjectDir, chosen + "/");
    EXPECT_EQ(dlg->LE_ProjektDir->text(), QString::fromStdString(chosen + "/"));

    click(dlg->BB_SetProjDir);  // cancelled: nothing changes
    EXPECT_EQ(dlg->WorkingSettings.ProjectDir, chosen + "/");
    EXPECT_EQ(pressOk(), 1);
    EXPECT_EQ(projectDir, chosen + "/");
}

TEST_F(SettingsDialogTest, ChooserCreatesAMissingDirectoryAfterConfirmation) {
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    const std::string missing = s8(tmp.path()) + "/neu/Projekte";
    auto choose = [this](const std::string& dir) {
        answers.push_back([dir](const dialogs::Request&) { return dialogs::Response{dialogs::mrOk, dir}; });
    };
    auto reply = [this](int result) {
        answers.push_back([result](const dialogs::Request&) { return dialogs::Response{result, {}}; });
    };
    open();
    choose(missing);
    reply(dialogs::mrNo);
    click(dlg->BB_SetProjDir);
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[1].type, dialogs::MsgType::Confirmation);
    EXPECT_EQ(asked[1].buttons, unsigned(dialogs::mbYes | dialogs::mbNo));
    EXPECT_NE(asked[1].text.find(missing), std::string::npos);
    EXPECT_FALSE(QDir(QString::fromStdString(missing)).exists());
    EXPECT_EQ(dlg->WorkingSettings.ProjectDir, "/tmp/kevo-test/Data/");

    choose(missing);
    reply(dialogs::mrYes);
    click(dlg->BB_SetProjDir);
    EXPECT_TRUE(QDir(QString::fromStdString(missing)).exists());
    EXPECT_EQ(dlg->WorkingSettings.ProjectDir, missing + "/");
    EXPECT_EQ(dlg->LE_ProjektDir->text(), QString::fromStdString(missing + "/"));

    // A directory that cannot be created (below a file) is the chooser's error: once more
    // from the program's data folder.
    QFile file(tmp.path() + "/datei");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    asked.clear();
    choose(s8(tmp.path()) + "/datei/sub");
    reply(dialogs::mrYes);
    click(dlg->BB_SetProjDir);
    ASSERT_EQ(asked.size(), 3u);
    EXPECT_EQ(asked[2].kind, dialogs::Kind::SelectDir);
    EXPECT_EQ(asked[2].value, "/opt/kevo/Data/");
    EXPECT_EQ(dlg->WorkingSettings.ProjectDir, "/opt/kevo/Data/");
    pressCancel();
}

TEST_F(SettingsDialogTest, FailingChooserTriesOnceMoreFromTheProgramsDataFolder) {
    open();
    answers.push_back(
        [](const dialogs::Request&) -> dialogs::Response { throw std::runtime_error("kaputt"); });
    answers.push_back([](const dialogs::Request&) { return dialogs::Response{dialogs::mrCancel, {}}; });
    click(dlg->BB_SetProjDir);
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[1].value, "/opt/kevo/Data/");
    EXPECT_EQ(dlg->WorkingSettings.ProjectDir, "/opt/kevo/Data/");
    EXPECT_EQ(dlg->LE_ProjektDir->text(), "/opt/kevo/Data/");

    // A failure of the second attempt is reported, not thrown through the event loop.
    answers.push_back([](const dialogs::Request&) -> dialogs::Response { throw std::runtime_error("a"); });
    answers.push_back([](const dialogs::Request&) -> dialogs::Response { throw std::runtime_error("b"); });
    click(dlg->BB_SetProjDir);
    ASSERT_EQ(asked.size(), 5u);
    EXPECT_EQ(asked[4].kind, dialogs::Kind::Message);
    EXPECT_EQ(asked[4].text, "b");
    pressCancel();
    EXPECT_EQ(projectDir, "/tmp/kevo-test/Data/");
}

// The connection button runs the link library's port dialog on the working values.
class ConnectionTest : public SettingsDialogTest {
  protected:
    QTemporaryDir ports;
    kevosupport::PrivateDevRoot devRoot;  // the USB names stand for no device either

    void SetUp() override {
        SettingsDialogTest::SetUp();
        ASSERT_TRUE(ports.isValid());
        qputenv("VLCOM_PORT_DIR", ports.path().toUtf8());
        // No port at all: links to nothing keep COM1..COM4 from standing for /dev/ttyS*.
        for (int i = 1; i <= 4; ++i)
            QFile::link(ports.path() + "/missing", ports.path() + QString("/COM%1").arg(i));
    }

    // Answers the next port dialog with the button of the given id. The timer belongs to the
    // fixture, so it is freed (and stops) also when no dialog came.
    std::unique_ptr<QTimer> portAnswer;
    void answerPortDialog(const char* buttonId, int row = -1) {
        portAnswer = std::make_unique<QTimer>();
        QTimer* timer = portAnswer.get();
        timer->setInterval(10);
        QObject::connect(timer, &QTimer::timeout, [timer, buttonId, row] {
            auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!d || d->windowTitle() != "COM-Port Setup") return;
            timer->stop();
            if (row >= 0) d->findChild<QListWidget*>()->setCurrentRow(row);
            auto* b = d->findChild<QPushButton*>(buttonId);
            if (b)
                b->click();
            else
                d->done(0);
        });
        timer->start();
    }
};

TEST_F(ConnectionTest, CancelKeepsTheWorkingPortAndOkWithNoPortShowsTheStoredOne) {
    ProjectSettings.PortName = "COM2";
    ProjectSettings.BaudRate = 57600;
    open();
    answerPortDialog("1009");  // "Abbruch"
    click(dlg->BB_Connection);
    EXPECT_FALSE(portAnswer->isActive());  // the dialog came and was answered
    EXPECT_EQ(dlg->WorkingSettings.PortName, "COM2");
    EXPECT_EQ(dlg->WorkingSettings.BaudRate, 57600);
    EXPECT_EQ(dlg->L_VPort->text(), "COM2");

    dlg->WorkingSettings.BaudRate = 921600;
    answerPortDialog("1010");  // "Ok": no port listed, so none selected
    click(dlg->BB_Connection);
    EXPECT_FALSE(portAnswer->isActive());
    EXPECT_EQ(dlg->WorkingSettings.PortName, "COM2");
    EXPECT_EQ(dlg->WorkingSettings.BaudRate, 57600);
    EXPECT_EQ(dlg->L_VBaud->text(), "57600");
    EXPECT_EQ(pressOk(), 6);
}

TEST_F(ConnectionTest, CancelPutsTheLinkBackToTheStoredPort) {
    int master = -1, slave = -1;
    char name[128] = {};
    ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
    QFile::link(name, ports.path() + "/COM5");  // the one port listed, chosen below
    ProjectSettings.PortName = "COM2";
    // "Abbrechen", the close box, and Escape (which ends nothing) then the close box.
    for (int how = 0; how < 3; ++how) {
        SCOPED_TRACE(how);
        open();
        answerPortDialog("1010", 0);
        click(dlg->BB_Connection);
        if (how == 2) QTest::keyClick(dlg.get(), Qt::Key_Escape);
        EXPECT_TRUE(dlg->isVisible());
        how == 0 ? void(pressCancel()) : void(dlg->close());
        EXPECT_FALSE(dlg->isVisible());
        EXPECT_EQ(dlg->result(), 2);
        EXPECT_EQ(VlCOMOpenPort(), 0) << "COM2, the stored port, does not exist";
        VlCOMClosePort();
    }
    ::close(slave), ::close(master);
}

TEST_F(ConnectionTest, EnterPressesOnlyAButtonThatHasTheFocus) {
    open();
    int portDialogs = 0;
    QTimer watch;
    watch.setInterval(10);
    QObject::connect(&watch, &QTimer::timeout, [&portDialogs] {
        auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!d || d->windowTitle() != "COM-Port Setup") return;
        ++portDialogs;
        d->done(0);
    });
    watch.start();
    focus(dlg->LE_ProjektDir);
    QTest::keyClick(dlg->LE_ProjektDir, Qt::Key_Return);
    focus(dlg->LE_FilterByte);
    QTest::keyClick(dlg->LE_FilterByte, Qt::Key_Return);
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_EQ(portDialogs, 0);
    EXPECT_TRUE(asked.empty());

    focus(dlg->BB_Connection);
    QTest::keyClick(dlg->BB_Connection, Qt::Key_Return);
    EXPECT_EQ(portDialogs, 1);
    focus(dlg->BB_Ok);
    QTest::keyClick(dlg->BB_Ok, Qt::Key_Return);
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(dlg->result(), 6);
}
