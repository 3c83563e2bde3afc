// The memory monitor with the main window, the dialog seam and the simulator on a pty.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QMenuBar>
#include <QProgressBar>
#include <QScrollBar>
#include <QStatusBar>
#include <QToolBar>
#include <atomic>
#include <thread>

#include "binzieldlg.h"
#include "fortschritt.h"
#include "inputpaths.h"
#include "mainwindow_fixture.h"
#include "memorylogic.h"
#include "memorytool.h"
#include "numberedit.h"
#include "numbertext.h"
#include "stringgride.h"
#include "xinput.h"

KEVO_TEST_APPLICATION(KevoApplication);

namespace kevotest {
namespace {

const char* const kNoAck = "Acknowledgefehler!\nBaustein antwortet nicht";
const char* const kLinkFailed = "Datenübertragung fehlgeschlagen!\nVerbindung prüfen.";

class MemoryToolTest : public MainWindowTest {
  protected:
    TF_MemoryTool* m = nullptr;

    void TearDown() override {
        MainWindowTest::TearDown();  // the tool windows go with the main window
        F_Fortschritt = nullptr;
        F_BinZielDlg = nullptr;
        m = nullptr;
    }

    // The windows as the program entry makes them, started against the simulator with a device.
    void start(int memBytes, int type = 0, int page = 8, bool hex = true) {
        ASSERT_NO_FATAL_FAILURE(startSim());
        sim->addDevice(0xA0, {rafusim::DeviceKind::Eeprom, 256, 8, 1, 0xFF});  // 24C02
        writeConfig("COM1", kLinkedBaud);
        create();
        F_Fortschritt = new TF_Fortschritt(w);
        F_MemoryTool = m = new TF_MemoryTool(w);
        w->setToolWindow(ProjectFileHost::MemoryForm, m);
        F_BinZielDlg = new TF_BinZielDlg(w);
        ASSERT_NO_FATAL_FAILURE(showWindow());
        ProjectSettings.MemBytes = memBytes;
        ProjectSettings.MemType = type;
        ProjectSettings.MemWritePage = page;
        ProjectSettings.MemHex = hex ? 1 : 0;
        w->TB_MemToolClick();
        ASSERT_TRUE(m->isVisible());
        sim->clearLog();
        asked.clear();
    }

    std::vector<std::string> bus(char kind) const {
        std::vector<std::string> out;
        for (const auto& t : sim->busLog())
            if (t.size() > 1 && t[1] == kind) out.push_back(t);
        return out;
    }
    std::string cell(int c, int r) const { return s8(m->SG_MemDump->Cells(c, r)); }

    // Keys to whatever has the focus, as a user types them.
    void type(const QString& keys) {
        for (QChar ch : keys) QTest::keyClick(QApplication::focusWidget(), ch.toLatin1());
    }
    void key(Qt::Key k) { QTest::keyClick(QApplication::focusWidget(), k); }
    static void activate(QWidget* window) {
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitFor([window] { return QApplication::activeWindow() == window; }));
    }
    void at(int col, int row) {
        m->SG_MemDump->setColRow(col, row);
        ASSERT_NO_FATAL_FAILURE(activate(m));
        m->SG_MemDump->setFocus();
    }

    // Hidden and shown again with another size.
    void reshow(int memBytes) {
        m->hide();
        ProjectSettings.MemBytes = memBytes;
        m->show();
        // Offscreen, a window shown again takes the activation only from another window.
        ASSERT_NO_FATAL_FAILURE(activate(w));
    }

