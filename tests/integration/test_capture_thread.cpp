// The capture thread end to end: the simulated adapter on a pty, the real link library and
// command link, the capture store and the real trace view, the hand-overs served by this
// (GUI) thread as the recording control does.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QApplication>
#include <QDate>
#include <QRegularExpression>
#include <QStringList>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "../unit/test_decoder_fakeview.h"
#include "capturestore.h"
#include "deviceinfo.h"
#include "iictexte.h"
#include "iicwatch.h"
#include "projectsettings.h"
#include "qtapp.h"
#include "rafusim.h"
#include "simport.h"
#include "storeview.h"
#include "syncmailbox.h"
#include "tracedecoder.h"
#include "traceview.h"
#include "vl-com.h"
#include "vlcom.h"
#include "wait.h"

namespace {

KEVO_TEST_APPLICATION(QApplication);

using Clock = std::chrono::steady_clock;

constexpr uint8_t Mid = StatusNoError | StatusNoStop;
constexpr uint8_t First = StatusStart | Mid;
constexpr uint8_t Last = StatusNoError;

// (A function: the table lives in another translation unit's static storage.)
QString sep() {
    return QString::fromStdString(SeparatorLine);
}
#define Sep sep()

// Waits for a condition while serving the GUI thread's events and hand-overs.
bool serveUntil(const std::function<bool()>& done, int timeoutMs) {
    return kevosupport::waitUntil(done, timeoutMs, [] {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        SyncMailbox::instance().runPending();
    });
}

class CaptureThread : public kevosupport::SimPortTest, protected kevosupport::StoreAndTraceView {
  protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(makePortDir("capture-it"));
        ASSERT_NO_FATAL_FAILURE(startSim("COM6"));
        sim->setCaptureIdle();
        LinkOpenCount = 0;
        OfflineMode = false;
        DeviceInfo = TDeviceInfo();
        resetProjectSettings();
        resetTraceDecoder();
        setCaptureLink({});
        BSTR port = SysAllocStringByteLen("COM6", 4);
        int32_t baud = kSlackBaud;
        ASSERT_EQ(VlCOMPortSel(&port, &baud), 1);
        SysFreeString(port);
        installStoreAndView();
    }

    void TearDown() override {
        if (thread) {
            thread->Terminate();
            thread->WaitFor();
            thread.reset();
        }
        while (LinkOpenCount > 0) ComClose();
        uninstallStoreAndView();
        removePortDir();
    }

    // What the recording control does at the start and at the stop.
    void startRecording() {
        view->setCaretPos(view->textLength());
        ASSERT_TRUE(ComOpen());
        store->StartBytes = store->BytesUsed;
        thread = std::make_unique<ThIIcWatch>(true);
        thread->Resume();
    }
    void stopRecording() {
        thread->Terminate();
        thread->WaitFor();
        EXPECT_FALSE(thread->FatalException());
        thread.reset();
        ComClose();
    }

    QStringList lines() const { return view->toPlainText().split('\n'); }

    static QString weekdays() {
        return QStringLiteral("(Sonntag|Montag|Dienstag|Mittwoch|Donnerstag|Freitag|Samstag)");
    }
    // H1 to H4 from line at on; H1 is the separator, or what it was appended to.
    static void expectHeader(const QStringList& l, int at, const QString& h3, const QString& h1 = Sep) {
        ASSERT_GE(l.size(), at + 4);
        EXPECT_EQ(l[at], h1);
        const QRegularExpression h2("^ RAFU I²C-Protokoll - " + weekdays() + " .+, .+$");
        EXPECT_TRUE(h2.match(l[at + 1]).hasMatch()) << l[at + 1].toStdString();
        const int today = QDate::currentDate().dayOfWeek() % 7 + 1;
        EXPECT_TRUE(l[at + 1].contains(QString::fromStdString(" " + WeekdayNames[today] + " ")));
        EXPECT_EQ(l[at + 2], h3);
        EXPECT_EQ(l[at + 3], Sep);
    }
    // The footer as the last four lines.
    static void expectFooter(const QStringList& l, const std::string& ending) {
        ASSERT_GE(l.size(), 4);
        const int n = int(l.size());
        EXPECT_EQ(l[n - 4], Sep);
        const QRegularExpression f2("^" + weekdays() + " .+, .+" +
                                    QRegularExpression::escape(QString::fromStdString(ending)) + "$");
        EXPECT_TRUE(f2.match(l[n - 3]).hasMatch()) << l[n - 3].toStdString();
        EXPECT_EQ(l[n - 2], Sep);
        EXPECT_EQ(l[n - 1], QString());
    }

