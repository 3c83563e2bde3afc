// INI files with the semantics of the platform's private-profile files.
//
// Section and key names are compared without regard to case (also for letters such as "ß",
// "Ä", "É"); values are trimmed; writing a key replaces its value in place and keeps every
// other line, comment and line ending; a missing key is inserted after the last key of its
// section, a missing section is appended. Lines that are neither a section header, a comment
// (";") nor "key=value" are kept untouched and otherwise ignored. Only the first section of a
// name and the first key of a name in it count.
//
// Files are 8-bit text: a file that is valid UTF-8 is read as UTF-8, else as Windows-1252.
// Text inside this layer and at its interface is always UTF-8. A file is written back in the
// encoding it had; a new file (or one of plain ASCII) in Windows-1252 when all its text fits,
// else UTF-8 (also when a Windows-1252 file gets a value it cannot hold, and when its
// Windows-1252 bytes would read back as UTF-8). New files get CRLF.
//
// IniDocument is pure (no I/O). The file functions read and write whole files; a write goes
// to a temporary file in the same folder that then replaces the file, so a failed write
// leaves the old file intact. Nothing here is shared: callers on different threads must not
// use the same object.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace ini {

enum class Encoding {
    Ascii,        // no byte above 0x7F: written like a new file
    Utf8,         // valid UTF-8 with non-ASCII text (a UTF-8 byte order mark is kept)
    Windows1252,  // anything else
};

// Encoding helpers (exposed for tests and callers that store 8-bit text).
bool isValidUtf8(std::string_view bytes);
std::string windows1252ToUtf8(std::string_view bytes);
// False when a character has no Windows-1252 byte; out then holds '?' for it.
bool utf8ToWindows1252(std::string_view utf8, std::string& out);
// Simple case folding of UTF-8 text (Latin, Greek, Cyrillic letters), for name comparison.
std::string foldCase(std::string_view utf8);

// The integer reading of INI values: optional sign and decimal digits, or "0x"/"0X" and
// hexadecimal digits; the value must fit into a signed 32-bit integer. No blanks.
bool toInt32(std::string_view text, std::int32_t& value);

class IniDocument {
  public:
    IniDocument() = default;  // a new, empty file

    // Decodes the bytes of a file (any content: no exception, nothing rejected).
    static IniDocument parse(std::string_view bytes);
    // The bytes of the file.
    std::string serialize() const;

    Encoding encoding() const { return encoding_; }
    bool hasSection(std::string_view section) const;
    bool hasKey(std::string_view section, std::string_view key) const;
    // The trimmed value, or nothing when the key is missing.
    std::optional<std::string> value(std::string_view section, std::string_view key) const;
    std::string readString(std::string_view section, std::string_view key, std::string_view def) const;
    // Value as an integer (toInt32); def when the key is missing or its value is no number.
    std::int32_t readInteger(std::string_view section, std::string_view key, std::int32_t def) const;
    // Sets a key; the value is trimmed and kept on one line (line breaks become blanks).
    // False, and nothing written, when the section or key name would not read back as
    // itself: an empty name, a line break in either, or a key that starts with "[" or ";"
    // or holds "=".
    bool writeString(std::string_view section, std::string_view key, std::string_view value);
    bool writeInteger(std::string_view section, std::string_view key, std::int32_t value);

    // Line count (for tests).
    std::size_t lineCount() const { return lines_.size(); }

  private:
    enum class Kind { Other, Section, Key };
    struct Line {
        std::string text;  // UTF-8, without line ending
        std::string eol;   // "\r\n", "\n", "\r" or "" (last line)
        Kind kind = Kind::Other;
        std::string folded;        // folded section name or key name
        std::size_t valuePos = 0;  // Key: where the value starts in text
    };
    struct Index {
        std::unordered_map<std::string, std::size_t> sections;  // folded name -> header line
        std::unordered_map<std::string, std::size_t> keys;      // folded section '\n' folded key -> line
        bool valid = false;
    };

    static Line makeLine(std::string text, std::string eol);
    const Index& index() const;
    std::optional<std::size_t> findKey(std::string_view section, std::string_view key) const;
    void insertLine(std::size_t at, Line line, std::string_view foldedSection);

    std::vector<Line> lines_;
    Encoding encoding_ = Encoding::Ascii;
    bool bom_ = false;
    std::string newEol_ = "\r\n";
    mutable Index index_;
};

// The largest INI file read; a larger one counts as unreadable.
constexpr std::size_t kMaxIniFileSize = 16u * 1024u * 1024u;

// The bytes of a whole file. False (bytes untouched) when it does not exist, is no regular
// file (a folder, a pipe, a device), is larger than maxBytes or cannot be read.
bool readWholeFile(const std::string& path, std::string& bytes, std::size_t maxBytes = SIZE_MAX);
// Replaces the file's contents with the program's save routine (saveFile, no backup): the file
// is either the old one or the complete new one. False when it cannot be written: missing or
// read-only folder, protected file, not a regular file, full disk.
bool replaceFile(const std::string& path, std::string_view bytes);

// Reads a whole file into doc. False (doc untouched) when it does not exist, cannot be read
// or is larger than kMaxIniFileSize.
bool loadFile(const std::string& path, IniDocument& doc);
// Writes doc to path with replaceFile. False when the file cannot be written; the old file
// then stays as it was.
bool saveFile(const std::string& path, const IniDocument& doc);

// A file opened for a series of reads and writes (the class library's INI object): load at
// construction (a missing file reads as empty), the writes collect in memory until
// updateFile() writes them out in one go.
class IniFile {
  public:
    explicit IniFile(std::string path);
    const std::string& path() const { return path_; }
    bool existed() const { return existed_; }
    // False when the file existed but could not be read: it must not be replaced.
    bool readable() const { return !loadFailed_; }
    IniDocument& document() { return doc_; }
    const IniDocument& document() const { return doc_; }

    bool valueExists(std::string_view section, std::string_view key) const {
        return doc_.hasKey(section, key);
    }
    std::string readString(std::string_view section, std::string_view key, std::string_view def) const {
        return doc_.readString(section, key, def);
    }
    std::int32_t readInteger(std::string_view section, std::string_view key, std::int32_t def) const {
        return doc_.readInteger(section, key, def);
    }
    bool readBool(std::string_view section, std::string_view key, bool def) const {
        return doc_.readInteger(section, key, def ? 1 : 0) != 0;
    }
    bool writeString(std::string_view section, std::string_view key, std::string_view value) {
        return doc_.writeString(section, key, value);
    }
    bool writeInteger(std::string_view section, std::string_view key, std::int32_t value) {
        return doc_.writeInteger(section, key, value);
    }
    bool writeBool(std::string_view section, std::string_view key, bool value) {
        return doc_.writeString(section, key, value ? "1" : "0");
    }
    // Writes the file; false on failure. A file that existed but could not be read is never
    // replaced.
    bool updateFile() { return !loadFailed_ && saveFile(path_, doc_); }

  private:
    std::string path_;
    IniDocument doc_;
    bool existed_ = false;
    bool loadFailed_ = false;
};

// The private-profile pair: one key per call, the file read (and written) each time.
// The value read is copied to the result; def when the key or file is missing.
std::string GetPrivateProfileString(std::string_view section, std::string_view key, std::string_view def,
                                    const std::string& path);
// Writes one key; false when the file cannot be written or the name is refused (writeString).
bool WritePrivateProfileString(std::string_view section, std::string_view key, std::string_view value,
                               const std::string& path);

}  // namespace ini