    // Answers the next run of the transfer dialog: edit(), then Ok or Abbruch.
    void answerTransfer(bool ok, std::function<void()> edit = {}) {
        timers.push_back(std::make_unique<QTimer>());
        QTimer* t = timers.back().get();
        t->setInterval(10);
        QObject::connect(t, &QTimer::timeout, [t, ok, edit] {
            if (QApplication::activeModalWidget() != F_BinZielDlg) return;
            t->stop();
            if (edit) edit();
            (ok ? F_BinZielDlg->B_Ok : F_BinZielDlg->B_Cancel)->click();
        });
        t->start();
    }
};

TEST_F(MemoryToolTest, Read24C02EditOnlineWriteAllReadBack) {
    ASSERT_NO_FATAL_FAILURE(start(256));
    EXPECT_TRUE(w->miMemTool->isChecked());
    EXPECT_EQ(s8(m->panelText(2)), " Pagegröße: 8 Byte");
    std::vector<uint8_t> image(256);
    for (int i = 0; i < 256; ++i) image[i] = uint8_t(i * 7 + 3);
    sim->setMemory(0xA0, 0, image);
    const int links = LinkOpenCount;
    std::vector<int> positions;
    QObject::connect(F_Fortschritt->PB_Fortschritt, &QProgressBar::valueChanged, [&positions](int v) {
        if (F_Fortschritt->PB_Fortschritt->minimum() == 0 && F_Fortschritt->PB_Fortschritt->maximum() == 255)
            positions.push_back(v);
    });

    m->TB_ReadDevice->trigger();
    std::vector<int> chunks;  // the bar starts at 0 and moves to each chunk's offset
    for (int p = 16; p < 256; p += 16) chunks.push_back(p);
    EXPECT_EQ(positions, chunks);
    const auto reads = bus('R');
    ASSERT_EQ(reads.size(), 16u);
    EXPECT_EQ(reads.front(), ",R10,A0S00");
    EXPECT_EQ(reads.back(), ",R10,A0SF0");
    EXPECT_EQ(LinkOpenCount, links);
    EXPECT_FALSE(F_Fortschritt->isVisible());
    EXPECT_EQ(s8(F_Fortschritt->windowTitle()), "I²C-Baustein auslesen");
    EXPECT_EQ(cell(0, 2), "   10");
    EXPECT_EQ(cell(3, 2), memCellText(image[0x12], MemRead, true));
    EXPECT_EQ(m->MemState[0x12], MemRead);

    // Online: a typed byte goes to the device at once; Enter on an unchanged cell sends it too.
    m->TB_WrDevOnline->setChecked(true);
    sim->clearLog();
    at(3, 2);
    type("7e");
    EXPECT_EQ(s8(m->SG_MemDump->EditorText()), "7E");
    key(Qt::Key_Return);
    EXPECT_EQ(cell(3, 2), " 7E");
    EXPECT_EQ(m->SG_MemDump->Cells(17, 2).at(3), QChar('~'));
    EXPECT_EQ(sim->memory(0xA0)[0x12], 0x7E);
    EXPECT_EQ(m->MemState[0x12], MemRead);  // written: changed bit cleared
    key(Qt::Key_Return);                    // editor on the unchanged cell
    key(Qt::Key_Return);
    EXPECT_EQ(bus('W'), (std::vector<std::string>{",W1,A0S12,7E", ",W1,A0S12,7E"}));
    // A command that uses or replaces the image takes the cell being typed in first.
    answers.push_back({dialogs::mrOk, dir + "typed.bin"});
    uint8_t typed = 0xE0;
    for (QAction* command : {m->TB_WriteDevice, m->TB_WriteFile, m->TB_ReadDevice}) {
        at(1, 2);
        type(QString::number(++typed, 16));
        command->trigger();
        EXPECT_EQ(sim->memory(0xA0)[0x10], typed) << s8(command->objectName());
    }
    EXPECT_EQ(readAll(dir + "typed.bin").at(0x10), char(0xE2));

    // Every byte changed, written page by page.
    for (int i = 0; i < 256; ++i) {
        m->MemData[i] = uint8_t(255 - i);
        m->MemState[i] |= MemChanged;
    }
    sim->clearLog();
    m->TB_WriteDevice->trigger();
    const auto writes = bus('W');
    ASSERT_EQ(writes.size(), 32u);
    EXPECT_EQ(writes.front().substr(0, 10), ",W8,A0S00,");
    EXPECT_EQ(writes.back(), ",W8,A0SF8,07,06,05,04,03,02,01,00");
    for (uint8_t s : m->MemState) ASSERT_EQ(s & MemChanged, 0);
    EXPECT_EQ(s8(F_Fortschritt->windowTitle()), "Daten in I²C Baustein schreiben");
    m->TB_ReadDevice->trigger();
    for (int i = 0; i < 256; ++i) ASSERT_EQ(m->MemData[i], 255 - i) << i;
    EXPECT_EQ(LinkOpenCount, links);
    EXPECT_TRUE(messages().empty());

    // Unchanged chunks are skipped unless "write all" is down.
    sim->clearLog();
    m->TB_WriteDevice->trigger();
    EXPECT_TRUE(bus('W').empty());
    m->TB_WriteAll->setChecked(true);
    m->TB_WriteDevice->trigger();
    EXPECT_EQ(bus('W').size(), 32u);
    ProjectSettings.MemBytes = 128;  // set meanwhile: the write moves as many bytes, not the buffer's
    m->TB_WriteDevice->trigger();
    EXPECT_EQ(bus('W').size(), 32u + 16u);
}

// The two check buttons on every input path: what the commands then do. "Write all" writes
// every chunk of an unchanged buffer; online mode writes a committed cell at once.
TEST_F(MemoryToolTest, CheckButtonsFollowEveryInputPath) {
    ASSERT_NO_FATAL_FAILURE(start(256));
    const std::function<void()> writeDevice = [this] { m->TB_WriteDevice->trigger(); };
    const std::function<void()> commitCell = [this] {
        at(3, 2);
        type("7e");
        key(Qt::Key_Return);
    };
    struct Row {
        QAction* button;
        bool down;
        const std::function<void()>& use;
        size_t writes;
    } const rows[] = {
        {m->TB_WriteAll, true, writeDevice, 32},
        {m->TB_WriteAll, false, writeDevice, 0},
        {m->TB_WrDevOnline, true, commitCell, 1},
        {m->TB_WrDevOnline, false, commitCell, 0},
    };
    for (kevosupport::InputPath path : kevosupport::kInputPaths) {
        SCOPED_TRACE(kevosupport::pathName(path));
        for (const Row& r : rows) {
            SCOPED_TRACE(s8(r.button->objectName()));
            kevosupport::operate(qobject_cast<QAbstractButton*>(m->TB_MemoryTool->widgetForAction(r.button)),
                                 path);
            EXPECT_EQ(r.button->isChecked(), r.down);
            sim->clearLog();
            r.use();
            EXPECT_EQ(bus('W').size(), r.writes);
        }
    }
    EXPECT_TRUE(messages().empty());
}

TEST_F(MemoryToolTest, BlockBitsOf24C16AndScrolling) {
    ASSERT_NO_FATAL_FAILURE(start(2048, 0, 16));
    sim->clearDevices();
    sim->addDevice(0xA0, {rafusim::DeviceKind::Eeprom, 2048, 16, 1, 0xFF});
    std::vector<uint8_t> image(2048);
    for (int i = 0; i < 2048; ++i) image[i] = uint8_t(i / 256 * 16 + i % 16);
    sim->setMemory(0xA0, 0, image);
    m->TB_ReadDevice->trigger();
    const auto reads = bus('R');
    ASSERT_EQ(reads.size(), 128u);
    EXPECT_EQ(reads[16], ",R10,A2S00");
    EXPECT_EQ(reads[127], ",R10,AESF0");
    EXPECT_EQ(m->MemData, image);
    m->MemData[0x7FF] = 0x55;
    m->MemState[0x7FF] |= MemChanged;
    sim->clearLog();
    m->TB_WriteDevice->trigger();
    EXPECT_EQ(bus('W'),
              (std::vector<std::string>{",W10,AESF0,70,71,72,73,74,75,76,77,78,79,7A,7B,7C,7D,7E,55"}));

    // Dragging to the end shows the last page; positions between rows round down.
    m->SB_DeviceMon->setValue(m->SB_DeviceMon->maximum());
    EXPECT_EQ(m->MemTopOffset, 0x700);
    EXPECT_EQ(cell(0, 1), "  700");
    EXPECT_EQ(cell(0, 16), "  7F0");
    m->SB_DeviceMon->setValue(0x123);
    EXPECT_EQ(m->MemTopOffset, 0x120);
    // Tab at the end of row 16 scrolls one row while a further row exists.
    at(16, 16);
    key(Qt::Key_Tab);
    EXPECT_EQ(m->MemTopOffset, 0x130);
    EXPECT_EQ(m->SG_MemDump->Col(), 1);
    EXPECT_EQ(m->SG_MemDump->Row(), 16);
    // A wheel turn over the bar while typing: the typed byte is committed where it was typed.
    at(3, 2);
    type("E7");
    QWheelEvent wheel({5, 50}, {5, 50}, {}, {0, -120}, Qt::NoButton, {}, Qt::NoScrollPhase, false);
    QApplication::sendEvent(m->SB_DeviceMon, &wheel);
    EXPECT_EQ(m->MemData[0x142], 0xE7);
    // Keys that jump stay on the page's bytes; no key path makes Qt complain.
    static int warnings = 0;
    qInstallMessageHandler(
        [](QtMsgType t, const QMessageLogContext&, const QString&) { warnings += t != QtDebugMsg; });
    const std::tuple<const char*, int, int, int, int> jumps[] = {
        {"Home", 9, 9, 1, 9}, {"PgUp", 9, 9, 9, 1},    {"Ctrl+End", 16, 16, 16, 16},
        {"Tab", 3, 5, 4, 5},  {"1, Tab", 16, 5, 1, 6},
    };
    for (const auto& [keys, col, row, toCol, toRow] : jumps) {
        at(col, row);
        const QKeySequence seq(keys);
        for (int i = 0; i < seq.count(); ++i)  // each key to the widget with the focus
            QTest::keyClick(QApplication::focusWidget(), seq[i].key(), seq[i].keyboardModifiers());
        EXPECT_EQ(std::make_pair(m->SG_MemDump->Col(), m->SG_MemDump->Row()), std::make_pair(toCol, toRow))
            << keys;
    }
    qInstallMessageHandler(nullptr);
    EXPECT_EQ(warnings, 0);
    m->SB_DeviceMon->setValue(m->SB_DeviceMon->maximum());
    at(16, 16);
    key(Qt::Key_Tab);
    EXPECT_EQ(m->MemTopOffset, 0x700);
    EXPECT_EQ(m->SG_MemDump->Col(), 16);
    ASSERT_NO_FATAL_FAILURE(reshow(2048));
    EXPECT_EQ(m->MemTopOffset, 0);  // every show starts at the first page
}

TEST_F(MemoryToolTest, ChunkTablesRegisterAndCapacity20) {
    ASSERT_NO_FATAL_FAILURE(start(16, 2));
    sim->clearDevices();
    sim->addDevice(0xA0, {rafusim::DeviceKind::Register, 16, 1, 1, 0x00});
    m->TB_ReadDevice->trigger();
    auto reads = bus('R');
    ASSERT_EQ(reads.size(), 16u);
    EXPECT_EQ(reads[5], ",R1,A0S05");
    EXPECT_EQ(reads[15], ",R1,A0S0F");
    m->TB_WriteAll->setChecked(true);
    m->TB_WriteDevice->trigger();
    ASSERT_EQ(bus('W').size(), 1u);
    EXPECT_EQ(bus('W')[0].substr(0, 10), ",W10,A0S00");
    EXPECT_EQ(bus('W')[0].size(), 10u + 16 * 3);

    // Capacity 20: a 16-byte chunk and a 4-byte one; cells past the end cannot be selected.
    m->hide();
    ProjectSettings.MemBytes = 20;
    ProjectSettings.MemType = 1;
    m->show();
    sim->clearLog();
    m->TB_ReadDevice->trigger();
    EXPECT_EQ(bus('R'), (std::vector<std::string>{",R10,A0S00", ",R4,A0S10"}));
    at(4, 2);
    key(Qt::Key_Right);
    EXPECT_EQ(m->SG_MemDump->Col(), 4);
    key(Qt::Key_Down);
    EXPECT_EQ(m->SG_MemDump->Row(), 2);

    // Capacity 300: the last twelve bytes are reached by the bar and by Tab.
    ASSERT_NO_FATAL_FAILURE(reshow(300));
    m->SB_DeviceMon->setValue(32);
    at(16, 16);
    key(Qt::Key_Tab);
    EXPECT_EQ(m->MemTopOffset, 48);
    EXPECT_EQ(cell(0, 16), "  120");
    EXPECT_EQ(cell(12, 16), " ..");
    EXPECT_EQ(cell(13, 16), "");
    m->SB_DeviceMon->setValue(0);
    at(16, 16);
    m->SB_DeviceMon->setValue(m->SB_DeviceMon->maximum());
    EXPECT_EQ(m->MemTopOffset, 48);
    EXPECT_EQ(m->SG_MemDump->Col(), 12);  // the current cell stays on a byte
    at(11, 16);
    key(Qt::Key_Right);
    EXPECT_EQ(m->SG_MemDump->Col(), 12);
    key(Qt::Key_Right);
    EXPECT_EQ(m->SG_MemDump->Col(), 12);

    // Shown again smaller: the current cell comes inside, so typing reaches a byte.
    ASSERT_NO_FATAL_FAILURE(reshow(20));
    at(m->SG_MemDump->Col(), m->SG_MemDump->Row());
    type("5");
    key(Qt::Key_Return);
    ASSERT_EQ(m->capacity(), 20);
    EXPECT_EQ(m->MemData[19], 5);
}

TEST_F(MemoryToolTest, DeviceFailureMessages) {
    ASSERT_NO_FATAL_FAILURE(start(256));
    const int links = LinkOpenCount;
    const std::vector<uint8_t> before = m->MemData;
    sim->setAddressStatus(0xA0, "01");
    m->TB_ReadDevice->trigger();
    auto msgs = messages();
    ASSERT_EQ(msgs.size(), 16u);  // a read goes on after a failed chunk
    EXPECT_EQ(msgs[0].text, kNoAck);
    EXPECT_EQ(msgs[0].x, m->x() + 150);
    EXPECT_EQ(msgs[0].y, m->y() + 150);
    EXPECT_EQ(m->MemData, before);
    EXPECT_EQ(m->MemState[0], MemNeverRead);
    m->TB_WrDevOnline->setChecked(true);  // a failed online write keeps the changed mark
    at(1, 1);
    type("5");
    key(Qt::Key_Return);
    EXPECT_EQ(m->MemState[0], MemChanged);
    asked.clear();
    m->TB_WriteAll->setChecked(true);
    m->TB_WriteDevice->trigger();
    ASSERT_EQ(messages().size(), 1u);  // a write stops at its first failure
    EXPECT_EQ(messages()[0].text, kNoAck);

    sim->setAddressStatus(0xA0, "");
    sim->failNextBus("02", 1);
    asked.clear();
    m->TB_WriteDevice->trigger();
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_EQ(messages()[0].text, "Schreiben des Bausteines fehlgeschlagen!");

    // A write that fails at its third page: the pages before it are clean, the rest stay changed.
    m->TB_WriteAll->setChecked(false);
    for (uint8_t& st : m->MemState) st = MemRead | MemChanged;
    int writes = 0;
    sim->setReplyHandler([&writes](const std::string& t) -> std::optional<std::string> {
        if (t.rfind(",W", 0) == 0 && ++writes == 3) return std::string(",w02");
        return std::nullopt;
    });
    m->TB_WriteDevice->trigger();
    for (int i = 0; i < 256; ++i) ASSERT_EQ(m->MemState[i], i < 16 ? MemRead : MemRead | MemChanged) << i;
    sim->setReplyHandler({});

    // A read goes on after a chunk that failed with another status; that chunk keeps its bytes.
    m->MemState[0] |= MemChanged;
    sim->failNextBus("02", 1);
    asked.clear();
    m->TB_ReadDevice->trigger();
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_EQ(messages()[0].text, "Lesen des Bausteines fehlgeschlagen!");
    EXPECT_EQ(m->MemState[0], MemRead | MemChanged);
    EXPECT_EQ(m->MemState[16], MemRead);
    // Answers later than the wait (the link held, as by a recording) fill no other chunk.
    ASSERT_TRUE(ComOpen());
    sim->setReplyDelayMs(kLateReplyMs);
    m->ReadMemoryRange(16, 31);
    m->ReadMemoryRange(0, 15);
    sim->setReplyDelayMs(0);
    ComClose();
    EXPECT_EQ(m->MemState[0], MemRead | MemChanged) << "chunk 0 took the answer of chunk 16";
    m->TB_WriteAll->setChecked(true);

    // Offline: the first query comes back empty, in a read and in a write alike; each box
    // shows while the transfer still holds the link and its dialog.
    std::vector<std::pair<int, bool>> heldAtBox;
    dialogs::setResponder([&](const dialogs::Request& r) {
        asked.push_back(r);
        heldAtBox.push_back({LinkOpenCount, F_Fortschritt->isVisible()});
        return dialogs::Response{dialogs::mrOk, {}};
    });
    OfflineMode = true;
    sim->clearLog();
    asked.clear();
    m->TB_ReadDevice->trigger();
    m->TB_WriteDevice->trigger();
    OfflineMode = false;
    EXPECT_TRUE(sim->busLog().empty());
    ASSERT_EQ(messages().size(), 2u);
    EXPECT_EQ(messages()[0].text, kLinkFailed);
    EXPECT_EQ(messages()[1].text, kLinkFailed);
    EXPECT_EQ(heldAtBox, (std::vector<std::pair<int, bool>>(2, {links + 1, true})));
    EXPECT_EQ(LinkOpenCount, links);

    // No valid reply: one message and the transfer ends; a reply that is no number: the
    // conversion error leaves the handler, with the link and the progress dialog released.
    sim->setReplyHandler([](const std::string& t) -> std::optional<std::string> {
        if (t.rfind(",R", 0) == 0) return std::string(",x");
        return std::nullopt;
    });
    asked.clear();
    m->ReadMemoryRange(0, 255);
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_EQ(messages()[0].text, kLinkFailed);
    sim->setReplyHandler([](const std::string& t) -> std::optional<std::string> {
        if (t.rfind(",R", 0) == 0) return std::string(",rZZ");
        return std::nullopt;
    });
    EXPECT_THROW(m->ReadMemoryRange(0, 255), EConvertError);
    EXPECT_EQ(LinkOpenCount, links);
    EXPECT_FALSE(F_Fortschritt->isVisible());
}

TEST_F(MemoryToolTest, GridEditingRules) {
    ASSERT_NO_FATAL_FAILURE(start(128));
    EXPECT_EQ(cell(0, 8), "   70");
    EXPECT_EQ(cell(0, 9), "");
    m->SB_DeviceMon->setValue(50);
    EXPECT_EQ(m->MemTopOffset, 0);
    EXPECT_EQ(m->SB_DeviceMon->value(), 0);
    // Typing keeps a number of at most 255 (hex without prefix); other letters are dropped.
    at(1, 1);
    type("1fG");
    type("F");
    EXPECT_EQ(s8(m->SG_MemDump->EditorText()), "1F");
    key(Qt::Key_Tab);  // leaving the cell commits it
    EXPECT_EQ(m->MemData[0], 0x1F);
    EXPECT_EQ(m->MemState[0], MemChanged);
    EXPECT_EQ(cell(1, 1), " 1F");
    EXPECT_EQ(m->SG_MemDump->Col(), 2);
    // Enter on an unchanged cell marks nothing.
    m->MemData[1] = 0x22;
    m->MemState[1] = MemRead;
    m->ShowMemoryPage();
    key(Qt::Key_Return);
    key(Qt::Key_Return);
    EXPECT_EQ(m->MemState[1], MemRead);
    // A double click on a cell opens its editor.
    const QRect r5 = m->SG_MemDump->visualItemRect(m->SG_MemDump->item(1, 5));
    QTest::mouseClick(m->SG_MemDump->viewport(), Qt::LeftButton, {}, r5.center());
    QTest::mouseDClick(m->SG_MemDump->viewport(), Qt::LeftButton, {}, r5.center());
    EXPECT_EQ(m->SG_MemDump->Col(), 5);
    EXPECT_NE(m->SG_MemDump->InplaceEditor(), nullptr);
    // Tab at the end of row 5 goes on at the start of row 6.
    at(16, 5);
    key(Qt::Key_Tab);
    EXPECT_EQ(m->SG_MemDump->Row(), 6);
    EXPECT_EQ(m->SG_MemDump->Col(), 1);
    // Esc puts back the buffer's value, formatted even for a byte missing from the last read.
    m->MemState[0x50] = MemMissing;
    m->MemData[0x50] = 0x42;
    m->ShowMemoryPage();
    EXPECT_EQ(cell(1, 6), " //");
    type("9");
    key(Qt::Key_Escape);
    EXPECT_EQ(cell(1, 6), " 42");
    EXPECT_EQ(m->MemState[0x50], MemMissing);
    at(2, 6);
    type("9");
    key(Qt::Key_Escape);
    EXPECT_EQ(cell(2, 6), " ..");
    // Leaving a " //" cell commits nothing and raises nothing.
    m->ShowMemoryPage();
    key(Qt::Key_Return);
    key(Qt::Key_Return);
    EXPECT_TRUE(messages().empty());
    EXPECT_EQ(m->MemState[0x50], MemMissing);

    // Leaving the grid for another control of the window commits the cell and ends editing.
    at(4, 1);
    type("3");
    m->SB_DeviceMon->setFocus();
    EXPECT_EQ(m->MemData[3], 3);
    EXPECT_EQ(m->SG_MemDump->InplaceEditor(), nullptr);

    // Every refused move commits the cell being left.
    auto click = [this](int c, int r) {
        const QRect rect = m->SG_MemDump->visualItemRect(m->SG_MemDump->item(r, c));
        QTest::mouseClick(m->SG_MemDump->viewport(), Qt::LeftButton, {}, rect.center());
    };
    const struct {
        const char* move;
        int col, row;
        std::function<void()> act;
    } refused[] = {
        {"Shift+Tab in column 1", 1, 3, [this] { key(Qt::Key_Backtab); }},
        {"Up in row 1", 7, 1, [this] { key(Qt::Key_Up); }},
        {"click on the fixed row", 5, 2, [&] { click(5, 0); }},
        {"click on the fixed column", 6, 2, [&] { click(0, 2); }},
        {"Tab past the capacity", 16, 8, [this] { key(Qt::Key_Tab); }},
        {"another window, then Up in row 1", 3, 1, [this] { activate(w), activate(m), key(Qt::Key_Up); }},
    };
    for (const auto& r : refused) {
        SCOPED_TRACE(r.move);
        at(r.col, r.row);
        type("12");
        r.act();
        const int p = (r.row - 1) * 16 + r.col - 1;
        EXPECT_EQ(m->MemData[p], 0x12);
        EXPECT_EQ(m->MemState[p], MemChanged);
        EXPECT_EQ(m->SG_MemDump->Col(), r.col);
        EXPECT_EQ(m->SG_MemDump->Row(), r.row);
    }
    EXPECT_TRUE(messages().empty());

    // A cell emptied and left by a click: the conversion error's box, and the click still moves.
    at(3, 4);
    type("1");
    key(Qt::Key_Backspace);
    click(4, 4);
    EXPECT_EQ(messages().size(), 1u);
    EXPECT_EQ(m->SG_MemDump->Col(), 4);
    EXPECT_EQ(m->MemState[0x32], MemNeverRead);
    EXPECT_EQ(cell(3, 4), " ..");  // what the image holds, not the refused text
    // Each of the grid's handlers shows the error itself; nothing unwinds into the grid.
    type("1");
    key(Qt::Key_Backspace);
    bool can = true;
    char enter = '\r';
    const std::function<void()> hooks[] = {
        [&] { m->SG_MemDump->onSelectCell(5, 4, can); },
        [&] { m->SG_MemDump->onKeyPress(enter); },
        [&] { m->SG_MemDump->onExit(); },
        [&] { m->SG_MemDump->onSetEditText(4, 4, QStringLiteral("123456789")); },
    };
    for (const auto& hook : hooks) EXPECT_NO_THROW(hook());
    EXPECT_EQ(messages().size(), 5u);
    asked.clear();

    // A paste beyond 32 bits into a never-read cell: the error box, the cell's own text back.
    m->TB_WrDevOnline->setChecked(true);
    sim->clearLog();
    at(9, 3);
    key(Qt::Key_Return);
    ASSERT_NE(m->SG_MemDump->InplaceEditor(), nullptr);
    m->SG_MemDump->InplaceEditor()->selectAll();
    QApplication::clipboard()->setText("123456789");
    QTest::keyClick(m->SG_MemDump->InplaceEditor(), Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(messages().size(), 1u);
    EXPECT_EQ(s8(m->SG_MemDump->EditorText()), " ..");
    key(Qt::Key_Return);
    EXPECT_EQ(m->MemState[0x28], MemNeverRead);
    EXPECT_TRUE(bus('W').empty());
    asked.clear();

    // Clear on the fresh image marks every byte changed; hide and show start again.
    m->TB_WrDevOnline->setChecked(true);
    m->TB_ClearClick();
    EXPECT_FALSE(m->TB_WrDevOnline->isChecked());
    for (uint8_t s : m->MemState) EXPECT_TRUE(s & MemChanged);
    m->hide();
    EXPECT_FALSE(w->miMemTool->isChecked());
    ProjectSettings.MemHex = 0;
    m->show();
    EXPECT_TRUE(w->miMemTool->isChecked());
    EXPECT_EQ(cell(1, 1), " ..");
    EXPECT_EQ(cell(17, 1), " ----------------");
    EXPECT_EQ(cell(16, 0), " 15");
}

// On an X server of its own, where a click on an inactive window comes before its activation,
// and a click after one that closed a popup may come as a lone double click.
class MemoryToolOnX : public MemoryToolTest {};
using kevosupport::xclick;

TEST_F(MemoryToolOnX, TypedCellTakenWhateverComesBetween) {
    if (!kevosupport::onX()) GTEST_SKIP() << "needs an X server";
    ASSERT_NO_FATAL_FAILURE(start(256));
    m->move(w->frameGeometry().right() + 40, w->y());  // side by side: each click hits its aim
    sim->setMemory(0xA0, 0, std::vector<uint8_t>(256, 0x81));
    m->TB_ReadDevice->trigger();
    TStringGridE* grid = m->SG_MemDump;
    auto onCell = [grid](int c, int r) { return grid->visualItemRect(grid->item(r, c)).center(); };
    const struct {
        const char* between;
        bool menu;    // the main window's menu opens a popup; else the main window takes the activation
        int backCol;  // -1: the scroll bar
    } rows[] = {
        {"the main window, back on another cell", false, 4},
        {"the main window's menu, back on another cell", true, 4},
        {"the main window, back on the fixed column", false, 0},
        {"the main window, back on the scroll bar", false, -1},
    };
    int row = 1;
    for (const auto& r : rows) {
        SCOPED_TRACE(r.between);
        ++row;
        ASSERT_NO_FATAL_FAILURE(at(3, row));
        type("41");
        if (r.menu) {
            xclick(w->menuBar(), w->menuBar()->actionGeometry(w->mmDatei->menuAction()).center());
            ASSERT_TRUE(waitFor([] { return QApplication::activePopupWidget() != nullptr; }));
            xclick(grid->viewport(), onCell(r.backCol, row));  // the first click closes the popup
            ASSERT_TRUE(waitFor([] { return !QApplication::activePopupWidget(); }));
        } else {
            xclick(w->RE_I2CMonitor->viewport(), {30, 30});
            ASSERT_TRUE(waitFor([this] { return QApplication::activeWindow() == w; }));
        }
        if (r.backCol < 0)
            xclick(m->SB_DeviceMon, {m->SB_DeviceMon->width() / 2, m->SB_DeviceMon->height() - 4});
        else
            xclick(grid->viewport(), onCell(r.backCol, row));
        const int p = (row - 1) * 16 + 2;
        EXPECT_TRUE(waitFor([&] { return m->MemData[p] == 0x41; }));
        EXPECT_EQ(m->MemState[p], MemRead | MemChanged);
        EXPECT_EQ(cell(3, row), " 41");
        EXPECT_EQ(grid->Cells(17, row).at(3), QChar('A'));
        EXPECT_EQ(grid->Col(), r.backCol > 0 ? r.backCol : 3);
        EXPECT_TRUE(r.backCol < 0 || waitFor([grid] {  // the keys go on to the grid
                        return grid->hasFocus() || grid->isAncestorOf(QApplication::focusWidget());
                    }));
    }
    m->TB_WriteDevice->trigger();
    for (int i = 2; i <= row; ++i) EXPECT_EQ(sim->memory(0xA0)[(i - 1) * 16 + 2], 0x41) << i;
}

TEST_F(MemoryToolTest, ClearAfterAllFFReadMarksNothing) {
    ASSERT_NO_FATAL_FAILURE(start(256));
    m->TB_ReadDevice->trigger();
    m->SB_DeviceMon->setValue(0);
    m->TB_ClearClick();
    for (uint8_t s : m->MemState) ASSERT_EQ(s, MemRead);
}

TEST_F(MemoryToolTest, FilesThroughTheTransferDialog) {
    ASSERT_NO_FATAL_FAILURE(start(256));
    const std::string file = dir + "Speicher.bin";
    // Save a never-read image: 256 bytes of 0xFF; the old file is kept as the backup.
    writeFile(file, "old");
    answers.push_back({dialogs::mrOk, file});
    m->TB_WriteFileClick();
    EXPECT_EQ(asked.back().filter, "Speicherinhalt|*.BIN");
    EXPECT_EQ(asked.back().value, "Speicher.bin");
    EXPECT_EQ(readAll(file), QByteArray(256, char(0xFF)));
    EXPECT_EQ(readAll(dir + "Speicher.~bin"), QByteArray("old"));
    EXPECT_EQ(m->MemLastDir, dir);
    for (uint8_t s : m->MemState) ASSERT_EQ(s, MemNeverRead);

    // A longer file fills the whole buffer from its start.
    QByteArray longer(300, 0);
    for (int i = 0; i < 300; ++i) longer[i] = char(i % 251);
    writeFile(dir + "long.bin", longer);
    answers.push_back({dialogs::mrOk, dir + "long.bin"});
    std::string devLabel, fileLabel, countText;
    answerTransfer(true, [&] {
        devLabel = s8(F_BinZielDlg->L_DevBytes->text());
        fileLabel = s8(F_BinZielDlg->L_FileBytes->text());
        countText = s8(F_BinZielDlg->LE_Bytes->text());
    });
    m->SB_DeviceMon->setValue(0);
    m->TB_WrDevOnline->setChecked(true);
    m->TB_ReadFileClick();
    EXPECT_EQ(devLabel, "100");
    EXPECT_EQ(fileLabel, "12C");
    EXPECT_EQ(countText, "100");
    EXPECT_EQ(m->MemData[255], uint8_t(255 % 251));
    EXPECT_EQ(m->MemState[255], MemChanged);
    EXPECT_FALSE(m->TB_WrDevOnline->isChecked());
    EXPECT_EQ(cell(2, 1), " 01");

    // A shorter file at buffer offset 0x10 leaves the bytes behind it alone; labels "05".
    writeFile(dir + "short.bin", QByteArray("\x11\x22\x33\x44\x55", 5));
    answers.push_back({dialogs::mrOk, dir + "short.bin"});
    answerTransfer(true, [&] {
        fileLabel = s8(F_BinZielDlg->L_FileBytes->text());
        F_BinZielDlg->LE_BufferOffset->setText("10");
        F_BinZielDlg->LE_BufferOffsetExit();
        countText = s8(F_BinZielDlg->LE_Bytes->text());
    });
    m->TB_ReadFileClick();
    EXPECT_EQ(fileLabel, "05");
    EXPECT_EQ(countText, "5");
    EXPECT_EQ(m->MemData[0x10], 0x11);
    EXPECT_EQ(m->MemData[0x14], 0x55);
    EXPECT_EQ(m->MemData[0x15], uint8_t(0x15));
    EXPECT_EQ(m->MemState[0x15], MemChanged);

    // An empty file moves nothing, even with an offset typed behind its end; Cancel changes nothing.
    writeFile(dir + "empty.bin", QByteArray());
    const std::vector<uint8_t> image = m->MemData;
    m->MemTopOffset = 16;
    m->TB_WrDevOnline->setChecked(true);
    answers.push_back({dialogs::mrOk, dir + "empty.bin"});
    answerTransfer(true, [&] {
        QTest::keyClicks(F_BinZielDlg->LE_FileOffset, "1");
        F_BinZielDlg->LE_FileOffsetExit();
        countText = s8(F_BinZielDlg->LE_Bytes->text());
    });
    m->TB_ReadFileClick();
    EXPECT_EQ(countText, "0");
    EXPECT_EQ(m->MemData, image);
    EXPECT_EQ(m->MemTopOffset, 0);  // back to the first page, online mode off
    EXPECT_FALSE(m->TB_WrDevOnline->isChecked());
    answers.push_back({dialogs::mrOk, dir + "short.bin"});
    answerTransfer(false);
    m->TB_ReadFileClick();
    EXPECT_EQ(m->MemData, image);
    asked.clear();
    m->TB_ReadFileClick();  // the file dialog cancelled
    EXPECT_EQ(m->MemFileName, dir + "short.bin");
    // A named pipe is refused at once, as a missing file is; a reader blocked on it would be let go
    // by the watchdog (its open succeeds only while a reader waits) and meet the cancelled dialog.
    const std::string pipe = dir + "pipe.bin";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0644), 0);
    std::atomic<bool> done{false};
    std::thread watchdog([&] {
        for (; !done; std::this_thread::sleep_for(std::chrono::milliseconds(5)))
            if (const int fd = ::open(pipe.c_str(), O_WRONLY | O_NONBLOCK); fd >= 0) ::close(fd);
    });
    answerTransfer(false);
    for (const std::string& name : {dir + "missing.bin", pipe}) {
        answers.push_back({dialogs::mrOk, name});
        m->TB_ReadFileClick();
        EXPECT_EQ(messages().empty() ? "" : messages().back().text, name + " konnte nicht geöffnet werden.");
    }
    done = true;
    watchdog.join();
    timers.back()->stop();
    answers.push_back({dialogs::mrOk, dir + "nofolder/x.bin"});
    m->TB_WriteFileClick();
    EXPECT_EQ(messages().back().text, "Binärdatei konnte nicht geöffnet werden");