    std::unique_ptr<ThIIcWatch> thread;
};

TEST_F(CaptureThread, StopAtOnceStillRunsTheWholeSequence) {
    ProjectSettings.TriggerMode = 3;
    ProjectSettings.LogicLevel = 2;
    ProjectSettings.ClockDivider = 1;
    DeviceInfo.PllMode = 1;
    ASSERT_NO_FATAL_FAILURE(startRecording());
    thread->Terminate();
    const auto t0 = Clock::now();
    thread->WaitFor();
    const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count();
    EXPECT_GE(waited, 950);  // the one-second wait for the adapter's last data
    thread.reset();
    ComClose();

    const auto telegrams = sim->receivedTelegrams();
    std::vector<std::string> startStop;
    for (const std::string& t : telegrams)
        if (t == "13" || t == "10") startStop.push_back(t);
    EXPECT_EQ(startStop, (std::vector<std::string>{"13", "10"}));
    EXPECT_EQ(CaptureRunning.load(), 0);

    const QStringList l = lines();
    ASSERT_EQ(l.size(), 8) << view->toPlainText().toStdString();
    expectHeader(l, 0, QStringLiteral("3,3 Volt Logik - Start/Stop-Trigger - Aufzeichnung bis 575 kBit/S"));
    expectFooter(l, CaptureEndedText);
    EXPECT_EQ(CaptureEndedText, " - Aufzeichnung beendet! ");
}

TEST_F(CaptureThread, EventsAreStoredInOrderAndDecoded) {
    const std::vector<uint8_t> script = {
        First,
        0xA0,
        Mid,
        0x00,
        Mid,
        0x11,
        Last,
        0x22,  // write
        First,
        0xA0,
        Mid,
        0x05,
        StatusRepStart | Mid,
        0xA1,
        Mid,
        0x3F,
        Last | StatusNak,
        0x40,  // read
        StatusBufferFull,
        0x00,  // overflow
        StatusStart | StatusNoError | StatusNak,
        0x90,  // no device
    };
    sim->setCaptureScript(script);
    ProjectSettings.TriggerMode = 2;
    ASSERT_NO_FATAL_FAILURE(startRecording());
    ASSERT_TRUE(serveUntil([&] { return store->BytesUsed.load() == int32_t(script.size()); }, 10000));
    ASSERT_TRUE(serveUntil([&] { return store->DecodePos == int32_t(script.size()); }, 5000));
    stopRecording();

    ASSERT_EQ(store->BytesUsed.load(), int32_t(script.size()));
    EXPECT_TRUE(std::equal(script.begin(), script.end(), store->CaptureBuffer.get()));
    EXPECT_EQ(store->IndexCount.load(), 4);
    EXPECT_EQ(store->TelegramIndex[3], 20);
    EXPECT_EQ(sim->captureTrigger(), 2);

    const QStringList l = lines();
    ASSERT_EQ(l.size(), 12) << view->toPlainText().toStdString();
    expectHeader(l, 0, QStringLiteral("5 Volt Logik - Trigger - Aufzeichnung bis 800 kBit/S"));
    EXPECT_EQ(l[4], QStringLiteral("00000  »A0 00 11 22«"));
    EXPECT_EQ(l[5], QStringLiteral("00001  »A0 05»A1 3F 40«"));
    EXPECT_EQ(l[6], QString::fromStdString(BufferFullNotice));
    EXPECT_EQ(l[7], QStringLiteral("00002  »90«"));
    expectFooter(l, CaptureEndedText);
}

