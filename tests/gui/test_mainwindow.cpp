// The main window: start-up with and without the adapter, the command surface and its
// enabling, the status bar and caption, the recording control and closing.
#include <QCloseEvent>
#include <QFileInfo>
#include <QIcon>
#include <QImage>
#include <QLibraryInfo>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QRegularExpression>
#include <QToolBar>
#include <cmath>
#include <stdexcept>

#include "mainwindow_fixture.h"
#include "monitorview.h"
#include "numbertext.h"

using namespace kevotest;

namespace {

KEVO_TEST_APPLICATION(KevoApplication);

const char* const kLinkError = "Die Datenverbindung zum RAFU konnte nicht hergestellt werden";

TEST_F(MainWindowTest, FirstRunWithoutConfigurationGoesOfflineAfterCancel) {
    ASSERT_FALSE(QFileInfo::exists(tmp.path() + "/Data"));
    answerSettings(false);
    showWindow();

    EXPECT_EQ(settingsRuns, 1);  // the settings dialog came up during start-up
    EXPECT_TRUE(QFileInfo(tmp.path() + "/Data").isDir());
    EXPECT_TRUE(OfflineMode);
    EXPECT_EQ(w->ConfigPath, dir + "kevo.cfg");
    EXPECT_EQ(w->ProgramDir, dir);
    EXPECT_EQ(w->ProjectDir, dir + "Data/");
    EXPECT_EQ(w->ProjectPath, "");
    EXPECT_EQ(ProjectSettings.DataDir, dir + "Data/");
    EXPECT_TRUE(messages().empty());  // no link error box: no port was configured
    ASSERT_NE(captureStore(), nullptr);
    EXPECT_EQ(captureStore()->BytesUsed.load(), 0);

    // The default project, offline, nothing recorded yet.
    EXPECT_EQ(panel(4), "Projekt: [Default]");
    EXPECT_EQ(panel(0), " RAFU offline");
    EXPECT_EQ(panel(1), " 5 Volt Logik");
    EXPECT_EQ(panel(2), " Aufzeichnung bis 800 kBit/S");
    EXPECT_EQ(panel(3), " Mastertakt: 100 kHz");
    EXPECT_EQ(caption(), "KEVO - Parvelo/ -Monitor - [I2CWatch.i2p]");
    EXPECT_FALSE(w->miAnlStop->isEnabled());
    EXPECT_FALSE(w->TB_AnlStop->isEnabled());
    EXPECT_TRUE(w->miAnlStart->isEnabled());
    EXPECT_FALSE(w->miNew->isEnabled());
    EXPECT_FALSE(w->miSave->isEnabled());
    EXPECT_TRUE(w->TB_Open->isEnabled());
    w->miPrint->setEnabled(true);  // no log: printing stays out of reach, even when left enabled
    w->miPrint->trigger();
    EXPECT_TRUE(asked.empty());
    EXPECT_EQ(w->RE_I2CMonitor->leftIndent(), 48);
    // Offline: the tools keep their initial state, whatever the master setting says.
    EXPECT_TRUE(w->mmTools->menuAction()->isEnabled());
    EXPECT_TRUE(w->TB_ScanTool->isEnabled());
}

TEST_F(MainWindowTest, ConfiguredProjectDirectoryIsTakenAsItIsAndNotCreated) {
    const std::string other = dir + "elsewhere/projects/";
    writeFile(dir + "kevo.cfg", QByteArray::fromStdString("[Projekt]\r\nVerzeichnis=" + other + "\r\n"));
    answerSettings(false);
    showWindow();
    EXPECT_EQ(w->ProjectDir, other);
    EXPECT_FALSE(QFileInfo::exists(q(other)));
    EXPECT_EQ(ProjectSettings.DataDir, other);
}

TEST_F(MainWindowTest, EmptyProjectDirectoryEntryKeepsTheDefault) {
    writeFile(dir + "kevo.cfg", QByteArray("[Projekt]\r\nVerzeichnis=\r\nDatei=\r\n"));
    answerSettings(false);
    showWindow();
    EXPECT_EQ(w->ProjectDir, dir + "Data/");
    EXPECT_EQ(ProjectSettings.DataDir, dir + "Data/");
}

TEST_F(MainWindowTest, LinkedStartUpIdentifiesAndConfiguresTheAdapter) {
    ASSERT_NO_FATAL_FAILURE(linkedStart());
    const auto t = sim->receivedTelegrams();
    auto has = [&t](const std::string& s) { return std::find(t.begin(), t.end(), s) != t.end(); };
    EXPECT_TRUE(has("$"));
    EXPECT_TRUE(has("#"));
    EXPECT_TRUE(has("2"));
    EXPECT_TRUE(has("0L1,/0,O3,F00,0000,T002F,P0000"));
    EXPECT_EQ(sim->configCount(), 1u);
    EXPECT_EQ(panel(0), " RAFU Sn.: 5678");
    EXPECT_TRUE(messages().empty());
    EXPECT_EQ(settingsRuns, 0);
    EXPECT_EQ(LinkOpenCount, 0);  // identification and configuration closed the link again
    // ProbeMaster 0: the tools are not available.
    EXPECT_FALSE(w->mmTools->menuAction()->isEnabled());
    EXPECT_FALSE(w->TB_ScanTool->isEnabled());
}

TEST_F(MainWindowTest, FailingPortRetryTwiceThenIgnore) {
    writeConfig(absentPort("COM9"), 921600);  // no such port in the port folder
    answers = {{dialogs::mrRetry, {}}, {dialogs::mrRetry, {}}, {dialogs::mrIgnore, {}}};
    create();
    w->move(300, 200);
    showWindow();

    const auto boxes = messages();
    ASSERT_EQ(boxes.size(), 3u);
    for (size_t i = 0; i < boxes.size(); ++i) {
        const auto& b = boxes[i];
        EXPECT_EQ(b.text.rfind(kLinkError, 0), 0u) << b.text;
        EXPECT_EQ(b.type, dialogs::MsgType::Error);
        EXPECT_EQ(b.buttons, unsigned(dialogs::mbOK | dialogs::mbRetry | dialogs::mbIgnore));
        EXPECT_EQ(b.x, askedAt[i].x() + 150);
        EXPECT_EQ(b.y, askedAt[i].y() + 150);
        EXPECT_NEAR(b.x, 450, 10);  // the window stands at 300, 200
    }
    EXPECT_TRUE(OfflineMode);
    EXPECT_EQ(settingsRuns, 0);
    EXPECT_NE(captureStore(), nullptr);
    EXPECT_EQ(DeviceInfo.SerialNumber, "");
}

TEST_F(MainWindowTest, LinkErrorOkOpensSettingsAndMarksTheProjectEvenWithoutChanges) {
    writeConfig(absentPort("COM9"), 921600);
    answers = {{dialogs::mrOk, {}}, {dialogs::mrIgnore, {}}};
    answerSettings(true);  // OK without a change: result 6
    showWindow();
    EXPECT_EQ(settingsRuns, 1);
    EXPECT_EQ(messages().size(), 2u);  // the port was tried again after the dialog
    EXPECT_TRUE(OfflineMode);
    EXPECT_TRUE(w->DocFlags & DocProjectModified);
    EXPECT_EQ(panel(4), "Projekt: *[Default]");
    EXPECT_TRUE(w->miSaveProj->isEnabled());
}

TEST_F(MainWindowTest, EscInTheLinkErrorBoxGoesOnAsOk) {
    writeConfig(absentPort("COM9"), 921600);
    answers = {{dialogs::mrEscape, {}}, {dialogs::mrIgnore, {}}};
    answerSettings(true);
    showWindow();
    EXPECT_EQ(settingsRuns, 1);
    EXPECT_EQ(messages().size(), 2u);  // the box closed at once; the port was tried again
    EXPECT_TRUE(OfflineMode);
}

TEST_F(MainWindowTest, ResizeMarksTheProjectOnlyAfterStartUp) {
    offlineStart();
    EXPECT_FALSE(w->DocFlags & DocProjectModified);
    EXPECT_FALSE(w->DocFlags & DocStarting);  // cleared by the first paint
    w->move(w->x() + 5, w->y());
    QTest::qWait(20);
    EXPECT_FALSE(w->DocFlags & DocProjectModified);  // moving alone does not count
    w->resize(w->width() + 40, w->height() + 30);
    EXPECT_TRUE(waitFor([&] { return (w->DocFlags & DocProjectModified) != 0; }));
    // The trace view fills the client area between tool bar and status bar.
    const QRect g = w->RE_I2CMonitor->geometry();
    EXPECT_EQ(g.left(), 2);
    EXPECT_EQ(g.top(), 26);
    EXPECT_EQ(g.width(), w->centralWidget()->width() - 4);
    EXPECT_EQ(g.height(), w->centralWidget()->height() - 45);
}

TEST_F(MainWindowTest, MenusAndToolBarCarryTheirCaptionsHintsAndOrder) {
    create();
    QStringList menus;
    for (QAction* a : w->Hauptmenu->actions()) menus << a->text();
    EXPECT_EQ(menus, QStringList({"&Datei", "&Projekt", "&Analyzer", "&Tools", "&Hilfe"}));
    QStringList datei;
    for (QAction* a : w->mmDatei->actions()) datei << (a->isSeparator() ? "-" : a->text());
    EXPECT_EQ(datei, QStringList({"&Neu", QString::fromUtf8("Ö&ffnen"), "&Speichern", "Speichern &unter", "-",
                                  "&Suchen", "-", "Protokoll&druck", "-", "&Beenden"}));
    EXPECT_EQ(w->miScanTool->toolTip(),
              QString::fromUtf8("I²C-Bus auf vergebene Bausteinadressen durchsuchen"));
    EXPECT_EQ(w->miMemTool->toolTip(), QString::fromUtf8("Monitor für I²C Speichebausteine"));

    QStringList buttons;
    for (QAction* a : w->TB_Main->actions()) buttons << (a->isSeparator() ? "-" : a->objectName());
    EXPECT_EQ(buttons,
              QStringList({"TB_New", "TB_Open", "TB_Save", "TB_Search", "TB_Print", "-", "TB_NewProjekt",
                           "TB_OpenProj", "TB_SaveProj", "TB_Setup", "-", "TB_AnlStart", "TB_AnlStop", "-",
                           "TB_ScanTool", "TB_BusTool", "TB_MemTool"}));
    EXPECT_EQ(w->TB_Save->toolTip(), w->miSave->toolTip());
    EXPECT_EQ(w->TB_OpenProj->text(), QString::fromUtf8("Pr&ojekt öffnen"));
    EXPECT_EQ(w->TB_BusTool->text(), "Senden/&Empfangen");
    EXPECT_EQ(w->TB_MemTool->toolTip(),
              QString::fromUtf8("Tool  I²C-Speicher bearbeiten aktivieren bzw. öffnen"));
    // Every command has its glyph in the three looks.
    ASSERT_EQ(w->IL_HMToolbar.size(), 14);
    EXPECT_EQ(w->IL_HMToolbarD.size(), 14);
    // What the user sees on the tool bar: the disabled look stands out clearly less from the
    // background than the normal one, also for grey glyphs, and carries no colour.
    const QColor background = w->TB_Main->palette().color(QPalette::Window);
    auto onBar = [&background](const QPixmap& pm) {
        QImage img(pm.size(), QImage::Format_RGB32);
        img.fill(background);
        QPainter p(&img);
        p.drawPixmap(0, 0, pm);
        return img;
    };
    auto contrast = [&](const QPixmap& pm) {
        const QImage img = onBar(pm);
        long sum = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                sum += std::abs(qGray(img.pixel(x, y)) - qGray(background.rgb()));
        return sum;
    };
    auto colourful = [&](const QPixmap& pm) {
        const QImage img = onBar(pm);
        int most = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                most = std::max(most, QColor(img.pixel(x, y)).hsvSaturation());
        return most;
    };
    for (int i = 0; i < 14; ++i) {
        EXPECT_FALSE(w->IL_HMToolbar[i].isNull()) << i;
        EXPECT_NE(w->IL_HMToolbar[i].toImage(), w->IL_HMToolbarD[i].toImage()) << i;
        EXPECT_NE(w->IL_HMToolbar[i].toImage(), w->IL_HMToolbarH[i].toImage()) << i;
        EXPECT_LT(contrast(w->IL_HMToolbarD[i]) * 3, contrast(w->IL_HMToolbar[i]) * 2) << i;
        EXPECT_LE(colourful(w->IL_HMToolbarD[i]), background.hsvSaturation() + 8) << i;
    }
    // The trace view.
    EXPECT_TRUE(w->RE_I2CMonitor->isReadOnly());
    EXPECT_EQ(w->RE_I2CMonitor->font().pixelSize(), 13);
    EXPECT_EQ(w->panelText(0), QString::fromUtf8("Gerät"));
    EXPECT_EQ(w->SBarPanels[2]->width(), 150);
    // The window is never smaller than 600 x 412.
    w->resize(300, 200);
    EXPECT_EQ(w->size(), QSize(600, 412));
}

TEST_F(MainWindowTest, StatusPanelsAndCaptionFollowProjectAndLog) {
    offlineStart();
    ProjectSettings.MasterClockHz = 99999;
    ProjectSettings.LogicLevel = 2;
    ProjectSettings.ClockDivider = 3;
    DeviceInfo.PllMode = 1;
    w->UpdateStatus();
    EXPECT_EQ(panel(3), " Mastertakt: 99 kHz");
    EXPECT_EQ(panel(1), " 3,3 Volt Logik");
    EXPECT_EQ(panel(2), " Aufzeichnung bis 140 kBit/S");
    // At the smallest window width no panel but the last is narrower than its text.
    w->resize(600, w->height());
    EXPECT_TRUE(waitFor(
        [&] {
            for (int i = 0; i < 4; ++i)
                if (w->SBarPanels[i]->width() < w->SBarPanels[i]->sizeHint().width()) return false;
            return true;
        },
        2000));
    ProjectSettings.MasterClockHz = 100000;
    ProjectSettings.LogicLevel = 9;  // out of range: no name, no crash
    w->UpdateStatus();
    EXPECT_EQ(panel(3), " Mastertakt: 100 kHz");
    EXPECT_EQ(panel(1), "  Logik");

    // Projects inside and outside the project directory.
    w->ProjectPath = w->ProjectDir + "Motor.kvo";
    w->UpdateStatus();
    EXPECT_EQ(panel(4), " Projekt: [Motor.kvo]");
    w->ProjectPath = "/srv/other/Motor.kvo";
    w->DocFlags |= DocProjectModified;
    w->UpdateStatus();
    EXPECT_EQ(panel(4), " Projekt: *[/srv/other/Motor.kvo]");
    EXPECT_TRUE(w->TB_SaveProj->isEnabled());

    // Logs inside (also in a subfolder) and outside the log folder.
    w->LogPath = ProjectSettings.DataDir + "sub/run.i2p";
    w->UpdateStatus();
    EXPECT_EQ(caption(), "KEVO - Parvelo/ -Monitor - [run.i2p]");
    w->LogPath = "/var/tmp/run.i2p";
    w->DocFlags |= DocLogModified;
    w->UpdateStatus();
    EXPECT_EQ(caption(), "KEVO - Parvelo/ -Monitor - *[/var/tmp/run.i2p]");
}

TEST_F(MainWindowTest, StartWhileOfflineIsRefusedWithALine) {
    offlineStart();
    w->miAnlStart->trigger();
    EXPECT_EQ(w->CaptureThread, nullptr);
    EXPECT_FALSE(w->miAnlStop->isEnabled());
    EXPECT_TRUE(w->mmDatei->menuAction()->isEnabled());
    EXPECT_EQ(traceText(), "Offline: ohne Verbindung zum RAFU ist keine Aufzeichnung möglich.");
}

TEST_F(MainWindowTest, RecordingGivesHeaderNumberedLinesAndFooter) {
    ASSERT_NO_FATAL_FAILURE(linkedStart());
    std::vector<uint8_t> pairs = telegram({0xA0, 0x00, 0x11});
    const auto t2 = telegram({0xA1, 0x3F});
    pairs.insert(pairs.end(), t2.begin(), t2.end());
    sim->setCaptureScript(pairs);
    sim->clearLog();

    w->TB_AnlStart->trigger();
    ASSERT_NE(w->CaptureThread, nullptr);
    // Recording state: the file and project menus and their buttons are out of reach.
    EXPECT_FALSE(w->mmDatei->menuAction()->isEnabled());
    EXPECT_FALSE(w->mmProjekt->menuAction()->isEnabled());
    EXPECT_FALSE(w->TB_Open->isEnabled());
    EXPECT_FALSE(w->TB_Setup->isEnabled());
    EXPECT_FALSE(w->miAnlStart->isEnabled());
    EXPECT_TRUE(w->miAnlStop->isEnabled());
    EXPECT_TRUE(w->TB_AnlStop->isEnabled());
    EXPECT_TRUE(w->mmHilfe->menuAction()->isEnabled());

    ASSERT_TRUE(waitFor([&] { return captureStore()->BytesUsed.load() == int(pairs.size()); }));
    w->TB_AnlStop->trigger();
    EXPECT_EQ(w->CaptureThread, nullptr);
    EXPECT_EQ(LinkOpenCount, 0);

    const auto tel = sim->receivedTelegrams();
    EXPECT_NE(std::find(tel.begin(), tel.end(), "11"), tel.end());  // start with TriggerMode 1
    EXPECT_NE(std::find(tel.begin(), tel.end(), "10"), tel.end());

    const std::string text = traceText();
    const std::string sep(70, '-');
    EXPECT_EQ(text.rfind(sep + "\n RAFU I²C-Protokoll - ", 0), 0u) << text;
    EXPECT_NE(text.find("5 Volt Logik - kein Trigger - Aufzeichnung bis 800 kBit/S\n" + sep +
                        "\n00000  »A0 00 11«\n"
                        "00001  »A1 3F«\n" +
                        sep + "\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find(" - Aufzeichnung beendet! \n" + sep + "\n"), std::string::npos) << text;

    EXPECT_TRUE(w->DocFlags & DocLogModified);
    EXPECT_NE(caption().find("*["), std::string::npos);
    EXPECT_TRUE(w->miSave->isEnabled());
    EXPECT_TRUE(w->TB_Save->isEnabled());
    EXPECT_TRUE(w->miNew->isEnabled());
    EXPECT_TRUE(w->mmDatei->menuAction()->isEnabled());
    EXPECT_TRUE(w->miAnlStart->isEnabled());
    EXPECT_FALSE(w->TB_AnlStop->isEnabled());
}

// While a recording runs no log, project or settings command runs by any door: its item or
// button triggered (as a screen reader does), its keys, or an item left enabled by mistake.
TEST_F(MainWindowTest, DuringRecordingNoLogProjectOrSettingsCommandRunsByAnyDoor) {
    ASSERT_NO_FATAL_FAILURE(linkedStart());
    const auto pairs = telegram({0xA0, 0x00, 0x11});
    sim->setCaptureScript(pairs);
    w->miAnlStart->trigger();
    ASSERT_TRUE(waitFor([&] { return captureStore()->BytesUsed.load() == int(pairs.size()); }));
    w->miAnlStop->trigger();  // a modified log with data: every log command would run now
    w->DocFlags |= DocProjectModified;
    QWidget search;  // ends before the window, which holds it as a guarded pointer
    w->setSearchWindow(&search);
    for (int door = 0; door < 4; ++door) answerSettings(false);  // a settings dialog is counted, cancelled
    sim->setCaptureIdle();
    w->miAnlStart->trigger();
    ASSERT_NE(w->CaptureThread, nullptr);
    const int flags = w->DocFlags;
    const std::string text = traceText(), dataDir = ProjectSettings.DataDir;
    const QByteArray config = readAll(dir + "kevo.cfg");
    w->UpdateStatus();  // the modified project does not enable its Save here
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w));
    // Each row: the item, its button, its keys (Alt + the menu's letter, then the item's).
    const std::tuple<QAction*, QAction*, const char*> rows[] = {{w->miNew, w->TB_New, "DN"},
                                                                {w->miOpen, w->TB_Open, "DF"},
                                                                {w->miSave, w->TB_Save, "DS"},
                                                                {w->miSaveAs, nullptr, "DU"},
                                                                {w->miSearch, w->TB_Search, "DS"},
                                                                {w->miPrint, w->TB_Print, "DD"},
                                                                {w->miNewProjekt, w->TB_NewProjekt, "PN"},
                                                                {w->miOpenProj, w->TB_OpenProj, "PO"},
                                                                {w->miSaveProj, w->TB_SaveProj, "PS"},
                                                                {w->miSaveProjAs, nullptr, "PU"},
                                                                {w->miSetup, w->TB_Setup, "PE"}};
    for (const auto& [item, button, keys] : rows) {
        SCOPED_TRACE(s8(item->objectName()));
        EXPECT_FALSE(item->isEnabled());
        EXPECT_FALSE(button && button->isEnabled());
        if (button) button->trigger();
        item->activate(QAction::Trigger);
        QTest::keyClick(w, Qt::Key(keys[0]), Qt::AltModifier);
        QWidget* popup = QApplication::activePopupWidget();
        QTest::keyClick(popup ? popup : w, Qt::Key(keys[1]));
        if ((popup = QApplication::activePopupWidget())) popup->close();
        item->setEnabled(true);  // left enabled by mistake: the command still refuses
        item->trigger();
        item->setEnabled(false);
    }
    EXPECT_TRUE(asked.empty());
    EXPECT_EQ(settingsRuns, 0);
    EXPECT_FALSE(search.isVisible());
    EXPECT_EQ(w->DocFlags, flags);
    EXPECT_EQ(captureStore()->BytesUsed.load(), int(pairs.size()));
    EXPECT_EQ(traceText(), text);
    EXPECT_EQ(readAll(dir + "kevo.cfg"), config);
    EXPECT_EQ(ProjectSettings.DataDir, dataDir);
    EXPECT_FALSE(QFileInfo::exists(q(dataDir + "I2CWatch.i2p")));
}

TEST_F(MainWindowTest, RecordingWithoutDataLeavesTheDocumentFlags) {
    ASSERT_NO_FATAL_FAILURE(linkedStart());
    sim->setCaptureIdle();
    const int before = w->DocFlags;
    w->miAnlStart->trigger();
    w->miAnlStop->trigger();
    EXPECT_EQ(w->DocFlags, before);
    EXPECT_FALSE(w->miSave->isEnabled());
    EXPECT_NE(traceText().find("Aufzeichnung beendet!"), std::string::npos);
}

TEST_F(MainWindowTest, LogAutoSaveWritesTheDefaultLogIntoTheLogFolder) {
    ASSERT_NO_FATAL_FAILURE(linkedStart());
    ProjectSettings.LogAutoSave = 1;
    const auto pairs = telegram({0xA0, 0x10, 0x20, 0x30});
    sim->setCaptureScript(pairs);
    w->miAnlStart->trigger();
    ASSERT_TRUE(waitFor([&] { return captureStore()->BytesUsed.load() == int(pairs.size()); }));
    w->miAnlStop->trigger();

    const std::string log = ProjectSettings.DataDir + "I2CWatch.i2p";
    EXPECT_EQ(readAll(log), QByteArray(reinterpret_cast<const char*>(pairs.data()), int(pairs.size())));
    const QByteArray rtf = readAll(ProjectSettings.DataDir + "I2CWatch.rtf");
    EXPECT_TRUE(rtf.startsWith("{\\rtf1"));
    EXPECT_NE(rtf.indexOf("00000  "), -1);
    EXPECT_FALSE(w->DocFlags & DocLogModified);
    EXPECT_EQ(caption(), "KEVO - Parvelo/ -Monitor - [I2CWatch.i2p]");
    EXPECT_EQ(w->LogPath, "");
    EXPECT_FALSE(w->miSave->isEnabled());
    // Stop with no recording running, even by an item left enabled: nothing is saved again.
    QFile::remove(q(log));
    w->miAnlStop->setEnabled(true);
    w->miAnlStop->trigger();
    EXPECT_FALSE(QFileInfo::exists(q(log)));
}

TEST_F(MainWindowTest, CloseDuringRecordingAsksAndCancelKeepsItRunning) {
    ASSERT_NO_FATAL_FAILURE(linkedStart());
    sim->setCaptureTraffic(rafusim::TrafficOptions{});
    w->miAnlStart->trigger();
    ASSERT_NE(w->CaptureThread, nullptr);

    answers = {{dialogs::mrEscape, {}}, {dialogs::mrCancel, {}}};
    EXPECT_FALSE(w->close());  // Esc refuses the close as Cancel does
    EXPECT_FALSE(w->close());
    ASSERT_EQ(messages().size(), 2u);
    EXPECT_EQ(messages()[0].text, "I²C-Analyzer ist gestartet, Analyzer stoppen und Programm beenden?");
    EXPECT_EQ(messages()[0].type, dialogs::MsgType::Warning);
    EXPECT_EQ(messages()[0].buttons, unsigned(dialogs::mbYes | dialogs::mbCancel));
    EXPECT_TRUE(w->isVisible());
    EXPECT_NE(w->CaptureThread, nullptr);
    EXPECT_TRUE(w->miAnlStop->isEnabled());
    const int before = captureStore()->BytesUsed.load();
    EXPECT_TRUE(waitFor([&] { return captureStore()->BytesUsed.load() > before; }));  // still recording

    answers = {{dialogs::mrYes, {}}};
    EXPECT_TRUE(w->close());
    EXPECT_EQ(w->CaptureThread, nullptr);
    EXPECT_EQ(captureStore(), nullptr);  // the buffer went after the thread
    EXPECT_EQ(LinkOpenCount, 0);
    // Project auto-save (on by default) wrote the configuration file.
    EXPECT_TRUE(QFileInfo::exists(q(dir + "kevo.cfg")));
}

TEST_F(MainWindowTest, CloseWithoutRecordingAsksNothing) {
    offlineStart();
    ProjectSettings.AutoSaveProject = 0;
    EXPECT_TRUE(w->close());
    EXPECT_TRUE(messages().empty());
    EXPECT_FALSE(QFileInfo::exists(q(dir + "kevo.cfg")));
}

TEST_F(MainWindowTest, SettingsCommandTestsThePortAndMarksOnlyChanges) {
    offlineStart();
    ASSERT_NO_FATAL_FAILURE(startSim());
    // OK without a change: the port (still none) is tested, the program stays offline.
    answerSettings(true);
    w->miSetup->trigger();
    EXPECT_EQ(settingsRuns, 2);
    EXPECT_FALSE(w->DocFlags & DocProjectModified);
    EXPECT_TRUE(OfflineMode);

    // OK after the port was set: linked, identified, configured, project modified.
    answerSettings(true, [] {
        F_Einstellungen->WorkingSettings.PortName = "COM1";
        F_Einstellungen->WorkingSettings.BaudRate = 921600;
    });
    w->TB_Setup->trigger();
    EXPECT_EQ(settingsRuns, 3);
    EXPECT_FALSE(OfflineMode);
    EXPECT_TRUE(w->DocFlags & DocProjectModified);
    EXPECT_EQ(panel(0), " RAFU Sn.: 5678");
    EXPECT_GE(sim->configCount(), 1u);

    // Cancel changes nothing.
    const auto count = sim->receivedTelegrams().size();
    answerSettings(false);
    w->miSetup->trigger();
    EXPECT_EQ(sim->receivedTelegrams().size(), count);
    EXPECT_FALSE(OfflineMode);
}

TEST_F(MainWindowTest, ToolCommandsFollowTheMasterSettingAndTheCheckMarks) {
    offlineStart();
    QWidget scan, bus;
    scan.setWindowTitle("scan");
    w->setToolWindow(ProjectFileHost::ScanForm, &scan);
    w->setToolWindow(ProjectFileHost::BusForm, &bus);
    EXPECT_FALSE(scan.testAttribute(Qt::WA_QuitOnClose));  // closing the main window ends the program

    ProjectSettings.ProbeMaster = 0;
    w->UpdateToolCommands();
    EXPECT_FALSE(w->mmTools->menuAction()->isEnabled());
    EXPECT_FALSE(w->TB_MemTool->isEnabled());
    w->TB_ScanTool->setEnabled(true);  // left enabled by mistake: the tool stays out of reach
    w->TB_ScanTool->trigger();
    EXPECT_FALSE(scan.isVisible());

    ProjectSettings.ProbeMaster = 1;
    w->miScanTool->setChecked(true);  // as a project file would restore it
    w->UpdateToolCommands();
    EXPECT_TRUE(w->mmTools->menuAction()->isEnabled());
    EXPECT_TRUE(scan.isVisible());
    EXPECT_FALSE(bus.isVisible());

    // Menu: the check mark decides (the window clears it itself when hidden).
    w->miScanTool->trigger();
    EXPECT_FALSE(scan.isVisible());
    EXPECT_TRUE(w->miScanTool->isChecked());  // the click does not toggle the mark by itself
    w->miScanTool->setChecked(false);
    w->miScanTool->trigger();
    EXPECT_TRUE(scan.isVisible());
    // Button: never hides.
    w->TB_BusTool->trigger();
    EXPECT_TRUE(bus.isVisible());
    w->TB_BusTool->trigger();
    EXPECT_TRUE(bus.isVisible());

    ProjectSettings.ProbeMaster = 0;
    w->UpdateToolCommands();
    EXPECT_FALSE(scan.isVisible());
    EXPECT_FALSE(bus.isVisible());
    w->setToolWindow(ProjectFileHost::ScanForm, nullptr);
    w->setToolWindow(ProjectFileHost::BusForm, nullptr);
}

TEST_F(MainWindowTest, ToolWindowPositionsAndCheckMarksGoThroughTheProjectFile) {
    offlineStart();
    QWidget scan;
    w->setToolWindow(ProjectFileHost::ScanForm, &scan);
    scan.move(111, 122);
    scan.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&scan));
    ASSERT_TRUE(SaveProjectFile(w->ProjectDir + "p.kvo", *w));
    scan.hide();
    scan.move(10, 10);
    w->miScanTool->setChecked(false);
    LoadProjectFile(w->ProjectDir + "p.kvo", *w);
    EXPECT_EQ(scan.pos(), QPoint(111, 122));
    EXPECT_TRUE(w->miScanTool->isChecked());
    EXPECT_FALSE(w->miBusTool->isChecked());
    EXPECT_EQ(w->formLeft(ProjectFileHost::BusForm), 25);  // no window yet: the default
    w->setToolWindow(ProjectFileHost::ScanForm, nullptr);
}