    // A smaller size set meanwhile: the files move as many bytes as the device commands do.
    ProjectSettings.MemBytes = 128;
    answers.push_back({dialogs::mrOk, dir + "small.bin"});
    m->TB_WriteFileClick();
    EXPECT_EQ(readAll(dir + "small.bin").size(), 128);
    answers.push_back({dialogs::mrOk, dir + "long.bin"});
    answerTransfer(true, [&] {
        devLabel = s8(F_BinZielDlg->L_DevBytes->text());
        countText = s8(F_BinZielDlg->LE_Bytes->text());
        // A count beyond it, set past the typing rule, never reaches the buffer.
        NumberEdit::of(F_BinZielDlg->LE_Bytes)->assign("C8");
    });
    m->MemState.assign(256, MemRead);
    m->TB_ReadFileClick();
    EXPECT_EQ(devLabel, "80");
    EXPECT_EQ(countText, "80");
    EXPECT_EQ(m->MemState[127], MemRead | MemChanged);
    EXPECT_EQ(m->MemState[128], MemRead);
}

TEST_F(MemoryToolTest, DecimalCellsAndTransferDialogFields) {
    ASSERT_NO_FATAL_FAILURE(start(256, 0, 8, false));
    // Decimal cells: typing 300 leaves 30.
    at(1, 1);
    type("300");
    EXPECT_EQ(s8(m->SG_MemDump->EditorText()), "30");
    key(Qt::Key_Return);
    EXPECT_EQ(m->MemData[0], 30);
    EXPECT_EQ(cell(1, 1), " 30");
    EXPECT_EQ(cell(0, 16), "  240");
    // Text put into the editor other than by typing (a screen reader's edit) goes through the
    // same rule.
    at(2, 1);
    type("1");
    QLineEdit* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    ASSERT_TRUE(editor);
    editor->setText("300");
    EXPECT_EQ(s8(m->SG_MemDump->EditorText()), "30");
    key(Qt::Key_Return);
    EXPECT_EQ(m->MemData[1], 30);
    F_BinZielDlg->L_DevBytes->setText("256");
    F_BinZielDlg->L_FileBytes->setText("1000");
    F_BinZielDlg->LE_FileOffset->setText("0");
    F_BinZielDlg->LE_BufferOffset->setText("0");
    F_BinZielDlg->show();
    ASSERT_NO_FATAL_FAILURE(activate(F_BinZielDlg));
    EXPECT_EQ(s8(F_BinZielDlg->LE_Bytes->text()), "256");
    F_BinZielDlg->LE_BufferOffset->setFocus();
    F_BinZielDlg->LE_BufferOffset->selectAll();
    QTest::keyClicks(F_BinZielDlg->LE_BufferOffset, "300");
    EXPECT_EQ(s8(F_BinZielDlg->LE_BufferOffset->text()), "30");
    QTest::keyClick(F_BinZielDlg->LE_BufferOffset, Qt::Key_Return);  // Enter closes nothing
    QTest::keyClick(F_BinZielDlg->LE_BufferOffset, Qt::Key_Escape);
    EXPECT_TRUE(F_BinZielDlg->isVisible());
    QTest::keyClick(F_BinZielDlg->LE_BufferOffset, Qt::Key_Tab);
    EXPECT_EQ(F_BinZielDlg->BinBufferOffset, 30);
    EXPECT_EQ(s8(F_BinZielDlg->LE_Bytes->text()), "226");
    F_BinZielDlg->LE_Bytes->selectAll();
    QTest::keyClick(F_BinZielDlg->LE_Bytes, Qt::Key_Backspace);
    EXPECT_EQ(s8(F_BinZielDlg->LE_Bytes->text()), "");
    QTest::keyClick(F_BinZielDlg->LE_Bytes, Qt::Key_Tab);
    EXPECT_EQ(s8(F_BinZielDlg->LE_Bytes->text()), "0");
    // Ok pressed by a screen reader takes no focus: the field being typed in is taken all the same.
    F_BinZielDlg->LE_Bytes->setFocus();
    F_BinZielDlg->LE_Bytes->selectAll();
    QTest::keyClicks(F_BinZielDlg->LE_Bytes, "12");
    kevosupport::pressByAccessibility(F_BinZielDlg->B_Ok);
    EXPECT_EQ(F_BinZielDlg->result(), 1);
    EXPECT_EQ(F_BinZielDlg->BinByteAnzahl, 12);
}

