// The capture store, the trace decoder and the log loader over any pairs: recording them (in
// runs of any length, decoded a line at a time as the capture thread does) never goes past
// the store's limits; the same pairs shown as a loaded log get the same index, and their trace
// has exactly the text of the live trace after the loaded log's heading. On some inputs the
// pairs go through a file: the log written from the store and loaded again holds the same
// pairs, and any file, loaded directly, is read only up to the store's limits.
//
// Input: mode byte, lines per live decode, seed of the run lengths, then the pairs. Built as
// log_limits (KEVO_FUZZ_LOG_LIMITS), it repeats the pairs beyond the store's size: a second
// target, since every such input takes seconds under the sanitizers.
#include <fcntl.h>
#include <sys/stat.h>
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

// One input in this many goes through a log file: a file opened, sought and read takes tens
// of microseconds under the sanitizers, several times the rest of a short input.
#ifdef KEVO_FUZZ_LOG_LIMITS
constexpr unsigned kFileShare = 1;  // the limits are what a load must keep
#else
constexpr unsigned kFileShare = 16;
#endif

// One folder for the whole run; the log file is rewritten by every input. In memory where the
// system has a folder for that (/dev/shm): on a disk, every rewrite of a file waits for the
// disk to take the old one.
std::string logFolder;

const std::string& logPath() {
    static const std::string path = [] {
        struct stat st;
        const char* tmp = std::getenv("TMPDIR");
        logFolder = ::stat("/dev/shm", &st) == 0 && S_ISDIR(st.st_mode) && ::access("/dev/shm", W_OK) == 0
                        ? "/dev/shm"
                        : (tmp && *tmp ? tmp : "/tmp");
        logFolder += "/kevo-fuzz-log-XXXXXX";
        FUZZ_CHECK(::mkdtemp(logFolder.data()) != nullptr);
        void (*removeFolder)() = [] {
            ::unlink((logFolder + "/log.i2p").c_str());
            ::rmdir(logFolder.c_str());
        };
        std::atexit(removeFolder);
        kevofuzz::atFailure = removeFolder;
        return logFolder + "/log.i2p";
    }();
    return path;
}

// A store as a fresh one is, without a new allocation per input (ClearProtokoll's store part
// without the new buffer): big allocations are what makes a sanitized run slow. Of the index,
// only the slots the last input used and those checkStore looked at after them are set back
// (a whole index is 200 KB per store and input); the others are still as the new store had them.
CaptureStore& clearedStore(int which) {
    static std::unique_ptr<CaptureStore> stores[3];
    if (!stores[which]) stores[which] = std::make_unique<CaptureStore>();
    CaptureStore& s = *stores[which];
    const std::int32_t used = std::clamp(s.IndexCount.load(), 0, TelegramIndexSize - 64) + 64;
    std::fill_n(s.TelegramIndex.get(), used, NoTelegram);
    s.TelegramIndex[0] = 0;
    s.IndexCount = 1;
    s.BytesUsed = 0;
    s.DecodePos = 0;
    s.TelegramNo = 0;
    return s;
}

