#include "memorylogic.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "numbertext.h"

const char* const MemAsciiHeader = " 0123456789ABCDEF";

namespace {

// Windows-1252 0x80..0x9F; 0 marks the five undefined positions.
const char16_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

std::string hexDigits(std::int32_t value, int digits) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%0*X", digits, static_cast<unsigned>(value));
    return buf;
}

}  // namespace

std::string memFormat(const char* templ, bool hex, std::int32_t value) {
    std::string f(templ);
    f += hex ? "X" : "u";
    char buf[32];
    std::snprintf(buf, sizeof buf, f.c_str(), static_cast<unsigned>(value));
    return buf;
}

std::string memCellText(std::uint8_t data, std::uint8_t state, bool hex) {
    if (state == MemNeverRead) return " ..";
    if (state <= (MemRead | MemChanged)) return memFormat("%3.2", hex, data);
    return " //";
}

char16_t cp1252Char(std::uint8_t b) {
    if (b < 0x20) return static_cast<char16_t>(0x2400 + b);
    if (b == 0x7F) return 0x2421;
    if (b >= 0x80 && b < 0xA0) {
        const char16_t c = kCp1252High[b - 0x80];
        return c ? c : char16_t(0xFFFD);
    }
    return static_cast<char16_t>(b);
}

char16_t memAsciiChar(std::uint8_t data, std::uint8_t state) {
    if (state == MemNeverRead) return u'-';
    if (state <= (MemRead | MemChanged)) return cp1252Char(data);
    return u'.';
}

std::array<MemPageRow, 16> memPage(const std::uint8_t* data, const std::uint8_t* state, int capacity, int top,
                                   bool hex) {
    std::array<MemPageRow, 16> rows;
    int p = top < 0 ? 0 : top;
    for (MemPageRow& row : rows) {
        row.ascii = u" ";
        if (p >= capacity) continue;  // a row past the end stays empty
        row.offset = memFormat("%5", hex, p);
        for (int c = 0; c < 16 && p < capacity; ++c, ++p) {
            row.cell[c] = memCellText(data[p], state[p], hex);
            row.ascii += memAsciiChar(data[p], state[p]);
            row.cells = c + 1;
        }
    }
    return rows;
}

std::array<std::string, 16> memHeaderCells(bool hex) {
    std::array<std::string, 16> h;
    for (int c = 0; c < 16; ++c) h[c] = memFormat("%3", hex, c);
    return h;
}

std::array<std::string, 4> memStatusTexts(std::int32_t devAddr, std::int32_t bytes, std::int32_t type,
                                          std::int32_t writePage, bool hex) {
    return {
        " Bausteinadresse: 0x" + hexDigits(devAddr, 2),
        " Speicher: " + std::to_string(bytes) + " Byte",
        // The page that the writes use: a page below 1 is shown as the 1 it is used as.
        type != 0 ? std::string(" keine SchreibPage")
                  : " Pagegröße: " + std::to_string(memWriteChunk(type, writePage)) + " Byte",
        hex ? " Darstellung: Hexadezimal" : " Darstellung: Dezimal",
    };
}

std::string memAddressPart(std::int32_t devAddr, bool twoSubBytes, std::int32_t p) {
    if (twoSubBytes) return hexDigits(devAddr, 2) + "W" + hexDigits(p, 4);
    return hexDigits(devAddr + 2 * (p / 256), 2) + "S" + hexDigits(p % 256, 2);
}

int memReadChunk(std::int32_t type) {
    return type == 2 ? 1 : 16;
}

int memWriteChunk(std::int32_t type, std::int32_t writePage) {
    if (type == 0) return writePage < 1 ? 1 : writePage;
    return type == 2 ? 16 : 1;
}

std::string memReadTelegram(int n, const std::string& addressPart) {
    return ",R" + hexDigits(n, 1) + "," + addressPart;
}