TEST_F(MemoryToolTest, SettingsChangedWhileOpen) {
    ASSERT_NO_FATAL_FAILURE(start(256, 0, 8, false));
    ProjectSettings.ProbeMaster = 1;  // the tools stay open after the settings command
    sim->addDevice(0xA2, {rafusim::DeviceKind::Eeprom, 512, 8, 1, 0xFF});
    sim->setMemory(0xA0, 0, {16});
    sim->setMemory(0xA0, 0x11, {0xA1});
    m->TB_ReadDevice->trigger();
    m->TB_WrDevOnline->setChecked(true);
    at(1, 1);
    key(Qt::Key_Return);  // the editor made once: leaving the grid commits the current cell
    key(Qt::Key_Return);
    EXPECT_EQ(cell(1, 1), " 16");
    at(2, 1);
    type("20");  // still in the editor when the settings change
    // Hexadecimal, another device, twice the size: the open monitor shows it at once.
    answerSettings(true, [] {
        TWorkingSettings& ws = F_Einstellungen->WorkingSettings;
        ws.MemHex = 1;
        F_Einstellungen->LE_DevAdr->setText("0xA2");  // fields: OK takes what they show
        F_Einstellungen->CB_MemBytes->setEditText("512");
    });
    w->miSetupClick();
    ASSERT_EQ(settingsRuns, 1);
    // The typed byte went to the device and in the base it was typed for.
    EXPECT_EQ(bus('W').back(), ",W1,A0S01,14");
    EXPECT_EQ(cell(16, 0), "  F");
    EXPECT_EQ(cell(0, 2), "   10");
    EXPECT_EQ(s8(m->panelText(0)), " Bausteinadresse: 0xA2");
    EXPECT_EQ(s8(m->panelText(1)), " Speicher: 512 Byte");
    EXPECT_EQ(s8(m->panelText(2)), " Pagegröße: 8 Byte");
    EXPECT_EQ(s8(m->panelText(3)), " Darstellung: Hexadezimal");
    ASSERT_EQ(m->capacity(), 512);  // nothing of the image was read from the new device
    EXPECT_EQ(m->MemState, std::vector<uint8_t>(512, MemNeverRead));
    m->SB_DeviceMon->setValue(m->SB_DeviceMon->maximum());
    EXPECT_EQ(cell(0, 16), "  1F0");
    m->SB_DeviceMon->setValue(0);
    // Leaving the grid reads the unedited cell in the base it is drawn in.
    m->MemData[0] = 16, m->MemState[0] = MemRead;
    m->ShowMemoryPage();
    ASSERT_NO_FATAL_FAILURE(at(1, 1));
    m->SB_DeviceMon->setFocus();
    EXPECT_EQ(m->MemState[0], MemRead);
    EXPECT_EQ(sim->memory(0xA2)[0], 16);  // online: the byte goes to the new device
    // The record changes under the monitor (as a project opened meanwhile does): still read
    // in the base drawn.
    ProjectSettings.MemHex = 0;
    m->SG_MemDump->setFocus();
    m->SB_DeviceMon->setFocus();
    EXPECT_EQ(m->MemState[0], MemRead);
    EXPECT_EQ(m->MemData[0], 16);
    // One byte edited: the write sends nothing of what 0xA0 held.
    m->TB_WrDevOnline->setChecked(false);
    at(1, 2);
    type("55");
    m->TB_WriteDevice->trigger();
    EXPECT_EQ(bus('W').back(), ",W8,A2S10,55,FF,FF,FF,FF,FF,FF,FF");
    EXPECT_TRUE(messages().empty());
}