TEST_F(MainWindowTest, PrintingWritesThePdfTheUserChose) {
    offlineStart();
    w->RE_I2CMonitor->addLine("00000  »A0 00«");
    const std::string pdf = dir + "druck.pdf";
    captureStore()->AppendBusEvent(StatusStart | StatusNoError, 0xA0);
    w->UpdateFileCommands();
    ASSERT_TRUE(w->miPrint->isEnabled());
    answers = {{dialogs::mrOk, pdf}};
    w->miPrint->trigger();
    ASSERT_FALSE(asked.empty());
    EXPECT_EQ(asked.back().kind, dialogs::Kind::Printer);
    const QByteArray data = readAll(pdf);
    EXPECT_TRUE(data.startsWith("%PDF"));
    // The job title is the document title (UTF-16 big-endian in the PDF).
    QByteArray title("\xFE\xFF", 2);
    for (QChar c : QString::fromUtf8("I²C-Analyzer Protokoll")) {
        title.append(char(c.unicode() >> 8));
        title.append(char(c.unicode() & 0xFF));
    }
    EXPECT_NE(data.indexOf(title), -1);
    // Cancel prints nothing.
    QFile::remove(q(pdf));
    answers = {{dialogs::mrCancel, {}}};
    w->TB_Print->trigger();
    EXPECT_EQ(asked.back().kind, dialogs::Kind::Printer);
    EXPECT_FALSE(QFileInfo::exists(q(pdf)));

    // Without a responder the same command shows the real printer dialog, on the printer it
    // then prints on; closing it prints nothing.
    dialogs::setResponder({});
    QString shownFor;
    QTimer closer;
    closer.setInterval(10);
    QObject::connect(&closer, &QTimer::timeout, [&shownFor] {
        if (auto* d = qobject_cast<QPrintDialog*>(QApplication::activeModalWidget())) {
            shownFor = d->printer()->docName();
            d->reject();
        }
    });
    closer.start();
    w->miPrint->trigger();
    closer.stop();
    EXPECT_EQ(shownFor, QString::fromUtf8("I²C-Analyzer Protokoll"));
}

