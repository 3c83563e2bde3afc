// The one routine that writes every file the program saves: logs and their rich-text copies,
// memory images, project files and the configuration file.
//
// Each file's new contents go into a new file in the target's folder, are flushed, and only
// then move into place. The old file moves to its backup name, when one is given; a symbolic
// link is never written onto or moved: a save through a link replaces the file the link names.
// A file the user protected (no write permission, or no write bit at all, which also holds for
// root) is never replaced, moved or deleted. When anything fails, every file is as it was.
// Any thread; no state.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

enum class SaveResult {
    Ok,
    CannotCreate,  // no file can be made there: a folder that cannot be written, a protected
                   // file, no regular file, a link that names nothing
    WriteFailed,   // the new contents could not be written (a full disk) or moved into place
};

// One file of a save.
struct FileWrite {
    std::string path;  // as the user named it
    std::string_view bytes;
    // Where the old file goes: a name in the folder of savedFileOf(path) where nothing is, or a
    // regular file that mayReplace; empty: no backup.
    std::string backup;
};

struct SaveOutcome {
    SaveResult result = SaveResult::Ok;
    std::size_t failed = 0;  // the file that failed (index into the list)
};

// The file that a save of path replaces: path itself, or the file a symbolic link at path
// names; empty when the link names nothing (it dangles or loops).
std::string savedFileOf(const std::string& path);

// True when nothing is at path, or a regular file (not a link) the user may write.
bool mayReplace(const std::string& path);

// Saves all files or none. The files (and the backups) must all be different files.
SaveOutcome saveFiles(const std::vector<FileWrite>& files);

// Saves one file.
SaveResult saveFile(const std::string& path, std::string_view bytes, const std::string& backup = {});
