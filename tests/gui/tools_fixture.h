// The tool windows as the program entry makes them (after the main window, the settings
// dialog and the about box; the progress dialog after them), linked to the simulator on a pty.
#pragma once

#include <QAction>
#include <QGroupBox>
#include <QLineEdit>
#include <QRadioButton>

#include "bustool.h"
#include "fortschritt.h"
#include "mainwindow_fixture.h"
#include "scantool.h"

namespace kevotest {

class ToolWindowTest : public MainWindowTest {
  protected:
    void TearDown() override {
        MainWindowTest::TearDown();  // the tool windows go with the main window
        F_ScanTool = nullptr;
        F_BusTool = nullptr;
        F_Fortschritt = nullptr;
    }

    // A linked start with the tools available and the simulated bus of the demo.
    void start() {
        ASSERT_NO_FATAL_FAILURE(startSim());
        sim->addDevice(0xA0, {rafusim::DeviceKind::Eeprom, 256, 8, 1, 0xFF});
        sim->addDevice(0xA4, {rafusim::DeviceKind::Eeprom, 8192, 32, 2, 0xFF});
        sim->addDevice(0xAE, {rafusim::DeviceKind::Ram, 256, 1, 1, 0x00});
        sim->addDevice(0x90, {rafusim::DeviceKind::Register, 16, 1, 1, 0x00});
        sim->setMemory(0x90, 0, {0x19, 0x80, 0x4B, 0x00, 0x50});
        writeConfig("COM1", kLinkedBaud);
        ProjectSettings.ProbeMaster = 1;
        create();
        F_ScanTool = new TF_ScanTool(w);
        w->setToolWindow(ProjectFileHost::ScanForm, F_ScanTool);
        F_BusTool = new TF_BusTool(w);
        w->setToolWindow(ProjectFileHost::BusForm, F_BusTool);
        F_Fortschritt = new TF_Fortschritt(w);
        ASSERT_NO_FATAL_FAILURE(showWindow());
        ASSERT_FALSE(OfflineMode);
        sim->clearLog();
    }

    // Types into a field and leaves it by the tab key, as a user does.
    static void typeAndLeave(QLineEdit* e, const QString& text) {
        type(e, text);
        QTest::keyClick(e, Qt::Key_Tab);
    }
    static void type(QLineEdit* e, const QString& text) {
        e->activateWindow();
        e->setFocus(Qt::TabFocusReason);
        e->selectAll();
        QTest::keyClick(e, Qt::Key_Delete);
        QTest::keyClicks(e, text);
    }
};

}  // namespace kevotest
