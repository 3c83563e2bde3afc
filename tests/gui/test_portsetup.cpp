// The link library's COM-port setup dialog, driven through VlCOMPortSetup with the
// adapter simulator's ptys as ports and a second process holding a port.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "accessdenied.h"
#include "qtapp.h"
#include "rafusim.h"
#include "vl-com.h"

namespace {

KEVO_TEST_APPLICATION(QApplication);

// Another process that opens a port and holds it until released.
class PortHolder {
  public:
    bool hold(const std::string& device) {
        int ready[2], release[2];
        if (pipe(ready) != 0 || pipe(release) != 0) return false;
        pid_ = fork();
        if (pid_ == 0) {
            ::close(ready[0]);
            ::close(release[1]);
            const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
            const char ok = (fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) == 0) ? 1 : 0;
            if (write(ready[1], &ok, 1) != 1) _exit(1);
            char c;
            while (read(release[0], &c, 1) < 0) {
            }
            _exit(0);
        }
        ::close(ready[1]);
        ::close(release[0]);
        release_ = release[1];
        char ok = 0;
        const bool got = read(ready[0], &ok, 1) == 1;
        ::close(ready[0]);
        return pid_ > 0 && got && ok == 1;
    }
    ~PortHolder() {
        if (release_ >= 0) ::close(release_);
        if (pid_ > 0) waitpid(pid_, nullptr, 0);
    }

  private:
    pid_t pid_ = -1;
    int release_ = -1;
};

struct SetupResult {
    std::string port;
    bool portNull = false;
    int32_t baud = 0;
};

class PortSetupTest : public ::testing::Test {
  protected:
    QTemporaryDir dir;
    std::vector<std::unique_ptr<rafusim::Simulator>> sims;
    bool dialogSeen = false;

    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        qputenv("VLCOM_PORT_DIR", dir.path().toUtf8());
        // The fixed devices of names without a link are looked for here, never in /dev.
        qputenv("VLCOM_DEV_ROOT", (dir.path() + "/root").toUtf8());
    }

    void TearDown() override {
        VlCOMClosePort();
        for (auto& s : sims) s->stop();
        qunsetenv("VLCOM_DEV_ROOT");
    }

    // A simulator on the device that a port name without a link stands for ("ttyUSB0").
    rafusim::Simulator* device(const std::string& name) {
        rafusim::Simulator::Options o;
        o.portName = name;
        o.portDir = (dir.path() + "/root/dev").toStdString();
        sims.push_back(std::make_unique<rafusim::Simulator>(o));
        return sims.back()->start() ? sims.back().get() : nullptr;
    }

    // Ports COM1..COM15: the given ones on simulator ptys, every other one absent (a link
    // to nothing keeps COM1..COM4 from standing for /dev/ttyS*).
    void makePorts(const std::vector<int>& live) {
        for (int n = 1; n <= 15; ++n) {
            const std::string name = "COM" + std::to_string(n);
            if (std::find(live.begin(), live.end(), n) == live.end()) {
                QFile::link(dir.path() + "/missing", dir.path() + "/" + QString::fromStdString(name));
                continue;
            }
            rafusim::Simulator::Options o;
            o.portName = name;
            o.portDir = dir.path().toStdString();
            sims.push_back(std::make_unique<rafusim::Simulator>(o));
            ASSERT_TRUE(sims.back()->start()) << sims.back()->lastError();
        }
    }

    rafusim::Simulator* sim(const std::string& name) {
        for (auto& s : sims)
            if (s->portName() == name) return s.get();
        return nullptr;
    }

    // Runs VlCOMPortSetup with the caller's values; act works the dialog once it is shown.
    SetupResult run(const std::string& port, int32_t baud, std::function<void(QDialog*)> act) {
        dialogSeen = false;
        // Lives only for this call: no timer is left behind when no dialog came.
        QTimer timer;
        timer.setInterval(10);
        QObject::connect(&timer, &QTimer::timeout, [this, &timer, act] {
            auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!d) return;
            timer.stop();
            dialogSeen = true;
            act(d);
            if (d->isVisible()) d->done(0);  // never leave a test blocked on the dialog
        });
        timer.start();
        BSTR p =
            port.empty() ? nullptr : SysAllocStringByteLen(port.data(), static_cast<uint32_t>(port.size()));
        int32_t b = baud;
        VlCOMPortSetup(&p, &b);
        SetupResult r;
        r.portNull = p == nullptr;
        r.port = p ? std::string(p, SysStringByteLen(p)) : std::string();
        r.baud = b;
        SysFreeString(p);
        return r;
    }

    static QListWidget* list(QDialog* d) { return d->findChild<QListWidget*>("1001"); }
    static QRadioButton* baud(QDialog* d, int id) { return d->findChild<QRadioButton*>(QString::number(id)); }
    static QPushButton* button(QDialog* d, int id) { return d->findChild<QPushButton*>(QString::number(id)); }

    static std::vector<std::string> entries(QDialog* d) {
        std::vector<std::string> out;
        for (int i = 0; i < list(d)->count(); ++i) out.push_back(list(d)->item(i)->text().toStdString());
        return out;
    }

    static std::string selected(QDialog* d) {
        const auto sel = list(d)->selectedItems();
        return sel.isEmpty() ? std::string("<none>") : sel.first()->text().toStdString();
    }

    static std::vector<int> checkedBauds(QDialog* d) {
        std::vector<int> out;
        for (int id = 1003; id <= 1008; ++id)
            if (baud(d, id)->isChecked()) out.push_back(id);
        return out;
    }

    static void clickEntry(QDialog* d, const QString& text) {
        QListWidget* l = list(d);
        const auto found = l->findItems(text, Qt::MatchExactly);
        ASSERT_FALSE(found.isEmpty());
        QTest::mouseClick(l->viewport(), Qt::LeftButton, {}, l->visualItemRect(found.first()).center());
    }
};