// The PDF as a reader sees it: the file with every Flate-compressed stream inflated in place.
QByteArray inflatedPdf(const QByteArray& pdf) {
    QByteArray out;
    qsizetype pos = 0, key;
    while ((key = pdf.indexOf("stream", pos)) >= 0) {
        // The data starts behind the keyword's line end (LF or CR LF).
        const qsizetype start = pdf.indexOf('\n', key) + 1, end = pdf.indexOf("endstream", start);
        if (start == 0 || end < 0) break;
        const qsizetype obj = pdf.lastIndexOf(" obj", key);
        const QByteArray data = pdf.mid(start, end - start);
        // qUncompress takes a zlib stream behind a big-endian size hint (grown as needed).
        const bool flate = obj >= 0 && pdf.mid(obj, key - obj).contains("/FlateDecode");
        out += pdf.mid(pos, start - pos) +
               (flate ? qUncompress(QByteArray("\x00\x10\x00\x00", 4) + data) : data) + "endstream";
        pos = end + 9;
    }
    return out + pdf.mid(pos);
}

TEST_F(MainWindowTest, PrintedProtocolHasTheViewsTextSizeOnAsManyPagesAsItTakes) {
    offlineStart();
    ProjectSettings.AttributeEnable = 0xFF;
    ProjectSettings.ColorDevAddr = 0x0000FF;  // red
    CaptureStore* store = captureStore();
    // A log of 304 lines: its heading, the separator and 302 telegrams.
    for (int i = 0; i < 302; ++i) {
        const std::vector<uint8_t> t = telegram({0xA0, uint8_t(i), uint8_t(i ^ 0x55)});
        for (size_t k = 0; k < t.size(); k += 2) store->AppendBusEvent(t[k], t[k + 1]);
    }
    ShowTraceOffline("I²C-Analyzer Protokolldatei: druck.i2p", 0);
    ASSERT_EQ(w->RE_I2CMonitor->document()->blockCount(), 304);

    // On A4 at a printer's resolution, read back from the PDF file.
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(q(dir + "druck.pdf"));
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setResolution(1200);
    w->printTrace(printer);
    const QString pdf = QString::fromLatin1(inflatedPdf(readAll(dir + "druck.pdf")));
    const qsizetype pages = pdf.count(QRegularExpression("/Type\\s*/Page(?![A-Za-z])"));
    EXPECT_GE(pages, 4);
    EXPECT_LE(pages, 7);
    // Text size in points: the font operator's size in the units of the page matrix (the
    // first matrix of the content: device dots to points).
    const QRegularExpressionMatch page =
        QRegularExpression("([-\\d.]+) 0 0 ([-\\d.]+) [-\\d.]+ [-\\d.]+ cm").match(pdf);
    ASSERT_TRUE(page.hasMatch());
    const double scale = std::abs(page.captured(2).toDouble());
    double smallest = 1000, largest = 0;
    for (const QRegularExpressionMatch& m : QRegularExpression("([\\d.]+) Tf\\b").globalMatch(pdf)) {
        smallest = std::min(smallest, m.captured(1).toDouble() * scale);
        largest = std::max(largest, m.captured(1).toDouble() * scale);
    }
    EXPECT_NEAR(smallest, 10.0, 0.5);  // as the rich-text copy
    EXPECT_NEAR(largest, 10.0, 0.5);
    EXPECT_TRUE(pdf.contains(QRegularExpression("\\b1 0 0 (scn|sc|rg)\\b")));  // the red addresses
}

