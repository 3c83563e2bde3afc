#include "inifile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "filesave.h"
#include "regularfile.h"

namespace ini {

namespace {

// Windows-1252 0x80..0x9F. The five unassigned bytes map to the C1 controls of the same
// number, so that every byte survives a round trip.
const char32_t kHigh1252[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Decodes one UTF-8 sequence at s[i]; returns its length, 0 when it is not valid UTF-8.
std::size_t decodeUtf8(std::string_view s, std::size_t i, char32_t& c) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    if (b0 < 0x80) {
        c = b0;
        return 1;
    }
    std::size_t len;
    char32_t min;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        len = 2, c = b0 & 0x1F, min = 0x80;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        len = 3, c = b0 & 0x0F, min = 0x800;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        len = 4, c = b0 & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (i + len > s.size()) return 0;
    for (std::size_t k = 1; k < len; ++k) {
        const auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80) return 0;
        c = (c << 6) | (b & 0x3F);
    }
    if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0;
    return len;
}

char32_t foldChar(char32_t c) {
    if (c < 0x80) return (c >= 'A' && c <= 'Z') ? c + 32 : c;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 32;
    if (c == 0x178) return 0xFF;
    if (c >= 0x100 && c <= 0x17F) {
        // Latin Extended-A: pairs of capital and small letter; two runs start on an odd number.
        const bool oddRun = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
        if (c == 0x130 || c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F) return c;
        if (oddRun) return (c & 1) ? c + 1 : c;
        return (c & 1) ? c : c + 1;
    }
    if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) return c + 32;  // Greek
    if (c >= 0x410 && c <= 0x42F) return c + 32;                // Cyrillic
    if (c >= 0x400 && c <= 0x40F) return c + 80;
    return c;
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\v' || c == '\f';
}

std::string_view trim(std::string_view s) {
    std::size_t b = 0, e = s.size();
    while (b < e && isBlank(s[b])) ++b;
    while (e > b && isBlank(s[e - 1])) --e;
    return s.substr(b, e - b);
}

// A value or name must stay on its line.
std::string oneLine(std::string_view s) {
    std::string out(s);
    for (char& ch : out)
        if (ch == '\r' || ch == '\n') ch = ' ';
    return out;
}

std::string indexKey(std::string_view foldedSection, std::string_view foldedKey) {
    std::string k(foldedSection);
    k += '\n';
    k += foldedKey;
    return k;
}

}  // namespace

bool isValidUtf8(std::string_view bytes) {
    char32_t c;
    for (std::size_t i = 0; i < bytes.size();) {
        // Fast path over ASCII.
        if (static_cast<unsigned char>(bytes[i]) < 0x80) {
            ++i;
            continue;
        }
        const std::size_t n = decodeUtf8(bytes, i, c);
        if (n == 0) return false;
        i += n;
    }
    return true;
}

std::string windows1252ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 8);
    for (char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        if (b < 0x80)
            out += ch;
        else if (b < 0xA0)
            appendUtf8(out, kHigh1252[b - 0x80]);
        else
            appendUtf8(out, b);
    }
    return out;
}

bool utf8ToWindows1252(std::string_view utf8, std::string& out) {
    out.clear();
    out.reserve(utf8.size());
    bool fits = true;
    for (std::size_t i = 0; i < utf8.size();) {
        char32_t c;
        std::size_t n = decodeUtf8(utf8, i, c);
        if (n == 0) {  // not UTF-8 after all: keep the byte as it is
            out += utf8[i++];
            continue;
        }
        i += n;
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
            out += static_cast<char>(c);
            continue;
        }
        int found = -1;
        for (int k = 0; k < 32; ++k)
            if (kHigh1252[k] == c) found = k;
        if (found >= 0) {
            out += static_cast<char>(0x80 + found);
        } else {
            out += '?';
            fits = false;
        }
    }
    return fits;
}