TEST_F(CaptureThread, AnOddBlockCostsOnlyItsLastByte) {
    // A block ending in a status byte without its data byte between normal blocks: each is
    // taken on its own (the next is sent only once the odd one's pair is stored).
    sim->setCaptureScript({First, 0xA0, Last, 0x01});
    ASSERT_NO_FATAL_FAILURE(startRecording());
    ASSERT_TRUE(serveUntil([&] { return store->BytesUsed.load() == 4; }, 10000));
    sim->sendCaptureBlock({First, 0xA2, Last, 0x02, First});
    ASSERT_TRUE(serveUntil([&] { return store->BytesUsed.load() == 8; }, 10000));
    sim->sendCaptureBlock({First, 0xA4, Mid, 0x10, Last, 0x04});
    ASSERT_TRUE(serveUntil([&] { return store->BytesUsed.load() >= 14 && store->DecodePos == 14; }, 10000));
    stopRecording();

    const std::vector<uint8_t> kept = {First, 0xA0,  Last, 0x01, First, 0xA2, Last,
                                       0x02,  First, 0xA4, Mid,  0x10,  Last, 0x04};
    ASSERT_EQ(store->BytesUsed.load(), int32_t(kept.size()));
    EXPECT_TRUE(std::equal(kept.begin(), kept.end(), store->CaptureBuffer.get()));
    const QStringList l = lines();
    ASSERT_EQ(l.size(), 11) << view->toPlainText().toStdString();
    EXPECT_EQ(l[6], QStringLiteral("00002  »A4 10 04«"));
}

TEST_F(CaptureThread, HeaderContinuesTheTraceItFinds) {
    // A loaded log ends with a telegram line: the separator goes onto its end.
    view->insertAtCaret("I²C-Analyzer Protokolldatei: x.i2p");
    view->addLine("00000  »A0 01«");
    ASSERT_NO_FATAL_FAILURE(startRecording());
    stopRecording();
    QStringList l = lines();
    ASSERT_EQ(l.size(), 9);
    expectHeader(l, 1, QStringLiteral("5 Volt Logik - kein Trigger - Aufzeichnung bis 800 kBit/S"),
                 QStringLiteral("00000  »A0 01«") + Sep);
    expectFooter(l, CaptureEndedText);

    // A second recording fills the empty line that the first one's footer left.
    ASSERT_NO_FATAL_FAILURE(startRecording());
    stopRecording();
    l = lines();
    ASSERT_EQ(l.size(), 16) << view->toPlainText().toStdString();
    EXPECT_EQ(l[7], Sep);  // the first footer's last separator
    expectHeader(l, 8, QStringLiteral("5 Volt Logik - kein Trigger - Aufzeichnung bis 800 kBit/S"));
    expectFooter(l, CaptureEndedText);
}

TEST_F(CaptureThread, GeneratedTrafficReachesStoreAndTraceWhole) {
    rafusim::TrafficOptions t;
    t.bytesPerSecond = 0;  // as fast as the line takes it
    t.seed = 11;
    t.bufferFullEvery = 40;
    t.maxPairs = 40000;
    sim->setCaptureTraffic(t);
    ASSERT_NO_FATAL_FAILURE(startRecording());
    // 40,000 bus pairs plus the overflow marks, all of them sent and stored.
    ASSERT_TRUE(serveUntil(
        [&] {
            return store->BytesUsed.load() >= 80000 && sim->captureBytesPending() == 0 &&
                   size_t(store->BytesUsed.load()) == sim->captureBytesSent();
        },
        20000))
        << store->BytesUsed.load() << " bytes";
    stopRecording();

    const std::vector<uint8_t> sent = sim->captureSent();
    ASSERT_GE(sent.size(), 80000u);
    ASSERT_EQ(size_t(store->BytesUsed.load()), sent.size());
    EXPECT_TRUE(std::equal(sent.begin(), sent.end(), store->CaptureBuffer.get()));
    EXPECT_EQ(store->DecodePos, store->BytesUsed.load());

    // The live decode (one line per pass, then the rest) writes what an offline decode writes.
    const QString live = view->toPlainText();
    const FakeView fake = decodeIntoFake(sent, true);
    const QString body = QString::fromUtf8(fake.text.c_str());  // starts with its line break
    const QString header = lines().mid(0, 4).join('\n');
    EXPECT_TRUE(live.startsWith(header + body + "\n" + Sep + "\n"));
}

