// The capture store, the trace decoder and the log loader over any pairs: recording them (in
// runs of any length, decoded a line at a time as the capture thread does) never goes past
// the store's limits; the log written from that store and loaded again holds the same pairs
// and index, and its trace has exactly the text of the live trace after the loaded log's
// heading. Any file, loaded directly, is read only up to the store's limits.
//
// Input: mode byte, lines per live decode, seed of the run lengths, then the pairs. Built as
// log_limits (KEVO_FUZZ_LOG_LIMITS), it repeats the pairs beyond the store's size: a second
// target, since every such input takes seconds under the sanitizers.
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "capturestore.h"
#include "fakeview.h"
#include "fuzzinput.h"
#include "iictexte.h"
#include "logfiles.h"
#include "projectsettings.h"
#include "tracedecoder.h"

namespace {

// One folder for the whole run; the log file is rewritten by every input.
char logFolder[] = "/tmp/kevo-fuzz-log-XXXXXX";

const std::string& logPath() {
    static const std::string path = [] {
        FUZZ_CHECK(::mkdtemp(logFolder) != nullptr);
        std::atexit([] {
            ::unlink((std::string(logFolder) + "/log.i2p").c_str());
            ::rmdir(logFolder);
        });
        return std::string(logFolder) + "/log.i2p";
    }();
    return path;
}

// A store as a fresh one is, without a new allocation per input (ClearProtokoll's store part
// without the new buffer): big allocations are what makes a sanitized run slow.
CaptureStore& clearedStore(int which) {
    static std::unique_ptr<CaptureStore> stores[3];
    if (!stores[which]) stores[which] = std::make_unique<CaptureStore>();
    CaptureStore& s = *stores[which];
    std::fill_n(s.TelegramIndex.get(), TelegramIndexSize, NoTelegram);
    s.TelegramIndex[0] = 0;
    s.IndexCount = 1;
    s.BytesUsed = 0;
    s.DecodePos = 0;
    s.TelegramNo = 0;
    return s;
}

// The store's invariants: limits, even fill, and an index of exactly its telegram starts.
void checkStore(const CaptureStore& s) {
    const std::int32_t used = s.BytesUsed.load();
    const std::int32_t count = s.IndexCount.load();
    FUZZ_CHECK(used >= 0 && used <= CaptureBufferSize && used % 2 == 0);
    FUZZ_CHECK(count >= 1 && count <= TelegramIndexSize);
    FUZZ_CHECK(s.TelegramIndex[0] == 0);
    std::int32_t starts = 0;
    for (std::int32_t off = 0; off < used; off += 2) {
        if (!(s.CaptureBuffer[off] & StatusStart)) continue;
        ++starts;
        FUZZ_CHECK(starts < count && s.TelegramIndex[starts] == off);
    }
    FUZZ_CHECK(starts == count - 1);
    // The slots after the last one used stay unused (the first few: where a stray write would go).
    for (std::int32_t i = count; i < std::min(count + 64, TelegramIndexSize); ++i)
        FUZZ_CHECK(s.TelegramIndex[i] == NoTelegram);
}

// Lines numbered by the decoder: the telegram starts that are not overflow marks.
std::int32_t numberedStarts(const CaptureStore& s) {
    std::int32_t n = 0;
    for (std::int32_t off = 0; off < s.BytesUsed.load(); off += 2)
        n += (s.CaptureBuffer[off] & StatusStart) && !(s.CaptureBuffer[off] & StatusBufferFull);
    return n;
}

void useSettings(std::uint8_t mode) {
    resetProjectSettings();
    TProjectSettings& ps = ProjectSettings;
    ps.AttributeMode = mode % 3;
    ps.AttributeEnable = (mode & 0x04) ? 0xFF : 0x00;
    ps.StyleDefault = std::int8_t((mode >> 3) % 5) - 1;
    ps.StyleNak = 0, ps.StyleError = 1, ps.StylePort = 2;
    if (mode & 0x40) ps.ColorStartStop = ps.ColorDevAddr = ps.ColorText;  // runs that merge
}

// Records the pairs as the capture thread does: runs taken from the link, each appended and
// decoded a few lines at a time, until the store is full; then the catch-up and final decode.
void record(const std::string& pairs, std::int32_t linesPerCall, std::uint32_t seed, CaptureStore& store,
            FakeView& view) {
    setCaptureStore(&store);
    setMonitorView(&view);
    resetTraceDecoder();
    InitTraceAttributes(true);
    int carry = -1;
    std::size_t pos = 0;
    while (pos < pairs.size() && !store.StoreFull()) {
        seed = seed * 1103515245u + 12345u;
        const std::size_t run = std::min<std::size_t>(pairs.size() - pos, 1 + (seed >> 16) % 700);
        appendReceived(store, reinterpret_cast<const std::uint8_t*>(pairs.data() + pos), std::uint32_t(run),
                       carry);
        pos += run;
        DecodeTrace(linesPerCall);
        FUZZ_CHECK(TraceRun.PendingText.empty() && TraceRun.LineMode == 0);
    }
    while (store.DecodePos + 1 < store.BytesUsed.load()) DecodeTrace(300);
    DecodeTrace(0);
    FUZZ_CHECK(store.DecodePos == store.BytesUsed.load());
    setMonitorView(nullptr);
    setCaptureStore(nullptr);
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    FUZZ_CHECK(f != nullptr);
    FUZZ_CHECK(std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size());
    FUZZ_CHECK(std::fclose(f) == 0);
}

// Loads a log as the main window does and renders it; returns the view.
void load(const std::string& path, CaptureStore& store, FakeView& view) {
    setCaptureStore(&store);
    setMonitorView(&view);
    FUZZ_CHECK(readBinaryLog(path, store));
    store.RebuildTelegramIndex();
    ShowTraceOffline("I²C-Analyzer Protokolldatei: " + path, 0);
    FUZZ_CHECK(store.DecodePos == store.BytesUsed.load());
    FUZZ_CHECK(store.TelegramNo == numberedStarts(store));
    setMonitorView(nullptr);
    setCaptureStore(nullptr);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kevofuzz::FuzzInput in(data, size);
    const std::uint8_t mode = in.byte();
    const std::int32_t linesPerCall = in.byte() % 4;
    const std::uint32_t seed = in.u32();
    std::string pairs = in.rest();
#ifdef KEVO_FUZZ_LOG_LIMITS
    if (!pairs.empty()) {
#else
    if (false) {
#endif
        // Past both limits when the pairs hold starts: more bytes than the buffer, and more
        // than 49,999 starts when at least one pair in 16 is one.
        const std::size_t want = std::size_t(CaptureBufferSize) + 2 * 16 + (pairs.size() & 1);
        std::string big;
        big.reserve(want + pairs.size());
        while (big.size() < want) big += pairs;
        pairs.swap(big);
    }
    useSettings(mode);
    const std::string& path = logPath();

    // Recorded live.
    CaptureStore* live = &clearedStore(0);
    FakeView liveView;
    record(pairs, linesPerCall, seed, *live, liveView);
    checkStore(*live);
    if (!live->StoreFull())
        FUZZ_CHECK(live->BytesUsed.load() == std::int32_t(pairs.size() & ~std::size_t(1)));
    FUZZ_CHECK(live->TelegramNo == numberedStarts(*live));

    // Saved and loaded: the same pairs, the same index, the same trace text.
    FUZZ_CHECK(writeBinaryLog(path, *live) == LogWriteResult::Ok);
    CaptureStore* loaded = &clearedStore(1);
    FakeView loadedView;
    load(path, *loaded, loadedView);
    checkStore(*loaded);
    const std::int32_t used = live->BytesUsed.load();
    FUZZ_CHECK(loaded->BytesUsed.load() == used);
    FUZZ_CHECK(
        std::equal(live->CaptureBuffer.get(), live->CaptureBuffer.get() + used, loaded->CaptureBuffer.get()));
    FUZZ_CHECK(loaded->IndexCount.load() == live->IndexCount.load());
    const std::string heading = "I²C-Analyzer Protokolldatei: " + path + "\n" + SeparatorLine;
    FUZZ_CHECK(loadedView.text == heading + liveView.text);

    // Any file: read up to the limits, never past them.
    writeFile(path, pairs);
    CaptureStore* any = &clearedStore(2);
    FakeView anyView;
    load(path, *any, anyView);
    checkStore(*any);
    FUZZ_CHECK(any->BytesUsed.load() <= std::int32_t(std::min<std::size_t>(pairs.size(), CaptureBufferSize)));
    FUZZ_CHECK(std::equal(any->CaptureBuffer.get(), any->CaptureBuffer.get() + any->BytesUsed.load(),
                          reinterpret_cast<const std::uint8_t*>(pairs.data())));
    // What is left out is exactly what does not fit: the odd byte, bytes past the buffer, or
    // pairs from the 50,000th start on.
    const std::size_t taken = std::size_t(any->BytesUsed.load());
    if (taken < (pairs.size() & ~std::size_t(1)))
        FUZZ_CHECK(taken + 2 > std::size_t(CaptureBufferSize) ||
                   (any->IndexCount.load() == TelegramIndexSize && (uint8_t(pairs[taken]) & StatusStart)));
    return 0;
}