std::string foldCase(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        if (b < 0x80) {
            out += static_cast<char>((b >= 'A' && b <= 'Z') ? b + 32 : b);
            ++i;
            continue;
        }
        char32_t c;
        const std::size_t n = decodeUtf8(utf8, i, c);
        if (n == 0) {
            out += utf8[i++];
            continue;
        }
        appendUtf8(out, foldChar(c));
        i += n;
    }
    return out;
}

bool toInt32(std::string_view s, std::int32_t& value) {
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        std::uint64_t v = 0;
        for (std::size_t i = 2; i < s.size(); ++i) {
            const char ch = s[i];
            int d;
            if (ch >= '0' && ch <= '9')
                d = ch - '0';
            else if (ch >= 'a' && ch <= 'f')
                d = ch - 'a' + 10;
            else if (ch >= 'A' && ch <= 'F')
                d = ch - 'A' + 10;
            else
                return false;
            v = v * 16 + static_cast<unsigned>(d);
            if (v > INT32_MAX) return false;
        }
        value = static_cast<std::int32_t>(v);
        return true;
    }
    std::size_t i = 0;
    bool neg = false;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) neg = s[i++] == '-';
    if (i == s.size()) return false;
    std::int64_t v = 0;
    for (; i < s.size(); ++i) {
        if (s[i] < '0' || s[i] > '9') return false;
        v = v * 10 + (s[i] - '0');
        if (v > static_cast<std::int64_t>(INT32_MAX) + 1) return false;
    }
    if (neg) v = -v;
    if (v > INT32_MAX || v < INT32_MIN) return false;
    value = static_cast<std::int32_t>(v);
    return true;
}

// ---- IniDocument ----

IniDocument::Line IniDocument::makeLine(std::string text, std::string eol) {
    Line line;
    line.text = std::move(text);
    line.eol = std::move(eol);
    const std::string_view t = line.text;
    std::size_t p = 0;
    while (p < t.size() && isBlank(t[p])) ++p;
    if (p == t.size() || t[p] == ';') return line;
    if (t[p] == '[') {
        const std::size_t rb = t.rfind(']');
        if (rb != std::string_view::npos && rb > p) {
            line.kind = Kind::Section;
            line.folded = foldCase(trim(t.substr(p + 1, rb - p - 1)));
        }
        return line;
    }
    const std::size_t eq = t.find('=', p);
    if (eq == std::string_view::npos) return line;
    const std::string_view key = trim(t.substr(p, eq - p));
    if (key.empty()) return line;
    line.kind = Kind::Key;
    line.folded = foldCase(key);
    line.valuePos = eq + 1;
    return line;
}

IniDocument IniDocument::parse(std::string_view bytes) {
    IniDocument doc;
    std::string text;
    if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF" && isValidUtf8(bytes.substr(3))) {
        doc.bom_ = true;
        doc.encoding_ = Encoding::Utf8;
        text.assign(bytes.substr(3));
    } else if (isValidUtf8(bytes)) {
        doc.encoding_ = Encoding::Ascii;
        for (char ch : bytes)
            if (static_cast<unsigned char>(ch) >= 0x80) {
                doc.encoding_ = Encoding::Utf8;
                break;
            }
        text.assign(bytes);
    } else {
        doc.encoding_ = Encoding::Windows1252;
        text = windows1252ToUtf8(bytes);
    }

    // At most one line per line break, and the last: the lines are not moved as they are added.
    std::size_t breaks = 0;
    for (char ch : text) breaks += ch == '\r' || ch == '\n';
    doc.lines_.reserve(breaks + 1);

    bool eolSeen = false;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t p = text.find_first_of("\r\n", start);
        std::string eol;
        std::size_t next;
        if (p == std::string::npos) {
            p = text.size();
            next = p;
        } else if (text[p] == '\r' && p + 1 < text.size() && text[p + 1] == '\n') {
            eol = "\r\n";
            next = p + 2;
        } else {
            eol = std::string(1, text[p]);
            next = p + 1;
        }
        if (!eolSeen && !eol.empty()) {
            doc.newEol_ = eol;
            eolSeen = true;
        }
        doc.lines_.push_back(makeLine(text.substr(start, p - start), std::move(eol)));
        start = next;
    }
    return doc;
}

