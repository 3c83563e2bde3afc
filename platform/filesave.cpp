#include "filesave.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <random>

namespace {

// Protected means no write permission for us, or no write bit at all: the latter also holds
// for root, as a read-only file does for an administrator.
bool writable(const std::string& path, const struct stat& st) {
    return (st.st_mode & 0222) != 0 && ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
}

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

std::string baseOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A name of our own beside the file: hidden, so that no listing of logs shows it.
std::string scratchName(const std::string& dir, const std::string& base) {
    static thread_local std::mt19937 rng{std::random_device{}()};
    return dir + "." + base + ".tmp" + std::to_string(rng() % 1000000);
}

bool writeAll(int fd, std::string_view bytes) {
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// One file on its way: the new contents in `fresh`, the old file held under `hold` (a second
// name of the same file, or the old file moved there where the file system has no links).
struct Job {
    std::string target, dir, base, fresh, hold, backup;
    bool existed = false;
    bool holdIsLink = false;
    bool installed = false;
    bool backedUp = false;
};

// Writes the new contents of f into a new file beside its target.
SaveResult prepare(const FileWrite& f, Job& j) {
    j.target = savedFileOf(f.path);
    if (j.target.empty()) return SaveResult::CannotCreate;
    j.dir = folderOf(j.target);
    j.base = baseOf(j.target);
    struct stat st {};
    if (::stat(j.target.c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode) || !writable(j.target, st)) return SaveResult::CannotCreate;
        j.existed = true;
    } else if (errno != ENOENT) {
        return SaveResult::CannotCreate;
    }
    struct stat dst {};
    if (j.base.empty() || ::stat(j.dir.c_str(), &dst) != 0 || !S_ISDIR(dst.st_mode) || !writable(j.dir, dst))
        return SaveResult::CannotCreate;
    if (j.existed && !f.backup.empty()) {
        if (!mayReplace(f.backup) || folderOf(f.backup) != j.dir) return SaveResult::CannotCreate;
        j.backup = f.backup;
    }
    int fd = -1;
    for (int attempt = 0; attempt < 20 && fd < 0; ++attempt) {
        j.fresh = scratchName(j.dir, j.base);
        fd = ::open(j.fresh.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) {
        j.fresh.clear();
        return SaveResult::CannotCreate;
    }
    bool ok = writeAll(fd, f.bytes);
    if (ok && j.existed) {
        (void)::fchmod(fd, st.st_mode & 07777);
        (void)!::fchown(fd, st.st_uid, st.st_gid);
    }
    if (ok && ::fsync(fd) != 0) ok = false;
    if (::close(fd) != 0) ok = false;
    return ok ? SaveResult::Ok : SaveResult::WriteFailed;
}

// Holds the old file under a second name, then moves the new one into place.
bool install(Job& j) {
    if (j.existed) {
        for (int attempt = 0; attempt < 20 && !j.holdIsLink; ++attempt) {
            j.hold = scratchName(j.dir, j.base);
            if (::link(j.target.c_str(), j.hold.c_str()) == 0)
                j.holdIsLink = true;
            else if (errno != EEXIST)
                break;
        }
        if (!j.holdIsLink) {  // a file system without hard links: move the old file aside
            j.hold = scratchName(j.dir, j.base);
            if (::rename(j.target.c_str(), j.hold.c_str()) != 0) {
                j.hold.clear();
                return false;
            }
        }
    }
    if (::rename(j.fresh.c_str(), j.target.c_str()) != 0) return false;
    j.installed = true;
    return true;
}

// Puts the old file back where it was and removes what the save made.
void undo(Job& j) {
    if (j.installed) {
        if (j.existed)
            (void)::rename((j.backedUp ? j.backup : j.hold).c_str(), j.target.c_str());
        else
            (void)::unlink(j.target.c_str());
        return;
    }
    if (!j.fresh.empty()) (void)::unlink(j.fresh.c_str());
    if (j.hold.empty()) return;
    if (j.holdIsLink)
        (void)::unlink(j.hold.c_str());
    else
        (void)::rename(j.hold.c_str(), j.target.c_str());
}

}  // namespace

std::string savedFileOf(const std::string& path) {
    struct stat st {};
    if (path.empty() || ::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    char* real = ::realpath(path.c_str(), nullptr);
    if (!real) return std::string();
    std::string out = real;
    std::free(real);
    return out;
}

bool mayReplace(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return errno == ENOENT;
    return S_ISREG(st.st_mode) && writable(path, st);
}

SaveOutcome saveFiles(const std::vector<FileWrite>& files) {
    std::vector<Job> jobs(files.size());
    SaveOutcome out;
    auto fail = [&](SaveResult r, std::size_t i) {
        for (std::size_t k = jobs.size(); k-- > 0;) undo(jobs[k]);
        out.result = r;
        out.failed = i;
        return out;
    };
    std::vector<std::string> names;  // every file the save replaces or moves onto
    for (std::size_t i = 0; i < files.size(); ++i) {
        const SaveResult r = prepare(files[i], jobs[i]);
        if (r != SaveResult::Ok) return fail(r, i);
        for (const std::string* n : {&jobs[i].target, &jobs[i].backup}) {
            if (n->empty()) continue;
            if (std::find(names.begin(), names.end(), *n) != names.end())
                return fail(SaveResult::CannotCreate, i);
            names.push_back(*n);
        }
    }
    for (std::size_t i = 0; i < jobs.size(); ++i)
        if (!install(jobs[i])) return fail(SaveResult::WriteFailed, i);
    // Every new file is in place: the old ones become the backups, or go.
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        Job& j = jobs[i];
        if (j.hold.empty() || j.backup.empty()) continue;
        if (::rename(j.hold.c_str(), j.backup.c_str()) != 0) return fail(SaveResult::WriteFailed, i);
        j.backedUp = true;
    }
    for (Job& j : jobs)
        if (!j.hold.empty() && !j.backedUp) (void)::unlink(j.hold.c_str());
    return out;
}

SaveResult saveFile(const std::string& path, std::string_view bytes, const std::string& backup) {
    return saveFiles({FileWrite{path, bytes, backup}}).result;
}
