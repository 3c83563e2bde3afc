// The address-scan tool on the offscreen platform against the simulated bus: the scan with its
// clock, retries and progress, the address lists, and the hand-over to the telegram tool.
#include <set>

#include <QComboBox>
#include <QListWidget>
#include <QProgressBar>

#include "configfile.h"
#include "linkproto.h"
#include "tools_fixture.h"
#include "wait.h"

KEVO_TEST_APPLICATION(KevoApplication);

using namespace kevotest;

namespace {

// The positions a progress bar showed when it was painted.
struct PaintedValues : QObject {
    explicit PaintedValues(QProgressBar* bar) : bar_(bar) { bar->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint) values.insert(bar_->value());
        return false;
    }
    std::set<int> values;

  private:
    QProgressBar* bar_;
};

class ScanToolTest : public ToolWindowTest {
  protected:
    TF_ScanTool* t = nullptr;

    void SetUp() override {
        ToolWindowTest::SetUp();
        ASSERT_NO_FATAL_FAILURE(start());
        t = F_ScanTool;
        w->TB_ScanTool->trigger();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(t));
        sim->clearLog();
    }

    std::vector<std::string> found() const {
        std::vector<std::string> out;
        for (int i = 0; i < t->LB_DeviceList->count(); ++i)
            out.push_back(s8(t->LB_DeviceList->item(i)->text()));
        return out;
    }
    void choose(QComboBox* box, const QString& text) {
        const int i = box->findText(text);
        ASSERT_GE(i, 0) << s8(text);
        box->setCurrentIndex(i);
        emit box->activated(i);  // as the user's choice
    }
    void scan() {
        const int count = LinkOpenCount;
        t->TB_Scan->trigger();
        EXPECT_EQ(LinkOpenCount, count);
        EXPECT_FALSE(F_Fortschritt->isVisible());
    }
};

}  // namespace

TEST_F(ScanToolTest, ScansTheWholeRangeAtItsClockAndRestoresTheMasterClock) {
    EXPECT_TRUE(w->miScanTool->isChecked());
    EXPECT_EQ(t->windowTitle(), "I²C Bus Adress-Scan");
    std::vector<int> progress;
    QObject::connect(F_Fortschritt->PB_Fortschritt, &QProgressBar::valueChanged,
                     [&progress](int v) { progress.push_back(v); });
    PaintedValues painted(F_Fortschritt->PB_Fortschritt);
    scan();
    EXPECT_EQ(found(), (std::vector<std::string>{"0x90", "0xA0", "0xA4", "0xAE"}));
    EXPECT_EQ(F_Fortschritt->windowTitle(), "I²C Adress-Scan");

    // The clock divisor of 100 kHz at 24 MHz, one probe per address, then the configuration.
    const std::vector<std::string> tel = sim->receivedTelegrams();
    auto clock = std::find(tel.begin(), tel.end(), "0T002F");
    ASSERT_NE(clock, tel.end());
    EXPECT_EQ(*(clock + 1), ",W00,10,");
    // One probe per address (a reply that comes late on a loaded machine is tried again).
    const std::vector<std::string> bus = sim->busLog();
    EXPECT_EQ(std::set<std::string>(bus.begin(), bus.end()).size(), 112u);
    EXPECT_EQ(tel.back().substr(0, 2), "0L");
    EXPECT_EQ(ProjectSettings.MasterClockHz, 100000);
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back(), 99);
    // The user sees the bar advance: every position was painted while the scan blocked.
    for (int v : progress) EXPECT_TRUE(painted.values.count(v)) << v << " never painted";

    // A second scan appends.
    scan();
    EXPECT_EQ(found().size(), 8u);
    t->TB_Clear->trigger();
    EXPECT_TRUE(found().empty());
}

TEST_F(ScanToolTest, StatusEightIsTriedThreeTimes) {
    choose(t->CB_vonAdresse, "0xA0");
    choose(t->CB_bisAdresse, "0xA4");
    sim->setAddressStatus(0xA0, "08", 2);  // third try answers
    sim->setAddressStatus(0xA4, "08", 3);  // never within three tries
    scan();
    EXPECT_EQ(found(), std::vector<std::string>{"0xA0"});
    EXPECT_EQ(sim->busLog().size(), 3u + 1u + 3u);
    // A close request of the tool or of the main window during a scan waits for its end.
    for (QWidget* window : {static_cast<QWidget*>(t), static_cast<QWidget*>(w)}) {
        QMetaObject::invokeMethod(window, &QWidget::close, Qt::QueuedConnection);
        scan();
        EXPECT_TRUE(window->isVisible() && QTest::qWaitFor([window] { return !window->isVisible(); }));
    }

    // A status that is no number reaches the event loop's box; link and clock are put right first.
    sim->setReply(",W00,A0,", ",wXY");
    scan();
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_EQ(sim->receivedTelegrams().back().substr(0, 2), "0L");
    // Answers later than the wait (the link held, as by a recording): no probe takes another's.
    t->TB_ClearClick();
    choose(t->CB_vonAdresse, "0x90");
    choose(t->CB_bisAdresse, "0x92");
    ASSERT_TRUE(ComOpen());
    sim->setReplyDelayMs(kLateReplyMs);
    scan();
    ComClose();
    for (const std::string& a : found()) EXPECT_EQ(a, "0x90");
}