TEST_F(MainWindowTest, AboutBoxShowsTheVersionText) {
    offlineStart();
    QTimer::singleShot(50, [] {
        if (F_Info->isVisible()) F_Info->BB_Ok->click();
    });
    w->miInfo->trigger();
    EXPECT_EQ(s8(F_Info->L_Version->text()), VersionText);
    EXPECT_EQ(VersionText.substr(0, VersionText.find('\n')), "KEVO 1.00a");
    EXPECT_EQ(std::count(VersionText.begin(), VersionText.end(), '\n'), 2);
    EXPECT_EQ(F_Info->windowTitle(), "Info");
}

TEST_F(MainWindowTest, QtDialogsSpeakGermanWhenTheTranslationsAreThere) {
    if (!QFileInfo::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) + "/qtbase_de.qm"))
        GTEST_SKIP() << "Qt's German translations are not installed";
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), "Abbrechen");
}

// An object whose event handler throws, as a conversion error in a handler would.
class Thrower : public QObject {
  public:
    bool event(QEvent* e) override {
        if (e->type() == QEvent::User) throw EConvertError("'12x' ist kein gültiger ganzzahliger Wert");
        if (e->type() == QEvent::User + 1) throw 42;
        return QObject::event(e);
    }
};

// A desktop matches the program's windows to its menu entry and icon by this name.
TEST_F(MainWindowTest, ApplicationNamesTheInstalledDesktopEntry) {
    const QFileInfo entry(QStringLiteral(KEVO_DESKTOP_ENTRY));
    ASSERT_TRUE(entry.exists()) << KEVO_DESKTOP_ENTRY;
    EXPECT_EQ(QGuiApplication::desktopFileName(), entry.completeBaseName());
}