TEST_F(CaptureThread, FullStoreEndsTheRecordingByItself) {
    for (int i = 0; i < TelegramIndexSize - 3; ++i) store->AppendBusEvent(StatusStart | StatusNoError, 0xA0);
    store->DecodePos = store->BytesUsed;
    store->TelegramNo = TelegramIndexSize - 3;
    const int32_t before = store->BytesUsed;
    sim->setCaptureScript({First, 0xA0, Last, 0x01,             // start 49,998
                           First, 0xA2, Mid, 0x02, Last, 0x03,  // start 49,999: first pair only
                           First, 0xA4, Last, 0x04});           // dropped
    ASSERT_NO_FATAL_FAILURE(startRecording());
    ASSERT_TRUE(serveUntil([&] { return thread->Finished(); }, 15000));  // no stop requested
    stopRecording();

    EXPECT_EQ(store->BytesUsed.load(), before + 6);
    EXPECT_EQ(store->IndexCount.load(), TelegramIndexSize);
    EXPECT_TRUE(store->StoreFull());
    EXPECT_EQ(store->CaptureBuffer[before + 4], First);
    EXPECT_EQ(store->CaptureBuffer[before + 5], 0xA2);

    const QStringList l = lines();
    ASSERT_EQ(l.size(), 10) << view->toPlainText().toStdString();
    EXPECT_EQ(l[4], QStringLiteral("49997  »A0 01«"));
    EXPECT_EQ(l[5], QStringLiteral("49998  »A2"));
    expectFooter(l, CaptureOverflowText);
    EXPECT_EQ(CaptureOverflowText, " - Aufzeichnung abgebrochen - Speicherüberlauf!");
}

// ---- the thread's own pairing, with the link routed to a script ----

namespace scripted {
std::mutex m;
std::vector<std::vector<uint8_t>> buffers;    // handed out in turn, then nothing
std::vector<std::vector<uint8_t>> afterStop;  // handed out once the stop telegram went
std::vector<std::string> sent;

int32_t send(const std::string& t) {
    std::lock_guard<std::mutex> l(m);
    sent.push_back(t);
    return 0;
}
BSTR take() {
    std::lock_guard<std::mutex> l(m);
    const bool stopped = std::find(sent.begin(), sent.end(), "10") != sent.end();
    std::vector<std::vector<uint8_t>>& from = buffers.empty() && stopped ? afterStop : buffers;
    if (from.empty()) return nullptr;
    const std::vector<uint8_t> b = from.front();
    from.erase(from.begin());
    return SysAllocStringByteLen(reinterpret_cast<const char*>(b.data()), uint32_t(b.size()));
}
}  // namespace scripted

class CaptureThreadScripted : public ::testing::Test {
  protected:
    void SetUp() override {
        resetProjectSettings();
        resetTraceDecoder();
        setCaptureStore(&store);
        std::lock_guard<std::mutex> l(scripted::m);
        scripted::sent.clear();
        scripted::buffers.clear();
        scripted::afterStop.clear();
        setCaptureLink({&scripted::send, &scripted::take});
    }
    void TearDown() override {
        setCaptureLink({});
        setMonitorView(nullptr);
        setCaptureStore(nullptr);
    }
    void script(std::vector<std::vector<uint8_t>> loop, std::vector<std::vector<uint8_t>> drain = {}) {
        std::lock_guard<std::mutex> l(scripted::m);
        scripted::buffers = std::move(loop);
        scripted::afterStop = std::move(drain);
    }
    // Records from the stop on, with the store holding at least bytes.
    void recordUntilStored(int32_t bytes) {
        ThIIcWatch thread(true);
        thread.Resume();
        ASSERT_TRUE(serveUntil([&] { return store.BytesUsed.load() >= bytes; }, 5000));
        thread.Terminate();
        thread.WaitFor();
        EXPECT_FALSE(thread.FatalException());
    }
    CaptureStore store;
};

TEST_F(CaptureThreadScripted, DiscardsEarlierDataAndPairsEachBufferFromItsStart) {
    TraceView view;
    setMonitorView(&view);
    const long live = OleStrLiveCount();
    script({{First, 0xEE},                     // arrived before the recording
            {First, 0xA0, Last, 0x01, First},  // its last byte has no partner: dropped
            {},                                // an empty buffer is no data
            {First, 0xA2, Last, 0x02}});
    recordUntilStored(8);

    const std::vector<uint8_t> expected = {First, 0xA0, Last, 0x01, First, 0xA2, Last, 0x02};
    ASSERT_EQ(store.BytesUsed.load(), int32_t(expected.size()));
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), store.CaptureBuffer.get()));
    EXPECT_EQ(scripted::sent, (std::vector<std::string>{"11", "10"}));
    EXPECT_EQ(OleStrLiveCount(), live);  // every taken buffer freed
    const QStringList l = view.toPlainText().split('\n');
    ASSERT_EQ(l.size(), 10);
    EXPECT_EQ(l[4], QStringLiteral("00000  »A0 01«"));
    EXPECT_EQ(l[5], QStringLiteral("00001  »A2 02«"));
}

