// Telegram builders, reply parsing and the scan's address and clock rules.
#include <gtest/gtest.h>

#include "bustelegrams.h"
#include "numbertext.h"

namespace {

BusTelegramParams params(int dev, int subBytes, int sub, int count,
                         std::initializer_list<uint8_t> data = {}) {
    BusTelegramParams p{dev, subBytes, sub, count, {}};
    size_t i = 0;
    for (uint8_t b : data) p.sendData[i++] = b;
    return p;
}

}  // namespace

TEST(BusTelegrams, ReadAndWriteTelegrams) {
    struct Case {
        BusTelegramParams p;
        const char* read;
        const char* write;
    } cases[] = {
        {params(0xA0, 1, 0x10, 2, {0x12, 0x34}), ",R2,A0S10", ",W2,A0S10,12,34"},
        {params(0xA0, 2, 0x0123, 2, {0x12, 0x34}), ",R2,A0W0123", ",W2,A0W0123,12,34"},
        {params(0xA1, 1, 0x10, 16), ",R10,A1", ""},           // odd: no sub-address, no write
        {params(0xA0, 0, 0, 2, {1, 2}), "", ",W2,A0,01,02"},  // read refused without sub-address
        {params(0xA0, 1, 0x10, 0), "", ",W0,A0S10"},          // count 0: address part only
        {params(0xA0, 7, 0x10, 1, {9}), "", ",W1,A0,09"},     // unknown width counts as none
        // A project file's values beyond the fields: never more than 16 bytes, byte-wide parts.
        {params(0xA0, 1, 0x1234, 20), ",R10,A0S34",
         ",W10,A0S34,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00"},
        {params(0x1A0, 2, 0x12345, -3), "", ",W0,A0W2345"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(BusReadTelegram(c.p), c.read) << c.write;
        EXPECT_EQ(BusWriteTelegram(c.p), c.write) << c.read;
    }
    EXPECT_TRUE(BusReadNeedsSubAddress(params(0xA0, 0, 0, 1)));
    EXPECT_FALSE(BusReadNeedsSubAddress(params(0xA1, 0, 0, 1)));
}

TEST(BusTelegrams, ReplyVerdictsAndFields) {
    struct Case {
        const char* reply;
        char echo;
        ReplyVerdict verdict;
    } cases[] = {
        {",r00,12,34", 'r', ReplyVerdict::Ok}, {",w00", 'w', ReplyVerdict::Ok},
        {",r01", 'r', ReplyVerdict::NoAck},    {",w02", 'w', ReplyVerdict::Failed},
        {",w08", 'w', ReplyVerdict::Failed},   {"", 'r', ReplyVerdict::NoEcho},
        {",w00", 'r', ReplyVerdict::NoEcho},   {"r00", 'r', ReplyVerdict::NoEcho},
    };
    for (const Case& c : cases) EXPECT_EQ(BusReplyVerdict(c.reply, c.echo), c.verdict) << c.reply;
    EXPECT_THROW(BusReplyVerdict(",rxx,12", 'r'), EConvertError);
    EXPECT_THROW(BusReplyVerdict(",w", 'w'), EConvertError);

    using V = std::vector<std::string>;
    EXPECT_EQ(BusReplyFields(",r00,12,34"), (V{"12", "34"}));
    EXPECT_EQ(BusReplyFields(",r00"), V{});
    EXPECT_EQ(BusReplyFields(",r00,12,"), V{"12"}) << "a comma at the end starts no field";
    EXPECT_EQ(BusReplyFields(",r00,1"), V{"1"});
    std::string many = ",r00";
    for (int i = 0; i < 20; ++i) many += ",AB";
    EXPECT_EQ(BusReplyFields(many).size(), 16u);
}

TEST(ScanRules, ProbeTelegramsAndVerdicts) {
    EXPECT_EQ(ScanClockTelegram(0x12345), "0T2345");
    struct Case {
        const char* reply;
        ProbeVerdict v;
    } cases[] = {
        {",w00", ProbeVerdict::Found}, {",w01", ProbeVerdict::Absent}, {",w02", ProbeVerdict::Absent},
        {",w08", ProbeVerdict::Retry}, {"", ProbeVerdict::Retry},      {",w00,", ProbeVerdict::Retry},
        {",r00", ProbeVerdict::Retry}, {",w0", ProbeVerdict::Retry},
    };
    for (const Case& c : cases) EXPECT_EQ(ScanProbeVerdict(c.reply), c.v) << c.reply;
    EXPECT_THROW(ScanProbeVerdict(",w?0"), EConvertError);
}

TEST(ScanRules, DivisorCountProgressAndLists) {
    EXPECT_EQ(ScanDivisor(24000000, 100000), 47u);
    EXPECT_EQ(ScanDivisor(24000000, 0), 47u) << "a clock of 0 counts as 100 kHz";

    EXPECT_EQ(ScanAddressCount(16, 238), 112);
    EXPECT_EQ(ScanAddresses(16, 238).size(), 112u);
    EXPECT_EQ(ScanProgress(16, 16, 112), 0);
    EXPECT_EQ(ScanProgress(238, 16, 112), 99);
    EXPECT_TRUE(ScanAddresses(0xA2, 0xA0).empty());
    EXPECT_EQ(ScanAddresses(-3, 300).size(), 128u) << "odd range within the byte addresses";
    EXPECT_EQ(ScanAddresses(INT32_MIN, INT32_MAX).size(), 128u);

    // The lists and their selections: from-list 16..to, to-list from..238.
    EXPECT_EQ(ScanAddressItems(kScanFirstAddress, 0x40).back(), "0x40");
    EXPECT_EQ(ScanAddressItems(0x80, kScanLastAddress).size(), 56u);
    EXPECT_EQ(ScanFromIndex(0x80, 238), 56);
    EXPECT_EQ(ScanToIndex(0x80, 238), 55);
    EXPECT_EQ(ScanFromIndex(240, 238), -1) << "a from-address beyond the list selects nothing";
    EXPECT_EQ(ScanToIndex(16, 8), -1);
}