// Every window shows the icon that the menu entry names, built into the program.
TEST_F(MainWindowTest, EveryWindowCarriesTheProgramIcon) {
    const QString icon = QFileInfo(QStringLiteral(KEVO_DESKTOP_ENTRY)).absolutePath() + "/kevo.svg";
    const QImage want = QIcon(icon).pixmap(32).toImage();
    ASSERT_FALSE(want.isNull()) << "Qt cannot draw " << s8(icon);
    offlineStart();
    for (QWidget* t : QApplication::topLevelWidgets())
        EXPECT_TRUE(t->windowIcon().pixmap(32).toImage() == want) << s8(t->objectName());
}

TEST_F(MainWindowTest, ExceptionsLeavingAHandlerAreShownAndTheLoopGoesOn) {
    Thrower t;
    QCoreApplication::postEvent(&t, new QEvent(QEvent::User));
    QCoreApplication::postEvent(&t, new QEvent(QEvent::Type(QEvent::User + 1)));
    QCoreApplication::processEvents();
    ASSERT_EQ(messages().size(), 2u);
    EXPECT_EQ(messages()[0].text, "'12x' ist kein gültiger ganzzahliger Wert");
    EXPECT_EQ(messages()[0].type, dialogs::MsgType::Error);
    EXPECT_EQ(messages()[1].text, "");
}

