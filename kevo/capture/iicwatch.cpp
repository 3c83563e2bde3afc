#include "iicwatch.h"

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QTime>
#include <chrono>

#include "capturestore.h"
#include "deviceinfo.h"
#include "iictexte.h"
#include "monitorview.h"
#include "projectsettings.h"
#include "syncmailbox.h"
#include "tracedecoder.h"
#include "vl-com.h"
#include "vlcom.h"

std::atomic<std::int32_t> CaptureRunning{0};
std::string PendingLine;

const std::string CaptureEndedText = " - Aufzeichnung beendet! ";
const std::string CaptureOverflowText = " - Aufzeichnung abgebrochen - Speicherüberlauf!";

namespace {

std::int32_t defaultSend(const std::string& telegram) {
    return ComSend(telegram);
}
BSTR defaultTake() {
    return asGetRxBinBuf();
}

std::atomic<std::int32_t (*)(const std::string&)> linkSend{&defaultSend};
std::atomic<BSTR (*)()> linkTake{&defaultTake};

// A table entry, or "" for an index the table has no entry for.
template <std::size_t N>
const std::string& entry(const std::string (&table)[N], long long i) {
    static const std::string none;
    return (i >= 0 && i < static_cast<long long>(N)) ? table[i] : none;
}

void sleepMs(int ms) {
    if (ms <= 0)
        std::this_thread::yield();
    else
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

bool storeFull() {
    CaptureStore* store = captureStore();
    return !store || store->StoreFull();
}

// Appends the pairs of one taken buffer (StoreFull checked before each pair); each buffer
// is paired from its start.
void appendTaken(BSTR buffer) {
    CaptureStore* store = captureStore();
    if (!store || !buffer) return;
    appendReceived(*store, reinterpret_cast<const std::uint8_t*>(buffer), SysStringByteLen(buffer));
}

}  // namespace

void setCaptureLink(const CaptureLink& link) {
    linkSend = link.send ? link.send : &defaultSend;
    linkTake = link.takeRxBuffer ? link.takeRxBuffer : &defaultTake;
}

QLocale captureLocale() {
    QString name;
    for (const char* var : {"LC_ALL", "LC_TIME", "LANG"}) {
        name = qEnvironmentVariable(var);
        if (!name.isEmpty()) break;
    }
    const QLocale locale(name.isEmpty() ? QStringLiteral("C") : name);
    return locale.language() == QLocale::C ? QLocale(QLocale::German, QLocale::Germany) : locale;
}

QString longTimeFormat(const QLocale& locale) {
    return withoutZoneField(locale.timeFormat(QLocale::LongFormat));
}

QString withoutZoneField(const QString& format) {
    QString f;
    bool quoted = false;
    for (const QChar c : format) {
        if (c == u'\'') quoted = !quoted;
        if (quoted || c != u't') f += c;
    }
    // What enclosed or led up to the zone.
    f.remove(QStringLiteral("()")).remove(QStringLiteral("[]"));
    while (f.endsWith(u' ') || f.endsWith(u',')) f.chop(1);
    while (f.startsWith(u' ')) f.remove(0, 1);
    return f;
}

std::string captureDateText(const QDateTime& at, const QLocale& locale) {
    const int weekday = at.date().dayOfWeek() % 7 + 1;  // 1 = Sunday .. 7 = Saturday
    return entry(WeekdayNames, weekday) + " " +
           locale.toString(at.date(), QLocale::ShortFormat).toStdString() + ", " +
           locale.toString(at.time(), longTimeFormat(locale)).toStdString();
}

std::string captureDateText() {
    return captureDateText(QDateTime::currentDateTime(), captureLocale());
}

std::string captureHeaderLine3() {
    const TProjectSettings& ps = ProjectSettings;
    return entry(LevelNames, ps.LogicLevel) + " Logik - " + entry(TriggerNames, ps.TriggerMode) +
           " - Aufzeichnung " +
           entry(ClockRangeNames, static_cast<long long>(DeviceInfo.PllMode) * 4 + ps.ClockDivider);
}

ThIIcWatch::ThIIcWatch(bool CreateSuspended) {
    if (!CreateSuspended) Resume();
}

ThIIcWatch::~ThIIcWatch() {
    if (started_ && !finished_) {
        Terminate();
        WaitFor();
    }
    if (thread_.joinable()) thread_.join();
}

void ThIIcWatch::Resume() {
    if (started_) return;
    started_ = true;
    thread_ = std::thread([this] { run(); });
}

void ThIIcWatch::Terminate() {
    terminated_ = true;
}

void ThIIcWatch::WaitFor() {
    if (!started_) return;
    SyncMailbox::instance().waitFor([this] { return finished_.load(); });
    if (thread_.joinable()) thread_.join();
}

void ThIIcWatch::run() {
    try {
        Execute();
    } catch (...) {
        if (!fatal_) fatal_ = std::current_exception();
    }
    const bool failed = static_cast<bool>(fatal_);
    finished_ = true;
    SyncMailbox::instance().wake();
    // Last: whoever the notice reaches finds the thread ended. The object stays alive until
    // this returns (its deletion joins the thread).
    if (failed && errorNotice_) errorNotice_();
}

void ThIIcWatch::Synchronize(const std::function<void()>& method) {
    try {
        SyncMailbox::instance().Synchronize(method);
    } catch (...) {
        // The first error is the one the user sees; the thread goes on to its stop sequence.
        if (!fatal_) fatal_ = std::current_exception();
    }
}

void ThIIcWatch::ResetMonitorAttributes() {
    TraceRun.LastColor = ProjectSettings.ColorText;
    TraceRun.LastStyle = StyleBit(TraceAttributes.DefaultStyle);
    TraceRun.RunColor = TraceRun.LastColor;
    TraceRun.RunStyle = TraceRun.LastStyle;
    if (MonitorView* view = monitorView()) view->setSelAttributes(TraceRun.LastColor, TraceRun.LastStyle);
}

void ThIIcWatch::SyncAddLine() {
    MonitorView* view = monitorView();
    if (!view) return;
    MonitorBulk bulk(view);
    if (!PendingLine.empty() && static_cast<unsigned char>(PendingLine[0]) == 0x80)
        view->insertAtCaret(PendingLine.substr(1));
    else
        view->addLine(PendingLine);
}

void ThIIcWatch::SyncDecode() {
    DecodeTrace(CaptureRunning.load());
}

bool ThIIcWatch::SyncCatchUp() {
    CaptureStore* store = captureStore();
    if (!store) return false;
    DecodeTrace(CatchUpLines);
    return store->DecodePos + 1 < store->BytesUsed.load();
}

void ThIIcWatch::Execute() {
    // The attributes are built inside the hand-over: the GUI thread owns the decoder state.
    Synchronize([] {
        InitTraceAttributes(true);
        ResetMonitorAttributes();
    });

    SysFreeString(linkTake.load()());  // whatever arrived before the recording
    CaptureRunning = 1;

    PendingLine = "\x80" + SeparatorLine;
    Synchronize(SyncAddLine);
    PendingLine = " RAFU I²C-Protokoll - " + captureDateText();
    Synchronize(SyncAddLine);
    PendingLine = captureHeaderLine3();
    Synchronize(SyncAddLine);
    PendingLine = SeparatorLine;
    Synchronize(SyncAddLine);

    linkSend.load()("1" + std::to_string(ProjectSettings.TriggerMode));

    do {
        if (storeFull()) break;
        BSTR buffer = linkTake.load()();
        if (buffer) {
            appendTaken(buffer);
            Synchronize(SyncDecode);
            sleepMs(0);
        } else {
            Synchronize(SyncDecode);
            sleepMs(1);
        }
        SysFreeString(buffer);
    } while (!Terminated() && !fatal_);  // a failed hand-over ends the recording as a stop does

    linkSend.load()("10");
    sleepMs(1000);  // the adapter's last data reach the library

    if (BSTR buffer = linkTake.load()()) {
        appendTaken(buffer);
        SysFreeString(buffer);
    }

    CaptureRunning = 0;
    // What the live decode left behind goes in short hand-overs, so that the GUI thread
    // stays responsive; the decode of everything left then finds nothing more to do.
    for (bool behind = true; behind;) {
        behind = false;  // stays so when the hand-over fails
        Synchronize([&behind] { behind = SyncCatchUp(); });
    }
    Synchronize(SyncDecode);
    Synchronize(ResetMonitorAttributes);

    PendingLine = SeparatorLine;
    Synchronize(SyncAddLine);
    PendingLine = captureDateText() + (storeFull() ? CaptureOverflowText : CaptureEndedText);
    Synchronize(SyncAddLine);
    PendingLine = SeparatorLine;
    Synchronize(SyncAddLine);
    PendingLine = "";
    Synchronize(SyncAddLine);
}