// A project opened or created while the monitor shows a read image: a typed byte goes to the
// device it was typed for, then the monitor shows the project's device, nothing of the old one.
TEST_F(MemoryToolTest, ProjectOpenedOrCreatedWhileOpen) {
    ASSERT_NO_FATAL_FAILURE(start(256));
    sim->addDevice(0xA4, {rafusim::DeviceKind::Eeprom, 256, 8, 1, 0xFF});
    std::vector<uint8_t> image(256);
    for (int i = 0; i < 256; ++i) image[i] = uint8_t(0x50 + i * 7);
    sim->setMemory(0xA0, 0, image);
    ProjectSettings.AutoSaveProject = 0;
    ProjectSettings.MemDevAddr = 0xA4;  // the opened project's and the default project's device
    const std::string a4 = w->ProjectDir + "a4.kvo";
    ASSERT_TRUE(SaveProjectFile(a4, *w));
    w->ProjectPath.clear();
    ASSERT_TRUE(SaveProjectFile("", *w));
    for (bool online : {false, true})
        for (bool open : {true, false}) {
            SCOPED_TRACE(std::string(online ? "online " : "offline ") + (open ? "open" : "new"));
            ProjectSettings.MemDevAddr = 0xA0;
            ASSERT_NO_FATAL_FAILURE(reshow(256));
            m->TB_ReadDevice->trigger();
            m->TB_WrDevOnline->setChecked(online);
            at(1, 1);
            key(Qt::Key_Return);  // the editor made once
            key(Qt::Key_Return);
            at(5, 1);
            type("77");  // still in the editor when the project changes
            sim->clearLog();
            w->DocFlags = 0;
            answers = {{dialogs::mrOk, open ? a4 : std::string()}};  // the file; New: the name, cancelled
            open ? w->miOpenProjClick() : w->miNewProjektClick();
            EXPECT_EQ(bus('W'),
                      online ? std::vector<std::string>{",W1,A0S04,77"} : std::vector<std::string>{});
            EXPECT_EQ(s8(m->panelText(0)), " Bausteinadresse: 0xA4");
            EXPECT_EQ(m->MemState[0x31], MemNeverRead);
            m->TB_WrDevOnline->setChecked(false);
            at(1, 4);
            type("55");
            m->TB_WriteDevice->trigger();
            EXPECT_EQ(bus('W').back(), ",W8,A4S30,55,FF,FF,FF,FF,FF,FF,FF");
        }
}

