// Shared set-up of the settings dialog tests: a real TF_Einstellungen on the offscreen
// platform, the settings record at its built-in values, the dialog seam recording every
// request and answering from a script.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <QWindow>

#include <deque>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "deviceinfo.h"
#include "dialogseam.h"
#include "einstellungen.h"
#include "projectsettings.h"
#include "qtapp.h"
#include "vclcontrols.h"

namespace dlgtest {

// Every field of the record, to tell whether anything was written.
inline std::string dump(const TProjectSettings& s) {
    std::ostringstream o;
    o << s.DataDir << '|' << s.AutoSaveProject << '|' << s.ProbeMaster << '|' << s.ProbeBlue << '|'
      << s.ProbeWhite << '|' << s.ProbeRed << '|' << s.PosInputLogic << '|' << s.LogicLevel << '|'
      << s.ClockDivider << '|' << s.TriggerMode << '|' << s.BusFilter << '|' << s.DataFilter << '|'
      << s.DataFilterSwitches << '|' << s.AttributeMode << '|' << int(s.StyleDefault) << '|'
      << int(s.StyleNak) << '|' << int(s.StyleError) << '|' << int(s.StylePort) << '|' << s.ColorBackground
      << '|' << s.ColorText << '|' << s.ColorStartStop << '|' << s.ColorDevAddr << '|' << s.ColorSubAddr
      << '|' << s.ColorFromMaster << '|' << s.ColorToMaster << '|' << s.AttributeEnable << '|'
      << s.LogAutoSave << '|' << s.MasterClockHz << '|' << s.ScanFrom << '|' << s.ScanTo << '|'
      << s.BusDevAddr << '|' << s.BusSubBytes << '|' << s.BusSubAddr << '|' << s.BusDataBytes << '|'
      << s.MemDevAddr << '|' << s.MemTwoSubBytes << '|' << s.MemBytes << '|' << s.MemType << '|'
      << s.MemWritePage << '|' << s.MemHex << '|' << s.PortName << '|' << s.BaudRate;
    return o.str();
}

inline std::string s8(const QString& s) {
    return s.toStdString();
}

inline std::vector<std::string> items(const QComboBox* c) {
    std::vector<std::string> out;
    for (int i = 0; i < c->count(); ++i) out.push_back(s8(c->itemText(i)));
    return out;
}

class SettingsDialogTest : public ::testing::Test {
  protected:
    std::unique_ptr<TF_Einstellungen> dlg;
    std::string projectDir = "/tmp/kevo-test/Data/";
    std::string programDir = "/opt/kevo/";
    std::vector<dialogs::Request> asked;
    std::deque<std::function<dialogs::Response(const dialogs::Request&)>> answers;  // empty: Cancel

    void SetUp() override {
        resetProjectSettings();
        DeviceInfo = TDeviceInfo{};
        dialogs::setResponder([this](const dialogs::Request& r) {
            asked.push_back(r);
            if (answers.empty()) return dialogs::Response{dialogs::mrCancel, {}};
            auto a = answers.front();
            answers.pop_front();
            return a(r);
        });
        dlg = std::make_unique<TF_Einstellungen>();
        dlg->ProjectDirRef = &projectDir;
        dlg->ProgramDirRef = &programDir;
    }

    void TearDown() override {
        dlg.reset();
        dialogs::setResponder({});
    }

    // Shows the dialog (one activation) and makes it the active window, so that the focus
    // moves as it does for a user.
    void open() {
        dlg->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dlg.get()));
        QApplication::setActiveWindow(dlg.get());
        ASSERT_TRUE(QTest::qWaitFor([this] { return dlg->isActiveWindow(); }, 5000));
    }

    int pressOk() {
        QTest::mouseClick(dlg->BB_Ok, Qt::LeftButton);
        EXPECT_FALSE(dlg->isVisible());
        return dlg->result();
    }

    int pressCancel() {
        QTest::mouseClick(dlg->BB_Cancel, Qt::LeftButton);
        EXPECT_FALSE(dlg->isVisible());
        return dlg->result();
    }

    // A user's choice in a list: the entry is selected and the list reports it.
    static void choose(QComboBox* list, int index) {
        list->setCurrentIndex(index);
        emit list->activated(index);
    }

    // Brings the page that holds w to the front.
    void showPageOf(QWidget* w) {
        for (QWidget* p = w; p; p = p->parentWidget())
            if (dlg->PC_Einstellungen->indexOf(p) >= 0) dlg->PC_Einstellungen->setCurrentWidget(p);
    }

    void click(QWidget* w) {
        showPageOf(w);
        QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(6, w->height() / 2));
    }

    // A right-button press and release as real input delivers it: through the window; at the
    // middle of w unless a point of w is given.
    void rightClick(QWidget* w, QPoint pos = QPoint(-1, -1)) {
        showPageOf(w);
        QWindow* win = dlg->windowHandle();
        if (pos == QPoint(-1, -1)) pos = QPoint(w->width() / 2, w->height() / 2);
        const QPoint at = w->mapTo(dlg.get(), pos);
        QTest::mouseClick(win, Qt::RightButton, {}, at);
    }

    // Gives w the focus as a user's click or tab would.
    void focus(QWidget* w) {
        showPageOf(w);
        w->setFocus(Qt::TabFocusReason);
        QApplication::processEvents();
    }

    void type(QLineEdit* e, const char* text) {
        focus(e);
        QTest::keyClicks(e, QString::fromUtf8(text));
    }
};

}  // namespace dlgtest