TEST_F(MainWindowTest, ExceptionOfACommandIsShownOnceAtTheCommandAndTheWindowGoesOn) {
    offlineStart();
    // The file dialogs fail; every other request is recorded and cancelled.
    dialogs::setResponder([this](const dialogs::Request& r) -> dialogs::Response {
        if (r.kind == dialogs::Kind::OpenFile) throw EConvertError("'x' ist kein gültiger Wert");
        asked.push_back(r);
        return {dialogs::mrCancel, {}};
    });
    for (QAction* a : {w->miOpen, w->TB_Open, w->miOpenProj, w->TB_OpenProj}) {
        asked.clear();
        EXPECT_NO_THROW(a->trigger()) << s8(a->objectName());  // nothing unwinds through QAction
        ASSERT_EQ(messages().size(), 1u) << s8(a->objectName());
        EXPECT_EQ(messages()[0].text, "'x' ist kein gültiger Wert");
        EXPECT_EQ(messages()[0].type, dialogs::MsgType::Error);
    }
    asked.clear();
    w->miAnlStart->trigger();  // the window goes on: offline, start adds its refusal line
    EXPECT_TRUE(messages().empty());
    EXPECT_EQ(traceText(), "Offline: ohne Verbindung zum RAFU ist keine Aufzeichnung möglich.");
}