TEST_F(PortSetupTest, ListsFreeAndBusyPortsAndPreselectsTheCallersPort) {
    makePorts({1, 3});
    PortHolder holder;
    ASSERT_TRUE(holder.hold(sim("COM3")->slavePath()));

    std::vector<std::string> shown;
    std::string sel;
    std::vector<int> bauds;
    const SetupResult r = run("COM3", 115200, [&](QDialog* d) {
        shown = entries(d);
        sel = selected(d);
        bauds = checkedBauds(d);
        QTest::mouseClick(button(d, 1010), Qt::LeftButton);
    });
    ASSERT_TRUE(dialogSeen);
    EXPECT_EQ(shown, (std::vector<std::string>{"COM1", "COM3, belegt"}));
    EXPECT_EQ(sel, "COM3, belegt");
    EXPECT_EQ(bauds, std::vector<int>{1007});
    // The whole text comes back; no port bears it, so the next port test fails.
    EXPECT_EQ(r.port, "COM3, belegt");
    EXPECT_EQ(r.baud, 115200);
    BSTR p = SysAllocStringByteLen(r.port.data(), static_cast<uint32_t>(r.port.size()));
    int32_t b = r.baud;
    EXPECT_EQ(VlCOMPortSel(&p, &b), 0);
    SysFreeString(p);
}

// A USB converter (ttyUSB0) and a USB CDC device (ttyACM0) show up as COM5 and COM9 with no
// link; a device the user may not open is listed as a port in use, and the port test fails.
TEST_F(PortSetupTest, UsbDevicesNeedNoLinkAndARefusedDeviceIsBusy) {
    makePorts({1, 2});
    QFile::remove(dir.path() + "/COM5");
    QFile::remove(dir.path() + "/COM9");
    ASSERT_NE(device("ttyUSB0"), nullptr);
    rafusim::Simulator* acm = device("ttyACM0");
    ASSERT_NE(acm, nullptr);

    kevosupport::DeviceAccessDenied denied(acm->slavePath());
    ASSERT_TRUE(denied.active());
    std::vector<std::string> shown;
    run("COM5", 921600, [&](QDialog* d) {
        shown = entries(d);
        QTest::mouseClick(button(d, 1009), Qt::LeftButton);
    });
    EXPECT_EQ(shown, (std::vector<std::string>{"COM1", "COM2", "COM5", "COM9, belegt"}));
    BSTR p = SysAllocStringByteLen("COM9", 4);
    int32_t b = 921600;
    EXPECT_EQ(VlCOMPortSel(&p, &b), 0);
    EXPECT_EQ(VlCOMOpenPort(), 0);
    denied.restore();
    EXPECT_EQ(VlCOMPortSel(&p, &b), 1);
    SysFreeString(p);
    EXPECT_EQ(VlCOMOpenPort(), 64);
}