TEST_F(ScanToolTest, ProbesAcknowledgedAndNeverAnsweredEndTheScanInSeconds) {
    // A bus held low: the adapter acknowledges every probe and answers none. At the USB rate.
    const auto probe = [](const std::string& t) { return t.rfind(",W00,", 0) == 0; };
    sim->setReplyHandler(
        [probe](const std::string& t) { return probe(t) ? std::optional(std::string()) : std::nullopt; });
    BSTR port = SysAllocStringByteLen("COM1", 4);
    int32_t baud = 921600;
    VlCOMPortSel(&port, &baud);
    SysFreeString(port);
    const auto t0 = std::chrono::steady_clock::now();
    scan();
    const long long ms = kevosupport::msSince(t0);
    const auto tel = sim->receivedTelegrams();
    const long probes = std::count_if(tel.begin(), tel.end(), probe);
    EXPECT_EQ(probes, 3 * 112);
    // No probe waits for the answer of the one before: each costs at most one attempt's wait
    // for the acknowledge and the answer wait.
    EXPECT_LT(ms, probes * (vlcom::kAttemptMs + vlcom::answerRounds(baud)));
    EXPECT_TRUE(found().empty());
}

TEST_F(ScanToolTest, ClockListAndAddressListsFollowTheirRules) {
    EXPECT_EQ(t->CB_MClk->count(), 55);
    EXPECT_EQ(t->CB_MClk->currentText(), "100 kHz");
    choose(t->CB_MClk, "400 kHz");
    EXPECT_EQ(t->ScanClockDivider, 11u);
    EXPECT_EQ(ProjectSettings.MasterClockHz, 100000) << "the scan's clock is never stored";
    choose(t->CB_vonAdresse, "0xA0");
    choose(t->CB_bisAdresse, "0xA0");
    EXPECT_EQ(t->CB_vonAdresse->itemText(t->CB_vonAdresse->count() - 1), "0xA0")
        << "the from-list ends at the to-address";
    scan();
    EXPECT_NE(std::find(sim->receivedTelegrams().begin(), sim->receivedTelegrams().end(), "0T000B"),
              sim->receivedTelegrams().end());
    EXPECT_EQ(sim->busLog(), std::vector<std::string>{",W00,A0,"});
    EXPECT_EQ(found(), std::vector<std::string>{"0xA0"});
    EXPECT_EQ(sim->busClockDivisor(), 0x2F) << "the master clock is back";

    // From 0x80: the to-list runs 0x80..0xEE and keeps ScanTo chosen.
    choose(t->CB_bisAdresse, "0xEE");
    choose(t->CB_vonAdresse, "0x80");
    EXPECT_EQ(ProjectSettings.ScanFrom, 0x80);
    EXPECT_EQ(t->CB_bisAdresse->itemText(0), "0x80");
    EXPECT_EQ(t->CB_bisAdresse->count(), 56);
    EXPECT_EQ(t->CB_bisAdresse->currentText(), "0xEE");

    // A 36 MHz adapter: 80 clocks; the divisor follows the master clock again at each show.
    t->hide();
    EXPECT_FALSE(w->miScanTool->isChecked());
    DeviceInfo.SystemClock = 36000000;
    t->show();
    EXPECT_EQ(t->CB_MClk->count(), 80);
    EXPECT_EQ(t->ScanClockDivider, 71u);

    // 30 kHz is no item: the list shows the next one up, the divisor is the master clock's.
    t->hide();
    DeviceInfo.SystemClock = 24000000;
    ProjectSettings.MasterClockHz = 30000;
    t->show();
    EXPECT_EQ(t->CB_MClk->currentText(), "50 kHz");
    EXPECT_EQ(t->ScanClockDivider, 159u);
}

