#include "numbertext.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <limits>

#include "filesave.h"

namespace {

bool isHexText(const std::string& text) {
    return text.size() >= 2 && text[0] == '0' && text[1] == 'x';
}

bool isDigitOf(char ch, bool hex) {
    return (ch >= '0' && ch <= '9') || (hex && ch >= 'A' && ch <= 'F');
}

int hexValue(char ch) {
    if (ch >= '0' && ch <= '9') return ch - '0';
    if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
    if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
    return -1;
}

[[noreturn]] void conversionError(const std::string& text) {
    throw EConvertError("'" + text + "' ist kein gültiger ganzzahliger Wert");
}

bool convert(const std::string& text, std::int32_t& value) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    bool neg = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) neg = text[i++] == '-';
    int base = 10;
    if (i < text.size() && text[i] == '$') {
        base = 16;
        ++i;
    } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i == text.size()) return false;
    const std::int64_t limit =
        static_cast<std::int64_t>(std::numeric_limits<std::int32_t>::max()) + (neg ? 1 : 0);
    std::int64_t v = 0;
    for (; i < text.size(); ++i) {
        const int d =
            base == 16 ? hexValue(text[i]) : (text[i] >= '0' && text[i] <= '9' ? text[i] - '0' : -1);
        if (d < 0) return false;
        v = v * base + d;
        if (v > limit) return false;
    }
    value = static_cast<std::int32_t>(neg ? -v : v);
    return true;
}

// Moves the file at path to backup, replacing an older backup; a folder, link, device or
// protected file at either name stays as it is. True when the file was moved.
bool moveToBackup(const std::string& path, const std::string& backup) {
    struct stat st;
    if (backup.empty() || ::lstat(path.c_str(), &st) != 0 || !mayReplace(path) || !mayReplace(backup))
        return false;
    // rename replaces an older backup in one step, so a backup exists at every moment.
    return std::rename(path.c_str(), backup.c_str()) == 0;
}

}  // namespace

std::int32_t StrToInt(const std::string& text) {
    std::int32_t v;
    if (!convert(text, v)) conversionError(text);
    return v;
}

std::int32_t StrToIntDef(const std::string& text, std::int32_t def) {
    std::int32_t v;
    return convert(text, v) ? v : def;
}

bool FilterNumberText(std::string& text) {
    const bool hex = isHexText(text);
    if (hex) {
        for (char& ch : text)
            if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
        text[1] = 'x';
    }
    const std::size_t prefix = hex ? 2 : 0;
    if (text.size() <= prefix) return true;
    for (std::size_t i = prefix; i < text.size();) {
        if (isDigitOf(text[i], hex)) {
            ++i;
            continue;
        }
        text.erase(i, 1);
        if (text.size() <= prefix) return true;
    }
    return false;
}

bool LimitNumberText(std::string& text, std::int32_t max) {
    if (FilterNumberText(text)) return true;
    if (max <= 0) max = 1;
    const std::size_t prefix = isHexText(text) ? 2 : 0;
    while (StrToInt(text) > max) {
        text.pop_back();
        if (text.size() <= prefix) return true;
    }
    return false;
}

std::int32_t ParseNumberText(const std::string& original) {
    std::string text = original;
    std::size_t blanks = 0;
    while (blanks < text.size() && text[blanks] == ' ') ++blanks;
    text.erase(0, blanks);
    const bool hex = isHexText(text);
    const std::size_t prefix = hex ? 2 : 0;
    if (text.size() <= prefix) return 0;
    for (std::size_t i = prefix; i < text.size(); ++i)
        if (!isDigitOf(text[i], hex)) return 0;
    return StrToInt(text);
}

bool HasInvalidNameChar(const std::string& text) {
    for (char ch : {'\\', '"', '.', '/', ':', '*', '?', '|', '<', '>'})
        if (text.find(ch) != std::string::npos) return true;
    return false;
}

std::string BackupName(const std::string& path, char mark) {
    const std::size_t slash = path.rfind('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const std::size_t dot = path.find('.', nameStart);
    std::string out = path;
    out.insert(dot == std::string::npos ? nameStart : dot + 1, 1, mark);
    return out;
}

void MakeBackupFile(const std::string& path) {
    (void)moveToBackup(path, BackupName(path));
}

std::string freeBackupName(const std::string& path, const std::vector<std::string>& taken) {
    const std::string file = savedFileOf(path);
    if (file.empty()) return std::string();
    std::vector<std::string> files;
    for (const std::string& t : taken) files.push_back(savedFileOf(t));
    std::string name = BackupName(file);
    for (int marks = 1; marks <= 8; ++marks, name = BackupName(name)) {
        if (mayReplace(name) && std::find(files.begin(), files.end(), name) == files.end()) return name;
    }
    return std::string();
}