// The trace view with one fault: the first write of telegram 0's line throws, as a failing
// view would inside the capture thread's decode hand-over.
class FaultyTrace : public MonitorView {
  public:
    explicit FaultyTrace(MonitorView* view) : v_(view) {}
    void addLine(const std::string& t) override { trip(t), v_->addLine(t); }
    void insertAtCaret(const std::string& t) override { trip(t), v_->insertAtCaret(t); }
    int caretPos() const override { return v_->caretPos(); }
    void setCaretPos(int pos) override { v_->setCaretPos(pos); }
    int textLength() const override { return v_->textLength(); }
    void setSelAttributes(COLORREF c, StyleSet s) override { v_->setSelAttributes(c, s); }
    void setBackgroundColor(COLORREF c) override { v_->setBackgroundColor(c); }
    void clearText() override { v_->clearText(); }
    void scrollCaretIntoView() override { v_->scrollCaretIntoView(); }
    void beginBulk() override { v_->beginBulk(); }
    void endBulk() override { v_->endBulk(); }

  private:
    void trip(const std::string& t) {
        if (armed_ && t.rfind("00000", 0) == 0) {
            armed_ = false;
            throw std::runtime_error("Ansicht voll");
        }
    }
    MonitorView* v_;
    bool armed_ = true;
};

