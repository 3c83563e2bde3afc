// The memory monitor's pure rules.
#include <gtest/gtest.h>

#include <vector>

#include "memorylogic.h"
#include "numbertext.h"

namespace {

TEST(MemoryLogic, FormatsInBothBases) {
    struct Case {
        const char* templ;
        bool hex;
        int value;
        const char* text;
    } cases[] = {
        {"%3.2", true, 10, " 0A"},   {"%3.2", false, 10, " 10"},    {"%3.2", false, 5, " 05"},
        {"%3.2", false, 255, "255"}, {"%3.2", true, 255, " FF"},    {"%3", true, 15, "  F"},
        {"%3", false, 15, " 15"},    {"%5", true, 0x7FF0, " 7FF0"}, {"%5", false, 32752, "32752"},
        {"%1.2", true, 256, "100"},  {"%1.2", false, 256, "256"},   {"%1.2", true, 5, "05"},
        {"%1", true, 0, "0"},        {"%1", true, 0xab, "AB"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(memFormat(c.templ, c.hex, c.value), c.text) << c.templ << " " << c.value;
}

TEST(MemoryLogic, DisplayRuleOfCellsAndAsciiColumn) {
    const struct {
        std::uint8_t data, state;
        const char* cell;
        char16_t ascii;
    } cases[] = {
        {0xFF, 0x00, " ..", u'-'},      {0x41, 0x01, " 41", u'A'},      {0x41, 0x02, " 41", u'A'},
        {0x41, 0x03, " 41", u'A'},      {0x41, 0x80, " //", u'.'},      {0x41, 0x82, " //", u'.'},
        {0x41, 0x04, " //", u'.'},      {0x80, 0x01, " 80", u'\u20AC'}, {0xE4, 0x01, " E4", u'\u00E4'},
        {0x00, 0x01, " 00", u'\u2400'}, {0x0A, 0x01, " 0A", u'\u240A'}, {0x7F, 0x01, " 7F", u'\u2421'},
        {0x81, 0x01, " 81", u'\uFFFD'}, {0x9F, 0x01, " 9F", u'\u0178'}, {0xA0, 0x01, " A0", u'\u00A0'},
        {0xFF, 0x01, " FF", u'\u00FF'}, {0x20, 0x01, " 20", u' '},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(memCellText(c.data, c.state, true), c.cell);
        EXPECT_EQ(memAsciiChar(c.data, c.state), c.ascii) << int(c.data) << "/" << int(c.state);
    }
    EXPECT_EQ(memCellText(7, 1, false), " 07");
}

TEST(MemoryLogic, PageBelowAndAboveCapacity) {
    std::vector<std::uint8_t> data(512), state(512, MemRead);
    for (int i = 0; i < 512; ++i) data[i] = std::uint8_t('0' + i % 10);
    auto rows = memPage(data.data(), state.data(), 128, 0, true);
    EXPECT_EQ(rows[0].offset, "    0");
    EXPECT_EQ(rows[7].offset, "   70");
    EXPECT_EQ(rows[7].cells, 16);
    EXPECT_EQ(rows[8].offset, "");  // past the capacity: nothing but the blank
    EXPECT_EQ(rows[8].cells, 0);
    EXPECT_EQ(rows[8].ascii, u" ");
    EXPECT_EQ(rows[0].ascii, u" 0123456789012345");
    rows = memPage(data.data(), state.data(), 20, 0, false);
    EXPECT_EQ(rows[1].offset, "   16");
    EXPECT_EQ(rows[1].cells, 4);
    EXPECT_EQ(rows[1].cell[3], " 57");
    rows = memPage(data.data(), state.data(), 512, 256, true);
    EXPECT_EQ(rows[15].offset, "  1F0");
    EXPECT_EQ(memHeaderCells(true)[15], "  F");
    EXPECT_EQ(memHeaderCells(false)[15], " 15");
}

TEST(MemoryLogic, StatusTexts) {
    auto t = memStatusTexts(0xA0, 256, 0, 8, true);
    EXPECT_EQ(t[0], " Bausteinadresse: 0xA0");
    EXPECT_EQ(t[1], " Speicher: 256 Byte");
    EXPECT_EQ(t[3], " Darstellung: Hexadezimal");
    EXPECT_EQ(memStatusTexts(0xA0, 16, 2, 8, false)[3], " Darstellung: Dezimal");
    // The write page panel by memory type: EEPROM, RAM, register; a page below 1 is written,
    // and shown, as 1.
    const struct {
        int type, page;
        const char* text;
    } pages[] = {{0, 8, " Pagegröße: 8 Byte"},
                 {1, 8, " keine SchreibPage"},
                 {2, 8, " keine SchreibPage"},
                 {0, 0, " Pagegröße: 1 Byte"},
                 {0, -3, " Pagegröße: 1 Byte"}};
    for (const auto& c : pages)
        EXPECT_EQ(memStatusTexts(0xA0, 256, c.type, c.page, true)[2], c.text) << c.type << " " << c.page;
}

TEST(MemoryLogic, AddressPart) {
    EXPECT_EQ(memAddressPart(0xA0, true, 0x1234), "A0W1234");
    EXPECT_EQ(memAddressPart(0xA0, true, 0x0100), "A0W0100");
    EXPECT_EQ(memAddressPart(0xA0, false, 0x312), "A6S12");
    EXPECT_EQ(memAddressPart(0xA0, false, 0x1F8), "A2SF8");
    EXPECT_EQ(memAddressPart(0xA0, false, 0x7FF), "AESFF");
    EXPECT_EQ(memAddressPart(0xFE, false, 0x100), "100S00");  // a sum above 0xFF takes what it needs
}

TEST(MemoryLogic, ChunksAndTelegrams) {
    const struct {
        int type, page, read, write;
    } chunks[] = {{0, 8, 16, 8}, {0, 0, 16, 1}, {0, 16, 16, 16}, {1, 8, 16, 1}, {2, 8, 1, 16}, {7, 8, 16, 1}};
    for (const auto& c : chunks) {
        EXPECT_EQ(memReadChunk(c.type), c.read);
        EXPECT_EQ(memWriteChunk(c.type, c.page), c.write);
    }
    EXPECT_EQ(memReadTelegram(16, "A0S00"), ",R10,A0S00");
    EXPECT_EQ(memReadTelegram(4, "A0S10"), ",R4,A0S10");
    const std::uint8_t bytes[3] = {0x00, 0x7E, 0xFF};
    EXPECT_EQ(memWriteTelegram("A2SF8", bytes, 3), ",W3,A2SF8,00,7E,FF");
}

TEST(MemoryLogic, ReplyStatus) {
    EXPECT_EQ(memReplyStatus(",r00,12", 'r'), 0);
    EXPECT_EQ(memReplyStatus(",w01", 'w'), 1);
    EXPECT_EQ(memReplyStatus(",w08", 'w'), 8);
    EXPECT_EQ(memReplyStatus("", 'r'), MemNoEcho);
    EXPECT_EQ(memReplyStatus(",w00", 'r'), MemNoEcho);
    EXPECT_EQ(memReplyStatus("r00", 'r'), MemNoEcho);
    EXPECT_EQ(memReplyStatus(",r-1", 'r'), -1);  // a status, not a missing echo
    for (const char* bad : {",rxy", ",r", ",r0,"})
        EXPECT_THROW(memReplyStatus(bad, 'r'), EConvertError) << bad;
}

TEST(MemoryLogic, ReadReplyBytes) {
    std::uint8_t data[4] = {1, 2, 3, 4}, state[4] = {0, 2, 2, 0};
    memStoreReadReply(",r00,12,34", 4, data, state);
    EXPECT_EQ(data[0], 0x12);
    EXPECT_EQ(data[1], 0x34);
    EXPECT_EQ(data[2], 3);  // missing: data stays
    EXPECT_EQ(state[0], MemRead);
    EXPECT_EQ(state[1], MemRead);
    EXPECT_EQ(state[2], MemMissing);
    EXPECT_EQ(state[3], MemMissing);
    memStoreReadReply(",r00,5", 2, data, state);  // a short last field
    EXPECT_EQ(data[0], 5);
    EXPECT_EQ(state[1], MemMissing);
    EXPECT_THROW(memStoreReadReply(",r00,1G", 1, data, state), EConvertError);
}

TEST(MemoryLogic, CommittedCellValue) {
    std::int32_t v = -1;
    EXPECT_FALSE(memCellValue(" ..", true, v));
    EXPECT_FALSE(memCellValue(" //", true, v));  // missing and not edited: skipped, no error
    EXPECT_FALSE(memCellValue(" //", false, v));
    ASSERT_TRUE(memCellValue(" 0A", true, v));
    EXPECT_EQ(v, 10);
    ASSERT_TRUE(memCellValue("1F", true, v));
    EXPECT_EQ(v, 31);
    ASSERT_TRUE(memCellValue("255", false, v));
    EXPECT_EQ(v, 255);
    EXPECT_THROW(memCellValue("", true, v), EConvertError);
}

TEST(MemoryLogic, Clear) {
    std::uint8_t data[4] = {0xFF, 0xFF, 0x12, 0xFF}, state[4] = {MemRead, MemNeverRead, MemRead, MemMissing};
    memClear(data, state, 4);
    EXPECT_EQ(state[0], MemRead);  // 0xFF already read: untouched
    EXPECT_EQ(state[1], MemChanged);
    EXPECT_EQ(data[2], 0xFF);
    EXPECT_EQ(state[2], MemRead | MemChanged);
    EXPECT_EQ(state[3], MemMissing);
    data[0] = 0x12, data[1] = 0x34, state[3] = MemMissing | MemChanged;  // another device:
    memForgetDevice(data, state, 4);
    EXPECT_EQ(std::vector<std::uint8_t>(state, state + 4), (std::vector<std::uint8_t>{0, 2, 2, 2}));
    EXPECT_EQ(std::vector<std::uint8_t>(data, data + 2), (std::vector<std::uint8_t>{0xFF, 0x34}));
}

TEST(MemoryLogic, ScrollRules) {
    MemScrollSetup s = memScrollSetup(32768);
    EXPECT_EQ(s.max, 32768);
    EXPECT_EQ(s.page, 256);
    s = memScrollSetup(128);
    EXPECT_EQ(s.max, 256);
    EXPECT_EQ(s.page, 128);
    // The end of the bar shows the last byte, also of a capacity that is no multiple of 16.
    const struct {
        int position, capacity, page, top, bar;
    } tops[] = {
        {32513, 32768, 256, 0x7F00, 32512},
        {100, 32768, 256, 96, -1},
        {50, 128, 128, 0, 0},
        {45, 300, 256, 48, 44},
        {44, 300, 256, 48, -1},
        {40, 300, 256, 32, -1},
    };
    for (const auto& c : tops) {
        int bar = 0;
        EXPECT_EQ(memScrollTop(c.position, c.capacity, c.page, &bar), c.top)
            << c.position << " of " << c.capacity;
        EXPECT_EQ(bar, c.bar) << c.position << " of " << c.capacity;
    }
}

TEST(MemoryLogic, LoadRangesStayInside) {
    EXPECT_EQ(memLargestCount(300, 0, 256, 0), 256);
    EXPECT_EQ(memLargestCount(5, 0, 256, 0), 5);
    EXPECT_EQ(memLargestCount(0, 1, 256, 0), -1);
    const struct {
        int fileOffset, bufferOffset, count, capacity;
        long long fileLength;
        int outCount;
    } cases[] = {
        {0, 0, 256, 256, 300, 256}, {0, 250, 10, 256, 300, 6}, {0, 1, 1, 1, 10, 0},   {1, 0, 1, 256, 0, 0},
        {0, 0, -1, 256, 10, 0},     {-1, 0, 5, 256, 10, 0},    {8, 0, 5, 256, 10, 2},
    };
    for (const auto& c : cases) {
        const MemLoadRange r = memLoadRange(c.fileOffset, c.bufferOffset, c.count, c.capacity, c.fileLength);
        EXPECT_EQ(r.count, c.outCount) << c.fileOffset << " " << c.bufferOffset << " " << c.count;
        EXPECT_GE(r.count, 0);
        EXPECT_LE(r.bufferOffset + r.count, c.capacity);
    }
}

}  // namespace