// The sub-address width alone is another device: nothing read stays marked as read.
TEST_F(MemoryToolTest, TwoSubBytesAloneDropsTheReadMarks) {
    ASSERT_NO_FATAL_FAILURE(start(256));
    m->TB_ReadDevice->trigger();
    ASSERT_EQ(m->MemState[0x10], MemRead);
    answerSettings(true, [] { F_Einstellungen->CBt_2Subbytes->click(); });
    w->miSetupClick();
    ASSERT_EQ(ProjectSettings.MemTwoSubBytes, 1);
    EXPECT_EQ(m->MemState[0x10], MemNeverRead);
}

TEST_F(MemoryToolTest, MenuCommandAndForms) {
    ASSERT_NO_FATAL_FAILURE(start(256));
    m->move(140, 160);
    EXPECT_TRUE(w->formVisible(ProjectFileHost::MemoryForm));
    EXPECT_EQ(w->formLeft(ProjectFileHost::MemoryForm), m->x());
    w->miMemToolClick();  // checked: the menu command hides
    EXPECT_FALSE(m->isVisible());
    EXPECT_FALSE(w->miMemTool->isChecked());
    EXPECT_FALSE(w->formVisible(ProjectFileHost::MemoryForm));
    w->miMemToolClick();
    EXPECT_TRUE(m->isVisible());
    m->close();  // the close box releases the image
    EXPECT_FALSE(w->miMemTool->isChecked());
    EXPECT_EQ(m->capacity(), 0);

    // Closed while a transfer lets its dialog appear: the read ends, then the image goes.
    w->miMemToolClick();
    const int links = LinkOpenCount;
    QMetaObject::invokeMethod(m, &QWidget::close, Qt::QueuedConnection);
    m->TB_ReadDevice->trigger();
    EXPECT_FALSE(m->isVisible());
    EXPECT_EQ(bus('R').size(), 16u);
    EXPECT_EQ(m->capacity(), 0);
    EXPECT_EQ(LinkOpenCount, links);
    EXPECT_FALSE(F_Fortschritt->isVisible());
    // Closed and shown again smaller meanwhile: the transfer leaves the new image alone.
    w->miMemToolClick();
    ProjectSettings.MemBytes = 128;
    sim->clearLog();
    QMetaObject::invokeMethod(m, &QWidget::close, Qt::QueuedConnection);
    QMetaObject::invokeMethod(m, &QWidget::show, Qt::QueuedConnection);
    m->TB_ReadDevice->trigger();
    EXPECT_TRUE(bus('R').empty());
    EXPECT_EQ(m->MemState, std::vector<uint8_t>(128, MemNeverRead));
    m->TB_WriteAll->setChecked(true);  // a write stops alike
    QMetaObject::invokeMethod(m, &QWidget::close, Qt::QueuedConnection);
    QMetaObject::invokeMethod(m, &QWidget::show, Qt::QueuedConnection);
    m->TB_WriteDevice->trigger();
    EXPECT_TRUE(bus('W').empty());
    EXPECT_EQ(LinkOpenCount, links);
    // The main window's close request during a read waits for the read's end.
    QMetaObject::invokeMethod(w, &QWidget::close, Qt::QueuedConnection);
    m->TB_ReadDevice->trigger();
    EXPECT_TRUE(w->isVisible() && QTest::qWaitFor([this] { return !w->isVisible(); }));
    EXPECT_TRUE(messages().empty());
}

}  // namespace
}  // namespace kevotest