TEST_F(PortSetupTest, LayoutCaptionsAndButtons) {
    makePorts({1});
    run("", 0, [&](QDialog* d) {
        EXPECT_EQ(d->windowTitle(), "COM-Port Setup");
        EXPECT_TRUE(d->isModal());
        const char* captions[] = {"9600", "19200", "38400", "57600", "115200", "USB"};
        for (int i = 0; i < 6; ++i) EXPECT_EQ(baud(d, 1003 + i)->text(), captions[i]);
        EXPECT_EQ(button(d, 1009)->text(), "Abbruch");
        EXPECT_EQ(button(d, 1010)->text(), "Ok");
        EXPECT_FALSE(button(d, 1009)->isDefault());
        EXPECT_FALSE(button(d, 1010)->autoDefault());
        auto* portGroup = d->findChild<QGroupBox*>("1002");
        auto* baudGroup = d->findChild<QGroupBox*>("1011");
        ASSERT_TRUE(portGroup && baudGroup);
        EXPECT_EQ(portGroup->title(), "Serieller Port");
        EXPECT_EQ(baudGroup->title(), "Baudrate");
        EXPECT_TRUE(portGroup->geometry().contains(list(d)->geometry()));
        for (int id = 1003; id <= 1008; ++id)
            EXPECT_TRUE(baudGroup->geometry().contains(baud(d, id)->geometry()));
        // Tab order: list, six baud buttons, "Abbruch", "Ok".
        std::vector<QWidget*> chain;
        QWidget* w = list(d);
        for (int i = 0; i < 9; ++i, w = w->nextInFocusChain()) {
            while (w->focusPolicy() == Qt::NoFocus) w = w->nextInFocusChain();
            chain.push_back(w);
        }
        EXPECT_EQ(chain[1], baud(d, 1003));
        EXPECT_EQ(chain[6], baud(d, 1008));
        EXPECT_EQ(chain[7], button(d, 1009));
        EXPECT_EQ(chain[8], button(d, 1010));
        // Every caption is shown whole.
        for (int id = 1003; id <= 1010; ++id) {
            auto* w = d->findChild<QAbstractButton*>(QString::number(id));
            ASSERT_TRUE(w) << id;
            EXPECT_LE(w->sizeHint().width(), w->width()) << id;
        }
        // Escape and Enter end nothing: neither button is the cancel or the default one.
        QTest::keyClick(d, Qt::Key_Escape);
        QTest::keyClick(list(d), Qt::Key_Return);
        EXPECT_TRUE(d->isVisible());
        d->done(0);
    });
    EXPECT_TRUE(dialogSeen);
}

TEST_F(PortSetupTest, AbbruchAndTheCloseBoxGiveTheCallersValuesBack) {
    makePorts({1, 2});
    SetupResult r = run("COM2", 4711, [&](QDialog* d) {
        EXPECT_TRUE(checkedBauds(d).empty());
        clickEntry(d, "COM1");
        QTest::mouseClick(baud(d, 1004), Qt::LeftButton);
        QTest::mouseClick(button(d, 1009), Qt::LeftButton);
    });
    EXPECT_TRUE(dialogSeen);
    EXPECT_EQ(r.port, "COM2");
    EXPECT_EQ(r.baud, 4711);

    r = run("COM2", 9600, [&](QDialog* d) {
        clickEntry(d, "COM1");
        d->close();
    });
    EXPECT_TRUE(dialogSeen);
    EXPECT_EQ(r.port, "COM2");
    EXPECT_EQ(r.baud, 9600);
}

TEST_F(PortSetupTest, OkWithNothingSelectedGivesTheEmptyNameAndKeepsAnOddRate) {
    makePorts({1, 2});
    std::string sel;
    const SetupResult r = run("COM9", 4711, [&](QDialog* d) {
        sel = selected(d);
        QTest::mouseClick(button(d, 1010), Qt::LeftButton);
    });
    EXPECT_EQ(sel, "<none>");
    EXPECT_TRUE(r.portNull);
    EXPECT_EQ(r.baud, 4711);
}

TEST_F(PortSetupTest, EnterPressesTheButtonThatHasTheFocus) {
    makePorts({1, 2});
    const SetupResult r = run("COM9", 9600, [&](QDialog* d) {
        button(d, 1010)->setFocus(Qt::TabFocusReason);
        QTest::keyClick(button(d, 1010), Qt::Key_Return);
    });
    EXPECT_TRUE(r.portNull);  // "Ok" with no entry selected, not the caller's "COM9"
}