// Counts the telegram lines that each hand-over of the final decode writes.
class ChunkView : public FakeView {
  public:
    int chunks = 0, longestChunk = 0;
    void beginBulk() override {
        if (bulkDepth == 0) {
            lines_ = 0;
            closing_ = CaptureRunning.load() == 0;
        }
        FakeView::beginBulk();
    }
    void endBulk() override {
        FakeView::endBulk();
        if (bulkDepth == 0 && closing_ && lines_ > 0) {
            ++chunks;
            longestChunk = std::max(longestChunk, lines_);
        }
    }
    void addLine(const std::string& t) override {
        FakeView::addLine(t);
        if (!t.empty() && t[0] >= '0' && t[0] <= '9') ++lines_;
    }

  private:
    int lines_ = 0;
    bool closing_ = false;
};

// The text of writes with a line break for each new line, and the attributes of each byte.
std::string flatText(const std::vector<TraceWrite>& runs) {
    std::string s;
    for (const TraceWrite& w : runs) s += (w.newLine ? "\n" : "") + w.text;
    return s;
}
std::vector<std::pair<COLORREF, StyleSet>> flatAttributes(const std::vector<TraceWrite>& runs) {
    std::vector<std::pair<COLORREF, StyleSet>> a;
    for (const TraceWrite& w : runs) a.insert(a.end(), w.text.size(), {w.color, w.styles});
    return a;
}

TEST_F(CaptureThreadScripted, FinalDecodeGoesInShortChunksAndWritesTheOfflineTrace) {
    ProjectSettings.AttributeEnable = 0xFF;
    ProjectSettings.StyleDefault = 1;
    ChunkView view;
    setMonitorView(&view);
    // Far more lines than the live decode writes before the stop, and more data with the
    // final drain, after "10".
    const std::vector<uint8_t> loop = randomCapture(3000, 5);
    const std::vector<uint8_t> drain = randomCapture(20, 6);
    script({{}, loop}, {drain});
    recordUntilStored(int32_t(loop.size()));

    std::vector<uint8_t> all = loop;
    all.insert(all.end(), drain.begin(), drain.end());
    ASSERT_EQ(store.BytesUsed.load(), int32_t(all.size()));
    EXPECT_TRUE(std::equal(all.begin(), all.end(), store.CaptureBuffer.get()));
    EXPECT_EQ(store.DecodePos, store.BytesUsed.load());
    // A chunk ends after CatchUpLines lines; lines written out before the next start (no
    // STOP, attributes changed after the last byte) do not count, so a few more go in.
    EXPECT_GT(view.chunks, 2);
    EXPECT_LT(view.longestChunk, CatchUpLines * 3 / 2);

    const std::vector<TraceWrite> runs = view.runs();
    ASSERT_GT(runs.size(), 8u);
    EXPECT_EQ(runs[3].text, SeparatorLine);                // H4
    EXPECT_EQ(runs[runs.size() - 4].text, SeparatorLine);  // F1
    const std::vector<TraceWrite> body(runs.begin() + 4, runs.end() - 4);

    const FakeView offline = decodeIntoFake(all, true);
    ASSERT_EQ(flatText(body), flatText(offline.runs()));
    const auto got = flatAttributes(body), want = flatAttributes(offline.runs());
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < got.size(); ++i)
        ASSERT_TRUE(got[i] == want[i])
            << "byte " << i << ": colour " << std::hex << got[i].first << " vs " << want[i].first
            << ", styles " << int(got[i].second) << " vs " << int(want[i].second);
}

TEST(SyncMailboxHandOver, RunsOnTheGuiThreadWhileTheWorkerWaits) {
    const std::thread::id gui = std::this_thread::get_id();
    std::atomic<int> step{0};
    std::thread::id ranOn;
    bool caught = false;
    std::atomic<bool> finished{false};
    std::thread worker([&] {
        SyncMailbox::instance().Synchronize([&] {
            ranOn = std::this_thread::get_id();
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
            step = 1;
        });
        step = step == 1 ? 2 : -1;  // only after the GUI thread has run it
        try {
            SyncMailbox::instance().Synchronize([] { throw std::runtime_error("Fehler"); });
        } catch (const std::runtime_error&) {
            caught = true;
        }
        finished = true;
        SyncMailbox::instance().wake();
    });
    SyncMailbox::instance().waitFor([&] { return finished.load(); });
    worker.join();
    EXPECT_EQ(ranOn, gui);
    EXPECT_EQ(step.load(), 2);
    EXPECT_TRUE(caught);
}

}  // namespace
