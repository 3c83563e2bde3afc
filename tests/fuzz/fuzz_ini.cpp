// The INI reader and writer over any bytes, in both encodings: an unchanged document gives
// back exactly its bytes; a value set reads back trimmed and on one line; a name that would
// not read back as itself is refused and changes nothing; after the writes and a round trip
// through the file's bytes every key written and every other key of the file reads as before.
//
// Input: length of the file (two bytes), the file's bytes, then writes: each an operation
// byte and length-prefixed section, key and value.
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "fuzzinput.h"
#include "inifile.h"

using ini::IniDocument;

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\v' || c == '\f';
}

std::string_view trimmed(std::string_view s) {
    std::size_t b = 0, e = s.size();
    while (b < e && isBlank(s[b])) ++b;
    while (e > b && isBlank(s[e - 1])) --e;
    return s.substr(b, e - b);
}

// Names and values cross the interface as UTF-8.
std::string asUtf8(const std::string& bytes) {
    return ini::isValidUtf8(bytes) ? bytes : ini::windows1252ToUtf8(bytes);
}

// What a written value reads back as: line breaks become blanks, then it is trimmed.
std::string readBack(std::string value) {
    for (char& c : value)
        if (c == '\r' || c == '\n') c = ' ';
    return std::string(trimmed(value));
}

// The names a file can hold: a section name in brackets and a key line of its own.
bool nameReadsBack(const std::string& section, const std::string& key) {
    const std::string_view s = trimmed(section), k = trimmed(key);
    if (s.empty() || k.empty()) return false;
    if (s.find_first_of("\r\n") != std::string_view::npos ||
        k.find_first_of("\r\n=") != std::string_view::npos)
        return false;
    return k[0] != '[' && k[0] != ';';
}

using Name = std::pair<std::string, std::string>;  // folded section, folded key

Name nameOf(const std::string& section, const std::string& key) {
    return {ini::foldCase(trimmed(section)), ini::foldCase(trimmed(key))};
}

// Section and key names that appear in the text, to look them up before and after the writes.
std::vector<std::pair<std::string, std::string>> namesIn(std::string_view text) {
    std::vector<std::pair<std::string, std::string>> out;
    std::string_view section;
    std::size_t start = 0;
    while (start < text.size() && out.size() < 64) {
        std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view line = trimmed(text.substr(start, end - start));
        start = end + 1;
        if (line.empty() || line[0] == ';') continue;
        if (line[0] == '[') {
            const std::size_t rb = line.rfind(']');
            if (rb != std::string_view::npos && rb > 0) section = line.substr(1, rb - 1);
            continue;
        }
        const std::size_t eq = line.find('=');
        if (eq != std::string_view::npos && !section.empty())
            out.emplace_back(std::string(section), std::string(line.substr(0, eq)));
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kevofuzz::FuzzInput in(data, size);
    const std::string file = in.bytes(in.u16());

    IniDocument doc = IniDocument::parse(file);
    FUZZ_CHECK(doc.serialize() == file);
    const ini::Encoding encoding = doc.encoding();

    // Every key the file holds, as it reads before the writes.
    std::string text = file;
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
    text = asUtf8(text);
    std::map<Name, std::pair<Name, std::optional<std::string>>> before;
    for (const auto& [section, key] : namesIn(text))
        before.emplace(nameOf(section, key), std::make_pair(Name{section, key}, doc.value(section, key)));

    std::map<Name, std::pair<Name, std::string>> written;
    // The document's bytes as of the last write taken. A write that must be refused is checked
    // against them once for a run of such writes, before the next write taken and at the end:
    // a serialization per refused write would cost more than all the rest.
    std::optional<std::string> bytesNow = file;
    bool refusedSince = false;
    auto checkUnchanged = [&] {
        if (refusedSince) FUZZ_CHECK(doc.serialize() == *bytesNow);
        refusedSince = false;
    };
    while (!in.empty()) {
        const uint8_t op = in.byte();
        const std::string section = asUtf8(in.shortString());
        const std::string key = asUtf8(in.shortString());
        const bool readsBack = nameReadsBack(section, key);
        if (readsBack)
            checkUnchanged();
        else if (!bytesNow)
            bytesNow = doc.serialize();
        std::string value;
        bool ok;
        if (op & 1) {
            const int32_t n = int32_t(in.u32());
            ok = doc.writeInteger(section, key, n);
            value = std::to_string(n);
        } else {
            value = asUtf8(in.shortString());
            ok = doc.writeString(section, key, value);
        }
        FUZZ_CHECK(ok == readsBack);
        if (!ok) {
            refusedSince = true;
            continue;
        }
        bytesNow.reset();
        std::string expected = readBack(value);
        FUZZ_CHECK(doc.value(section, key) == expected);
        written[nameOf(section, key)] = {Name{section, key}, std::move(expected)};
    }
    checkUnchanged();
    // Nothing written: the round trip would parse the very bytes parsed above once more.
    if (written.empty()) return 0;

    const std::string bytes = bytesNow ? *bytesNow : doc.serialize();
    const IniDocument back = IniDocument::parse(bytes);
    FUZZ_CHECK(back.serialize() == bytes);
    // A UTF-8 file stays UTF-8 (plain ASCII once nothing else is left in it).
    if (encoding == ini::Encoding::Utf8) FUZZ_CHECK(back.encoding() != ini::Encoding::Windows1252);
    for (const auto& [name, entry] : written)
        FUZZ_CHECK(back.value(entry.first.first, entry.first.second) == entry.second);
    for (const auto& [name, entry] : before) {
        if (written.count(name)) continue;
        FUZZ_CHECK(back.value(entry.first.first, entry.first.second) == entry.second);
    }
    return 0;
}
