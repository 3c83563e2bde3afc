// The memory monitor's rules as plain functions: the texts of the dump page and the status
// panels, the address part of a buffer offset, the chunk sizes, the read and write telegrams
// and their replies, the scroll-bar rules and the ranges of a memory image load.
//
// No Qt Widgets, no I/O, no state; any thread. Buffers are the monitor's MemData/MemState
// pair; offsets and counts are plain ints (the capacity is at most a few hundred KiB).
// Functions that read adapter replies throw EConvertError (numbertext.h) for a field that is
// not a number, as the runtime's strict conversion does.
#pragma once

#include <array>
#include <cstdint>
#include <limits>
#include <string>

// State byte of each data byte.
constexpr std::uint8_t MemNeverRead = 0x00;  // never read and not changed: " .." / "-"
constexpr std::uint8_t MemRead = 0x01;       // read from the device
constexpr std::uint8_t MemChanged = 0x02;    // changed since the last successful write
constexpr std::uint8_t MemMissing = 0x80;    // missing from the reply of the last read: " //" / "."

// Format(templ + "x" or "u", value): templ is one of "%3", "%3.2", "%5", "%1", "%1.2" (width,
// then the least number of digits); hexadecimal digits are upper case.
std::string memFormat(const char* templ, bool hex, std::int32_t value);

// The text of one byte cell by the display rule: " .." never read, the value ("%3.2") for
// states 1 to 3, " //" for every other state.
std::string memCellText(std::uint8_t data, std::uint8_t state, bool hex);
// The ASCII column's character of a byte: "-" never read, "." missing, else the byte itself
// decoded as Windows-1252. Control characters and 0 have no glyph of their own there, so they
// show as their Unicode control pictures (U+2400 + byte, U+2421 for 0x7F); the five code points
// that Windows-1252 leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) show as U+FFFD.
char16_t memAsciiChar(std::uint8_t data, std::uint8_t state);
// The byte as a character of the window's 8-bit code page (the same mapping, without states).
char16_t cp1252Char(std::uint8_t byte);

// One row of the dump (rows 1 to 16 of the grid).
struct MemPageRow {
    std::string offset;  // column 0: "%5" of the row's first offset; empty past the capacity
    int cells = 0;       // how many of the 16 byte cells lie below the capacity
    std::array<std::string, 16> cell;
    std::u16string ascii;  // column 17: a blank, then one character per cell
};
// The 16 rows shown at top for a buffer of capacity bytes.
std::array<MemPageRow, 16> memPage(const std::uint8_t* data, const std::uint8_t* state, int capacity, int top,
                                   bool hex);
// Row 0: the 16 column headers ("%3" of 0 to 15) and the ASCII header.
std::array<std::string, 16> memHeaderCells(bool hex);
extern const char* const MemAsciiHeader;  // " 0123456789ABCDEF"

// The status panels at show: device, capacity, the write page used, number base.
std::array<std::string, 4> memStatusTexts(std::int32_t devAddr, std::int32_t bytes, std::int32_t type,
                                          std::int32_t writePage, bool hex);

// The address part of offset p: two sub-address bytes "A0W1234"; one sub-address byte puts the
// block p / 256 into the device address: "A6S12" for 0x312 at 0xA0.
std::string memAddressPart(std::int32_t devAddr, bool twoSubBytes, std::int32_t p);

// Bytes per telegram by memory type (0 EEPROM, 1 RAM, 2 register, other: like RAM).
int memReadChunk(std::int32_t type);
int memWriteChunk(std::int32_t type, std::int32_t writePage);

// ",R" + hex(n) + "," + address part.
std::string memReadTelegram(int n, const std::string& addressPart);
// ",W" + hex(n) + "," + address part + "," + HH for each of the n bytes.
std::string memWriteTelegram(const std::string& addressPart, const std::uint8_t* data, int n);

// The status of a read (echo 'r') or write ('w') reply: MemNoEcho when the reply does not begin
// with "," + echo; else characters 3 and 4 as a decimal number (EConvertError when they are not).
// A status such as "-1" is a number like any other (a failed transfer), never the missing echo.
constexpr int MemNoEcho = std::numeric_limits<int>::min();
int memReplyStatus(const std::string& reply, char echo);
// Stores the bytes of a successful read reply for n bytes at data/state: each byte found gets
// its value and state 1, each byte the reply lacks state 0x80 (its data stays).
// EConvertError for a byte field that is not hexadecimal (the bytes before it are stored).
void memStoreReadReply(const std::string& reply, int n, std::uint8_t* data, std::uint8_t* state);

// The value a committed cell text stands for. False when the cell is to be skipped: a
// placeholder (" .." never read, and " //" missing and not edited). EConvertError for any other
// text that is not a number (an emptied cell).
bool memCellValue(const std::string& cellText, bool hex, std::int32_t& value);

// Clear: every byte whose data is not 0xFF or whose state is 0 becomes 0xFF and changed.
void memClear(std::uint8_t* data, std::uint8_t* state, int n);
// The image after the device changed: unchanged bytes become never read (0xFF), changed ones
// keep their value and only their changed mark (nothing was read from the new device).
void memForgetDevice(std::uint8_t* data, std::uint8_t* state, int n);

// The scroll bar at show: range 0..max, page and large change.
struct MemScrollSetup {
    int max, page, large;
};
MemScrollSetup memScrollSetup(std::int32_t bytes);
// The top offset for a scroll position: at most capacity - page (moveBar then holds the
// position the bar goes to), rounded down to a multiple of 16, except at that end, which is
// rounded up so that the last row holds the last byte; never below 0.
int memScrollTop(int position, int capacity, int page, int* moveBar);

// The transfer dialog's largest byte count: min(file - fileOffset, device - bufferOffset).
std::int32_t memLargestCount(std::int32_t fileBytes, std::int32_t fileOffset, std::int32_t devBytes,
                             std::int32_t bufferOffset);
// The range a load really moves: inside the buffer of capacity bytes and inside the file of
// fileLength bytes, never a negative count.
struct MemLoadRange {
    std::int64_t fileOffset = 0;
    int bufferOffset = 0;
    int count = 0;
};
MemLoadRange memLoadRange(std::int32_t fileOffset, std::int32_t bufferOffset, std::int32_t count,
                          int capacity, std::int64_t fileLength);
