#include "logfiles.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>

#include "capturestore.h"
#include "numbertext.h"

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

}  // namespace

LogWriteResult writeBinaryLog(const std::string& path, const CaptureStore& store) {
    File f(std::fopen(path.c_str(), "wb"));
    if (!f) return LogWriteResult::CannotCreate;
    const std::int32_t used = store.BytesUsed.load();
    bool ok = true;
    if (used > 0) ok = std::fwrite(store.CaptureBuffer.get(), 1, size_t(used), f.get()) == size_t(used);
    ok = (std::fflush(f.get()) == 0) && ok;
    ok = (std::fclose(f.release()) == 0) && ok;
    if (!ok) {
        std::error_code ec;
        std::filesystem::remove(path, ec);
        return LogWriteResult::WriteFailed;
    }
    return LogWriteResult::Ok;
}

bool readBinaryLog(const std::string& path, CaptureStore& store) {
    store.BytesUsed = 0;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return false;
    File f(std::fopen(path.c_str(), "rb"));
    if (!f) return false;
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

void restoreBackupFile(const std::string& path) {
    const std::string backup = BackupName(path);
    std::error_code ec;
    if (!std::filesystem::exists(backup, ec)) return;
    std::filesystem::remove(path, ec);
    std::filesystem::rename(backup, path, ec);
}