std::string memWriteTelegram(const std::string& addressPart, const std::uint8_t* data, int n) {
    std::string t = ",W" + hexDigits(n, 1) + "," + addressPart;
    t.reserve(t.size() + 3 * static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) t += "," + hexDigits(data[i], 2);
    return t;
}

int memReplyStatus(const std::string& reply, char echo) {
    if (reply.size() < 2 || reply[0] != ',' || reply[1] != echo) return MemNoEcho;
    return StrToInt(reply.substr(2, 2));
}

void memStoreReadReply(const std::string& reply, int n, std::uint8_t* data, std::uint8_t* state) {
    // The cursor starts at the echo letter; each "," must have at least one character after it.
    size_t cursor = 1;
    for (int i = 0; i < n; ++i) {
        size_t comma = std::string::npos;
        if (reply.size() >= 2 && cursor <= reply.size() - 2) {
            comma = reply.find(',', cursor);
            if (comma != std::string::npos && comma > reply.size() - 2) comma = std::string::npos;
        }
        if (comma == std::string::npos) {
            state[i] = MemMissing;
            continue;
        }
        cursor = comma + 1;
        data[i] = static_cast<std::uint8_t>(StrToInt("0x" + reply.substr(cursor, 2)));
        state[i] = MemRead;
    }
}

bool memCellValue(const std::string& cellText, bool hex, std::int32_t& value) {
    std::string t = cellText;
    if (hex) {
        const size_t first = t.find_first_not_of(' ');
        t = "0x" + (first == std::string::npos ? std::string() : t.substr(first));
    }
    // " .." and "-" never read; " //" missing from the last read and not edited.
    if (t.find_first_of(".-/") != std::string::npos) return false;
    value = StrToInt(t);
    return true;
}

void memClear(std::uint8_t* data, std::uint8_t* state, int n) {
    for (int i = 0; i < n; ++i) {
        if (data[i] != 0xFF || state[i] == MemNeverRead) {
            data[i] = 0xFF;
            state[i] |= MemChanged;
        }
    }
}

void memForgetDevice(std::uint8_t* data, std::uint8_t* state, int n) {
    for (int i = 0; i < n; ++i) {
        if (state[i] & MemChanged) {
            state[i] = MemChanged;
        } else {
            data[i] = 0xFF;
            state[i] = MemNeverRead;
        }
    }
}

MemScrollSetup memScrollSetup(std::int32_t bytes) {
    if (bytes >= 256) return {bytes, 256, 256};
    return {256, bytes, bytes};
}

int memScrollTop(int position, int capacity, int page, int* moveBar) {
    const int last = capacity - page;
    int top = position;
    if (moveBar) *moveBar = -1;
    if (top > last) {
        top = last;
        if (moveBar) *moveBar = top;
    }
    if (top <= 0) return 0;
    // At the end of the bar the last row holds the last byte, also when the capacity is no
    // multiple of 16; elsewhere a position between rows goes to the row above.
    if (top == last) return (top + 15) / 16 * 16;
    return top - top % 16;
}

std::int32_t memLargestCount(std::int32_t fileBytes, std::int32_t fileOffset, std::int32_t devBytes,
                             std::int32_t bufferOffset) {
    const std::int64_t a = std::int64_t(fileBytes) - fileOffset;
    const std::int64_t b = std::int64_t(devBytes) - bufferOffset;
    return static_cast<std::int32_t>(std::min(a, b));
}

MemLoadRange memLoadRange(std::int32_t fileOffset, std::int32_t bufferOffset, std::int32_t count,
                          int capacity, std::int64_t fileLength) {
    MemLoadRange r;
    r.fileOffset = fileOffset < 0 ? 0 : fileOffset;
    r.bufferOffset = bufferOffset < 0 ? 0 : bufferOffset;
    if (fileOffset < 0 || bufferOffset < 0 || count <= 0 || r.bufferOffset >= capacity ||
        fileOffset >= fileLength)
        return r;
    r.count =
        static_cast<int>(std::min<std::int64_t>({count, capacity - r.bufferOffset, fileLength - fileOffset}));
    return r;
}