TEST_F(MainWindowTest, ExceptionInACaptureHandOverStillStopsTheAdapterAndEndsWithTheFooter) {
    ASSERT_NO_FATAL_FAILURE(linkedStart());
    FaultyTrace faulty(w->RE_I2CMonitor);
    setMonitorView(&faulty);
    struct Restore {
        TF_IIcCtrl* w;
        ~Restore() { setMonitorView(w->RE_I2CMonitor); }
    } restore{w};
    sim->setCaptureScript(telegram({0xA0, 0x00, 0x11}));
    sim->clearLog();
    // What had happened when the message came.
    bool stopSent = false, footer = false, stopped = false;
    dialogs::setResponder([&](const dialogs::Request& r) {
        asked.push_back(r);
        const auto tel = sim->receivedTelegrams();
        stopSent = std::find(tel.begin(), tel.end(), "10") != tel.end();
        footer = traceText().find(" - Aufzeichnung beendet! \n" + std::string(70, '-') + "\n") !=
                 std::string::npos;
        stopped = !w->CaptureThread && w->miAnlStart->isEnabled() && LinkOpenCount == 0;
        return dialogs::Response{dialogs::mrOk, {}};
    });

    w->miAnlStart->trigger();
    ASSERT_TRUE(waitFor([&] { return !messages().empty(); }, 5000));  // it comes by itself
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_EQ(messages()[0].text, "Ansicht voll");
    EXPECT_TRUE(stopSent);
    EXPECT_TRUE(footer) << traceText();
    EXPECT_TRUE(stopped);
    EXPECT_NE(traceText().find("00000  »A0 00 11«\n"), std::string::npos) << traceText();
    EXPECT_TRUE(w->DocFlags & DocLogModified);

    // The next recording works as ever.
    w->miAnlStart->trigger();
    ASSERT_NE(w->CaptureThread, nullptr);
    w->miAnlStop->trigger();
    EXPECT_EQ(messages().size(), 1u);
    EXPECT_EQ(LinkOpenCount, 0);
}

}  // namespace