TEST_F(PortSetupTest, UsbStandsFor921600AndTheUsersChoiceComesBack) {
    makePorts({1, 2});
    std::vector<int> before, after;
    const SetupResult r = run("COM2", 921600, [&](QDialog* d) {
        before = checkedBauds(d);
        clickEntry(d, "COM1");
        QTest::mouseClick(baud(d, 1003), Qt::LeftButton);
        after = checkedBauds(d);
        QTest::mouseClick(button(d, 1010), Qt::LeftButton);
    });
    EXPECT_EQ(before, std::vector<int>{1008});
    EXPECT_EQ(after, std::vector<int>{1003});
    EXPECT_EQ(r.port, "COM1");
    EXPECT_EQ(r.baud, 9600);
}

TEST_F(PortSetupTest, SortedListAndLongNamesNeverPreselected) {
    makePorts({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12});
    std::vector<std::string> shown;
    std::string sel;
    run("COM10", 9600, [&](QDialog* d) {
        shown = entries(d);
        sel = selected(d);
        QTest::mouseClick(button(d, 1009), Qt::LeftButton);
    });
    EXPECT_EQ(shown, (std::vector<std::string>{"COM1", "COM10", "COM11", "COM12", "COM2", "COM3", "COM4",
                                               "COM5", "COM6", "COM7", "COM8", "COM9"}));
    // COM10 matches none of the first nine ports: the tenth entry is selected instead.
    EXPECT_EQ(sel, "COM7");

    run("COM1", 9600, [&](QDialog* d) {
        sel = selected(d);
        QTest::mouseClick(button(d, 1009), Qt::LeftButton);
    });
    EXPECT_EQ(sel, "COM1");
}

TEST_F(PortSetupTest, TheListReflectsThePortsOfEachOpening) {
    makePorts({1, 2, 3, 4, 5});
    run("COM1", 9600, [&](QDialog* d) { QTest::mouseClick(button(d, 1009), Qt::LeftButton); });
    for (int i = 2; i <= 5; ++i) {
        sims[static_cast<size_t>(i - 1)]->stop();
        QFile::link(dir.path() + "/missing", dir.path() + QString("/COM%1").arg(i));
    }
    std::vector<std::string> shown;
    std::string sel;
    run("COM4", 9600, [&](QDialog* d) {
        shown = entries(d);
        sel = selected(d);
        QTest::mouseClick(button(d, 1009), Qt::LeftButton);
    });
    EXPECT_EQ(shown, std::vector<std::string>{"COM1"});
    EXPECT_EQ(sel, "<none>");
}

TEST_F(PortSetupTest, TheChoiceIsUsedByTheNextOpen) {
    makePorts({1});
    const SetupResult r = run("", 0, [&](QDialog* d) {
        clickEntry(d, "COM1");
        QTest::mouseClick(baud(d, 1008), Qt::LeftButton);
        QTest::mouseClick(button(d, 1010), Qt::LeftButton);
    });
    EXPECT_EQ(r.port, "COM1");
    EXPECT_EQ(VlCOMOpenPort(), 64);
    VlCOMClosePort();

    // After "Abbruch" the caller's own values are the ones kept.
    run("COM5", 9600, [&](QDialog* d) { QTest::mouseClick(button(d, 1009), Qt::LeftButton); });
    EXPECT_EQ(VlCOMOpenPort(), 0);
}

TEST_F(PortSetupTest, FocusIsRestoredWhenTheDialogIsActivatedAgain) {
    makePorts({1});
    QWidget other;
    other.resize(100, 100);
    bool restored = false, switched = true;
    run("COM1", 9600, [&](QDialog* d) {
        QApplication::setActiveWindow(d);
        switched &= QTest::qWaitFor([d] { return d->isActiveWindow(); }, 3000);
        button(d, 1010)->setFocus(Qt::TabFocusReason);
        other.show();
        QApplication::setActiveWindow(&other);
        switched &= QTest::qWaitFor([d] { return !d->isActiveWindow(); }, 3000);
        list(d)->setFocus(Qt::OtherFocusReason);  // moves the inactive window's focus child
        QApplication::setActiveWindow(d);
        switched &= QTest::qWaitFor([d] { return d->isActiveWindow(); }, 3000);
        restored = QApplication::focusWidget() == button(d, 1010);
        QTest::mouseClick(button(d, 1009), Qt::LeftButton);
    });
    EXPECT_TRUE(switched);
    EXPECT_TRUE(restored);
}

}  // namespace