std::string IniDocument::serialize() const {
    std::string text;
    std::size_t total = 0;
    for (const Line& l : lines_) total += l.text.size() + l.eol.size();
    text.reserve(total);
    for (const Line& l : lines_) {
        text += l.text;
        text += l.eol;
    }
    if (encoding_ != Encoding::Utf8) {
        // A character Windows-1252 cannot hold, or Windows-1252 bytes that would read back as
        // UTF-8 ("Ã¤"): the whole file goes to UTF-8 rather than change its text.
        std::string out;
        if (utf8ToWindows1252(text, out) && (out == text || !isValidUtf8(out))) return out;
    }
    return bom_ ? "\xEF\xBB\xBF" + text : text;
}

const IniDocument::Index& IniDocument::index() const {
    if (index_.valid) return index_;
    index_.sections.clear();
    index_.keys.clear();
    bool inFirst = false;  // inside the first section of its name
    const std::string* section = nullptr;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const Line& l = lines_[i];
        if (l.kind == Kind::Section) {
            inFirst = index_.sections.emplace(l.folded, i).second;
            section = &l.folded;
        } else if (l.kind == Kind::Key && inFirst) {
            index_.keys.emplace(indexKey(*section, l.folded), i);
        }
    }
    index_.valid = true;
    return index_;
}

std::optional<std::size_t> IniDocument::findKey(std::string_view section, std::string_view key) const {
    const Index& idx = index();
    auto it = idx.keys.find(indexKey(foldCase(trim(section)), foldCase(trim(key))));
    if (it == idx.keys.end()) return std::nullopt;
    return it->second;
}

bool IniDocument::hasSection(std::string_view section) const {
    return index().sections.count(foldCase(trim(section))) != 0;
}

bool IniDocument::hasKey(std::string_view section, std::string_view key) const {
    return findKey(section, key).has_value();
}

std::optional<std::string> IniDocument::value(std::string_view section, std::string_view key) const {
    auto at = findKey(section, key);
    if (!at) return std::nullopt;
    const Line& l = lines_[*at];
    return std::string(trim(std::string_view(l.text).substr(l.valuePos)));
}

std::string IniDocument::readString(std::string_view section, std::string_view key,
                                    std::string_view def) const {
    auto v = value(section, key);
    return v ? *v : std::string(def);
}

std::int32_t IniDocument::readInteger(std::string_view section, std::string_view key,
                                      std::int32_t def) const {
    auto v = value(section, key);
    std::int32_t n;
    if (v && toInt32(*v, n)) return n;
    return def;
}

void IniDocument::insertLine(std::size_t at, Line line, std::string_view foldedSection) {
    // A last line without line ending gets one before anything follows it.
    if (at == lines_.size() && !lines_.empty() && lines_.back().eol.empty()) lines_.back().eol = newEol_;
    // The index is kept up to date rather than rebuilt, so that a series of writes into a
    // large file stays linear. New sections are only appended and new keys only go into the
    // first section of their name, so the new line is the first of its name.
    if (index_.valid) {
        if (at < lines_.size()) {
            for (auto& e : index_.sections)
                if (e.second >= at) ++e.second;
            for (auto& e : index_.keys)
                if (e.second >= at) ++e.second;
        }
        if (line.kind == Kind::Section)
            index_.sections.emplace(line.folded, at);
        else if (line.kind == Kind::Key)
            index_.keys.emplace(indexKey(foldedSection, line.folded), at);
    }
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), std::move(line));
}