// A trace view as a fresh one is that keeps the text only (every write kept would cost more
// than the decoding); one per role, kept across inputs so that its text keeps its room.
FakeView& freshView(int which) {
    static FakeView views[3];
    views[which] = FakeView();
    views[which].recordWrites = false;
    return views[which];
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

// Records the pairs as the capture thread does: runs of whole pairs taken from the link (the
// last one may end in a lone status byte), each appended and decoded a few lines at a time,
// until the store is full; then the catch-up and final decode.
void record(const std::string& pairs, std::int32_t linesPerCall, std::uint32_t seed, CaptureStore& store,
            FakeView& view) {
    setCaptureStore(&store);
    setMonitorView(&view);
    resetTraceDecoder();
    InitTraceAttributes(true);
    std::size_t pos = 0;
    while (pos < pairs.size() && !store.StoreFull()) {
        seed = seed * 1103515245u + 12345u;
        const std::size_t run = std::min<std::size_t>(pairs.size() - pos, 2 + 2 * ((seed >> 16) % 350));
        appendReceived(store, reinterpret_cast<const std::uint8_t*>(pairs.data() + pos), std::uint32_t(run));
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
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    FUZZ_CHECK(fd >= 0);
    FUZZ_CHECK(::write(fd, bytes.data(), bytes.size()) == ssize_t(bytes.size()));
    FUZZ_CHECK(::close(fd) == 0);
}

// Indexes and renders a store just filled as the main window does after loading a log.
void show(const std::string& path, CaptureStore& store, FakeView& view) {
    setCaptureStore(&store);
    setMonitorView(&view);
    store.RebuildTelegramIndex();
    ShowTraceOffline("I²C-Analyzer Protokolldatei: " + path, 0);
    FUZZ_CHECK(store.DecodePos == store.BytesUsed.load());
    FUZZ_CHECK(store.TelegramNo == numberedStarts(store));
    setMonitorView(nullptr);
    setCaptureStore(nullptr);
}

// Loads a log as the main window does and renders it.
void load(const std::string& path, CaptureStore& store, FakeView& view) {
    FUZZ_CHECK(readBinaryLog(path, store));
    show(path, store, view);
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
    FakeView& liveView = freshView(0);
    record(pairs, linesPerCall, seed, *live, liveView);
    checkStore(*live);
    if (!live->StoreFull())
        FUZZ_CHECK(live->BytesUsed.load() == std::int32_t(pairs.size() & ~std::size_t(1)));
    FUZZ_CHECK(live->TelegramNo == numberedStarts(*live));

    // Loaded: the same pairs, the same index, the same trace text. One input in kFileShare
    // saves the log and loads the file; the others hand the live pairs to the decoder as the
    // loader hands over a file's bytes (the runs through a file check that it hands over
    // exactly these).
    const bool viaFile = kevofuzz::oneIn(data, size, kFileShare);
    CaptureStore* loaded = &clearedStore(1);
    FakeView& loadedView = freshView(1);
    const std::int32_t used = live->BytesUsed.load();
    if (viaFile) {
        FUZZ_CHECK(writeBinaryLog(path, *live) == SaveResult::Ok);
        load(path, *loaded, loadedView);
    } else {
        std::copy_n(live->CaptureBuffer.get(), used, loaded->CaptureBuffer.get());
        loaded->BytesUsed = used;
        show(path, *loaded, loadedView);
    }
    checkStore(*loaded);
    FUZZ_CHECK(loaded->BytesUsed.load() == used);
    FUZZ_CHECK(
        std::equal(live->CaptureBuffer.get(), live->CaptureBuffer.get() + used, loaded->CaptureBuffer.get()));
    FUZZ_CHECK(loaded->IndexCount.load() == live->IndexCount.load());
    const std::string heading = "I²C-Analyzer Protokolldatei: " + path + "\n" + SeparatorLine;
    FUZZ_CHECK(loadedView.text.size() == heading.size() + liveView.text.size() &&
               loadedView.text.compare(0, heading.size(), heading) == 0 &&
               loadedView.text.compare(heading.size(), std::string::npos, liveView.text) == 0);

    if (!viaFile) return 0;

    // Any file: read up to the limits, never past them. When the log saved above holds exactly
    // the pairs (all taken, an even count), it was this very file, loaded into `loaded`.
    const CaptureStore* any = loaded;
    if (std::size_t(used) != pairs.size() ||
        !std::equal(live->CaptureBuffer.get(), live->CaptureBuffer.get() + used,
                    reinterpret_cast<const std::uint8_t*>(pairs.data()))) {
        writeFile(path, pairs);
        CaptureStore& store = clearedStore(2);
        load(path, store, freshView(2));
        checkStore(store);
        any = &store;
    }
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