// The three lists on two paths: a key on the list (the user's choice, which the list reports)
// and a change of the shown entry that no choice reports (as an accessibility layer that
// selects the entry itself makes it). The scan's clock and range follow the shown entry.
TEST_F(ScanToolTest, ListsFollowTheShownEntryOnEveryPath) {
    struct Row {
        QComboBox* list;
        int step;
        std::uint32_t divisor;
        std::int32_t from, to;
    } const rows[] = {
        {t->CB_MClk, +1, 46, 16, 238},        // 102 kHz
        {t->CB_vonAdresse, +1, 46, 18, 238},  // 0x12
        {t->CB_bisAdresse, -1, 46, 18, 236},  // 0xEC
        {t->CB_MClk, -1, 47, 18, 236},        // 100 kHz
    };
    for (bool byKey : {true, false}) {
        SCOPED_TRACE(byKey ? "key" : "entry set");
        t->hide();
        ProjectSettings.ScanFrom = 16;
        ProjectSettings.ScanTo = 238;
        t->show();
        ASSERT_EQ(t->ScanClockDivider, 47u);
        for (const Row& r : rows) {
            SCOPED_TRACE(s8(r.list->objectName()));
            if (byKey) {
                r.list->setFocus();
                QTest::keyClick(r.list, r.step > 0 ? Qt::Key_Down : Qt::Key_Up);
            } else {
                r.list->setCurrentIndex(r.list->currentIndex() + r.step);
            }
            EXPECT_EQ(t->ScanClockDivider, r.divisor);
            EXPECT_EQ(ProjectSettings.ScanFrom, r.from);
            EXPECT_EQ(ProjectSettings.ScanTo, r.to);
        }
    }
}

TEST_F(ScanToolTest, DoubleClickHandsTheAddressToTheVisibleTelegramTool) {
    choose(t->CB_vonAdresse, "0x90");
    choose(t->CB_bisAdresse, "0x90");
    scan();
    ASSERT_EQ(found(), std::vector<std::string>{"0x90"});
    t->LB_DeviceList->setCurrentRow(0);
    t->LB_DeviceListDblClick();  // the telegram tool is hidden: nothing happens
    EXPECT_EQ(ProjectSettings.BusDevAddr, 160);

    w->TB_BusTool->trigger();
    ASSERT_TRUE(F_BusTool->isVisible());
    t->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(t));
    const QRect r = t->LB_DeviceList->visualItemRect(t->LB_DeviceList->item(0));
    QTest::mouseClick(t->LB_DeviceList->viewport(), Qt::LeftButton, {},
                      r.center());  // the press a double click follows
    QTest::mouseDClick(t->LB_DeviceList->viewport(), Qt::LeftButton, {}, r.center());
    EXPECT_EQ(F_BusTool->E_DevAdr->text(), "0x90");
    EXPECT_EQ(ProjectSettings.BusDevAddr, 0x90);
    t->LB_DeviceList->addItem("0xF4");  // beyond the field: the setting takes what it shows
    t->LB_DeviceList->setCurrentRow(1);
    t->LB_DeviceListDblClick();
    EXPECT_EQ(F_BusTool->E_DevAdr->text(), "0xF");
    EXPECT_EQ(ProjectSettings.BusDevAddr, 0xF);

    // Positions and visibility reach the project file through the main window.
    t->move(300, 200);
    ASSERT_TRUE(SaveProjectFile(w->ProjectDir + "p.kvo", *w));
    t->hide();
    F_BusTool->hide();
    LoadProjectFile(w->ProjectDir + "p.kvo", *w);
    EXPECT_EQ(t->pos(), QPoint(300, 200));
    EXPECT_TRUE(w->miScanTool->isChecked());
    EXPECT_TRUE(w->miBusTool->isChecked());
}

// A project opened or created while the scan is open: both lists show its range, the range scanned.
TEST_F(ScanToolTest, OpenedOrNewProjectShowsItsRangeInBothLists) {
    ProjectSettings.AutoSaveProject = 0;
    ProjectSettings.ScanFrom = 0x90, ProjectSettings.ScanTo = 0x92;
    const std::string opened = w->ProjectDir + "p.kvo";
    ASSERT_TRUE(SaveProjectFile(opened, *w));
    ProjectSettings.ScanFrom = 0xA0, ProjectSettings.ScanTo = 0xA2;
    w->ProjectPath.clear();
    ASSERT_TRUE(SaveProjectFile("", *w));
    for (bool open : {true, false}) {
        SCOPED_TRACE(open ? "open" : "new");
        ProjectSettings.ScanFrom = 16, ProjectSettings.ScanTo = 238;
        t->hide();
        t->show();
        w->DocFlags = 0;
        answers = {{dialogs::mrOk, open ? opened : std::string()}};
        open ? w->miOpenProjClick() : w->miNewProjektClick();
        EXPECT_EQ(t->CB_vonAdresse->currentText(), open ? "0x90" : "0xA0");
        EXPECT_EQ(t->CB_bisAdresse->currentText(), open ? "0x92" : "0xA2");
        EXPECT_EQ(t->CB_bisAdresse->count(), 0xEE / 2 - (open ? 0x90 : 0xA0) / 2 + 1);
        t->TB_ClearClick();
        scan();
        EXPECT_EQ(found(), std::vector<std::string>{open ? "0x90" : "0xA0"});
    }
}