bool IniDocument::writeString(std::string_view section, std::string_view key, std::string_view value) {
    // A name that would read back as another line (a key "[X]" as a section header, "a=b" as
    // the key "a", ";x" as a comment, a name broken over two lines) would shadow other keys or
    // add a new line on every write: refused.
    const std::string_view sectionName = trim(section), keyName = trim(key);
    const Line keyLine = makeLine(std::string(keyName) + "=", "");
    const Line sectionLine = makeLine("[" + std::string(sectionName) + "]", "");
    if (sectionName.empty() || keyName.empty() ||
        sectionName.find_first_of("\r\n") != std::string_view::npos ||
        keyName.find_first_of("\r\n") != std::string_view::npos || keyLine.kind != Kind::Key ||
        keyLine.folded != foldCase(keyName) || sectionLine.kind != Kind::Section ||
        sectionLine.folded != foldCase(sectionName))
        return false;
    const std::string v(trim(oneLine(value)));
    if (auto at = findKey(section, key)) {
        Line& l = lines_[*at];
        std::size_t p = l.valuePos;
        while (p < l.text.size() && isBlank(l.text[p])) ++p;
        l.text.resize(p);
        l.text += v;
        return true;
    }
    const std::string keyText(keyName);
    const std::string sectionText(sectionName);
    const std::string folded = foldCase(sectionText);
    const Index& idx = index();
    auto sec = idx.sections.find(folded);
    if (sec != idx.sections.end()) {
        std::size_t insertAt = sec->second + 1;
        for (std::size_t i = sec->second + 1; i < lines_.size() && lines_[i].kind != Kind::Section; ++i)
            if (lines_[i].kind == Kind::Key) insertAt = i + 1;
        insertLine(insertAt, makeLine(keyText + "=" + v, newEol_), folded);
        return true;
    }
    if (!lines_.empty() && !trim(lines_.back().text).empty())
        insertLine(lines_.size(), makeLine("", newEol_), folded);
    insertLine(lines_.size(), makeLine("[" + sectionText + "]", newEol_), folded);
    insertLine(lines_.size(), makeLine(keyText + "=" + v, newEol_), folded);
    return true;
}

bool IniDocument::writeInteger(std::string_view section, std::string_view key, std::int32_t value) {
    return writeString(section, key, std::to_string(value));
}

// ---- files ----

bool readWholeFile(const std::string& path, std::string& bytes, std::size_t maxBytes) {
    // Only regular files: a pipe or a device (a project named /dev/zero) would block or never end.
    const int fd = openRegularFile(path);
    if (fd < 0) return false;
    struct stat st;
    if (::fstat(fd, &st) != 0 || static_cast<std::uint64_t>(st.st_size) > maxBytes) {
        ::close(fd);
        return false;
    }
    std::string data;
    data.reserve(static_cast<std::size_t>(st.st_size));
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            ::close(fd);
            return false;
        }
        data.append(buf, static_cast<std::size_t>(n));
        if (data.size() > maxBytes) {  // grew while being read
            ::close(fd);
            return false;
        }
    }
    ::close(fd);
    bytes = std::move(data);
    return true;
}

bool replaceFile(const std::string& path, std::string_view bytes) {
    return ::saveFile(path, bytes) == SaveResult::Ok;
}

bool loadFile(const std::string& path, IniDocument& doc) {
    std::string bytes;
    if (!readWholeFile(path, bytes, kMaxIniFileSize)) return false;
    doc = IniDocument::parse(bytes);
    return true;
}

bool saveFile(const std::string& path, const IniDocument& doc) {
    return replaceFile(path, doc.serialize());
}

IniFile::IniFile(std::string path) : path_(std::move(path)) {
    struct stat st;
    existed_ = !path_.empty() && ::stat(path_.c_str(), &st) == 0;
    if (existed_) loadFailed_ = !loadFile(path_, doc_);
}

std::string GetPrivateProfileString(std::string_view section, std::string_view key, std::string_view def,
                                    const std::string& path) {
    IniDocument doc;
    if (!loadFile(path, doc)) return std::string(trim(def));
    return doc.readString(section, key, trim(def));
}

bool WritePrivateProfileString(std::string_view section, std::string_view key, std::string_view value,
                               const std::string& path) {
    IniDocument doc;
    struct stat st;
    // A file that exists but cannot be read is never replaced by a file holding one key.
    if (::stat(path.c_str(), &st) == 0 && !loadFile(path, doc)) return false;
    return doc.writeString(section, key, value) && saveFile(path, doc);
}

}  // namespace ini
