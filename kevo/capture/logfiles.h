// The binary log file: exactly the used bytes of the capture store, a plain run of
// BusEvent pairs with no header. Reading and writing it, and the file names of the log
// pair (binary log and its rich-text copy). No Qt; GUI thread (the store must not be
// written meanwhile, so never while a recording runs).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "filesave.h"

class CaptureStore;

// Writes the first BytesUsed bytes of the store as the file path (saveFile, no backup); the
// program's own saves write the log pair (writeLogPair).
SaveResult writeBinaryLog(const std::string& path, const CaptureStore& store);

// Reads the log at path into a store that was just cleared: BytesUsed is set, the index is
// not built (RebuildTelegramIndex). The store's limits hold: at most CaptureBufferSize
// bytes and TelegramIndexSize - 1 telegram starts are taken, the rest of a larger file is
// left unread; a last status byte without its data byte is dropped, so BytesUsed is even.
// False (store empty) when the file cannot be opened or read.
bool readBinaryLog(const std::string& path, CaptureStore& store);

// The path of the rich-text copy: the file name's extension (from its last ".") replaced
// by ".rtf", or ".rtf" appended when the file name has none.
std::string rtfPathOf(const std::string& path);

// The path with "." + ext appended when its file name has no extension.
std::string withDefaultExtension(const std::string& path, const std::string& ext);

// The four files of a log save, all different: the log (the chosen path), its rich-text copy
// (rtfPathOf, or the log's name + ".rtf" when that is the log itself) and a backup name for
// each (freeBackupName, never another of the four). Looks at the folder for the backup names.
struct LogSaveNames {
    std::string log, logBackup, copy, copyBackup;
};
LogSaveNames logSaveNames(const std::string& path);

// Saves the log pair as one save (saveFiles): the binary log from the store (file 0) and the
// rich-text copy (file 1); both are written, or neither is changed.
SaveOutcome writeLogPair(const LogSaveNames& names, const CaptureStore& store, std::string_view copy);
