#include "logfiles.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <memory>

#include "capturestore.h"
#include "numbertext.h"
#include "regularfile.h"

namespace {

std::string::size_type fileNameStart(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? 0 : slash + 1;
}

struct FileCloser {
    void operator()(std::FILE* f) const {
        if (f) std::fclose(f);
    }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

std::string_view usedBytes(const CaptureStore& store) {
    const std::int32_t used = store.BytesUsed.load();
    return {reinterpret_cast<const char*>(store.CaptureBuffer.get()), used > 0 ? std::size_t(used) : 0};
}

}  // namespace

SaveResult writeBinaryLog(const std::string& path, const CaptureStore& store) {
    return saveFile(path, usedBytes(store));
}

SaveOutcome writeLogPair(const LogSaveNames& names, const CaptureStore& store, std::string_view copy) {
    return saveFiles({{names.log, usedBytes(store), names.logBackup}, {names.copy, copy, names.copyBackup}});
}

bool readBinaryLog(const std::string& path, CaptureStore& store) {
    store.BytesUsed = 0;
    const int fd = openRegularFile(path);
    if (fd < 0) return false;
    File f(::fdopen(fd, "rb"));
    if (!f) {
        ::close(fd);
        return false;
    }
    if (std::fseek(f.get(), 0, SEEK_END) != 0) return false;
    const long size = std::ftell(f.get());
    if (size < 0 || std::fseek(f.get(), 0, SEEK_SET) != 0) return false;

    // Never more than the buffer holds; an odd last byte is a status without its data.
    std::int32_t want = std::int32_t(std::min<long>(size, CaptureBufferSize));
    want &= ~1;
    std::uint8_t* buf = store.CaptureBuffer.get();
    size_t got = 0;
    while (got < size_t(want)) {
        const size_t n = std::fread(buf + got, 1, size_t(want) - got, f.get());
        if (n == 0) break;
        got += n;
    }
    if (got != size_t(want)) return false;  // shorter than it said, or a read error

    // At most TelegramIndexSize - 1 telegram starts: the log ends before the next one.
    std::int32_t starts = 0;
    for (std::int32_t off = 0; off < want; off += 2) {
        if (buf[off] & StatusStart) {
            if (starts == TelegramIndexSize - 1) {
                want = off;
                break;
            }
            ++starts;
        }
    }
    store.BytesUsed = want;
    return true;
}

std::string rtfPathOf(const std::string& path) {
    const auto start = fileNameStart(path);
    const auto dot = path.find_last_of('.');
    if (dot == std::string::npos || dot < start) return path + ".rtf";
    return path.substr(0, dot) + ".rtf";
}

std::string withDefaultExtension(const std::string& path, const std::string& ext) {
    const auto start = fileNameStart(path);
    const auto dot = path.find_last_of('.');
    if (dot == std::string::npos || dot < start) return path + "." + ext;
    return path;
}

LogSaveNames logSaveNames(const std::string& path) {
    LogSaveNames n;
    n.log = path;
    n.copy = rtfPathOf(path);
    if (n.copy == path) n.copy += ".rtf";
    n.logBackup = freeBackupName(path, {n.copy});
    n.copyBackup = freeBackupName(n.copy, {n.log, n.logBackup});
    return n;
}
