// The configuration telegram, the clock divisor, the identification parsers and the
// OLE string handling at the library boundary; no port involved.
#include <gtest/gtest.h>

#include "deviceinfo.h"
#include "olestr.h"
#include "projectsettings.h"
#include "vlcom.h"

namespace {

std::string telegram(const TProjectSettings& s, int32_t clock = 24000000) {
    return AnalyzerSetupTelegram(s, clock);
}

TEST(AnalyzerSetupTelegram, BuiltInSettings) {
    TProjectSettings s;
    EXPECT_EQ(telegram(s), "0L1,/0,O3,F00,0000,T002F,P0000");
    EXPECT_EQ(telegram(s, 36000000), "0L1,/0,O3,F00,0000,T0047,P0000");
}

TEST(AnalyzerSetupTelegram, MasterClockDivisor) {
    TProjectSettings s;
    s.MasterClockHz = 400000;
    EXPECT_EQ(telegram(s), "0L1,/0,O3,F00,0000,T000B,P0000");
    s.MasterClockHz = 100000;
    EXPECT_EQ(telegram(s, 36000000), "0L1,/0,O3,F00,0000,T0047,P0000");
    // Slow clocks need more than the four digits' minimum; too fast a clock wraps to -1.
    s.MasterClockHz = 1000;
    EXPECT_EQ(telegram(s), "0L1,/0,O3,F00,0000,T12BF,P0000");
    s.MasterClockHz = 10000000;
    EXPECT_EQ(telegram(s), "0L1,/0,O3,F00,0000,TFFFFFFFF,P0000");
}

TEST(AnalyzerSetupTelegram, ZeroMasterClockUsesBuiltInClock) {
    // A hand-edited project file: no division by zero, the 100 kHz divisor instead.
    TProjectSettings s;
    s.MasterClockHz = 0;
    EXPECT_EQ(telegram(s), "0L1,/0,O3,F00,0000,T002F,P0000");
    EXPECT_EQ(MasterClockDivisor(36000000, 0), 71u);
    EXPECT_EQ(MasterClockDivisor(24000000, 100000), 47u);
    EXPECT_EQ(MasterClockDivisor(24000000, 400000), 11u);
}

TEST(AnalyzerSetupTelegram, ProbePart) {
    TProjectSettings s;
    s.ProbeMaster = 2;
    s.ProbeRed = 1;
    s.ProbeBlue = 3;  // not sent while the white/blue probes are bus master
    s.ProbeWhite = 4;
    EXPECT_EQ(telegram(s), "0L1,/0,O3,F00,0000,T002F,P21");
    s.PosInputLogic = 1;
    EXPECT_EQ(telegram(s), "0L1,/0,O3,F00,0000,T002F,p21");
    s.PosInputLogic = 0;
    s.ProbeMaster = 1;
    s.ProbeRed = 2;
    s.ProbeBlue = 3;
    s.ProbeWhite = 1;
    EXPECT_EQ(telegram(s), "0L1,/0,O3,F00,0000,T002F,P1231");
}

TEST(AnalyzerSetupTelegram, AnalyzerFieldsInOrder) {
    TProjectSettings s;
    s.LogicLevel = 4;
    s.ClockDivider = 3;
    s.BusFilter = 7;
    s.DataFilterSwitches = 0x1C;
    s.DataFilter = 0xAB;
    EXPECT_EQ(telegram(s), "0L4,/3,O3,F07,1CAB,T002F,P0000");
    // Values out of range travel as they are: all hex digits, negatives as 32-bit.
    s.LogicLevel = 0;
    s.DataFilter = 0x12C;
    s.BusFilter = -1;
    EXPECT_EQ(telegram(s), "0L0,/3,O3,FFFFFFFFF,1C12C,T002F,P0000");
}

TEST(Identification, ShortSerial) {
    EXPECT_EQ(ShortSerialOf("12345678"), "5678");
    EXPECT_EQ(ShortSerialOf("12"), "12");
    EXPECT_EQ(ShortSerialOf("1234"), "1234");
    EXPECT_EQ(ShortSerialOf(""), "");
}

TEST(Identification, OptionsReply) {
    int32_t pll = 0;
    EXPECT_EQ(ParseOptionsReply("xC1", pll), "PLL-Takterzeugung");
    EXPECT_EQ(pll, 1);
    EXPECT_EQ(ParseOptionsReply("2C0", pll), "Standard");
    EXPECT_EQ(pll, 0);

    // Without "C" in second place the mode stays as it was.
    pll = 1;
    EXPECT_EQ(ParseOptionsReply("x", pll), "Standard");
    EXPECT_EQ(ParseOptionsReply("", pll), "Standard");
    EXPECT_EQ(ParseOptionsReply("C1", pll), "Standard");
    EXPECT_EQ(pll, 1);

    // "C" with a missing or non-digit PLL character tells nothing either.
    for (const char* r : {"xC", "xCz", "xC ", "xC\xff"}) {
        pll = 1;
        EXPECT_EQ(ParseOptionsReply(r, pll), "Standard") << r;
        EXPECT_EQ(pll, 1) << r;
        pll = 0;
        ParseOptionsReply(r, pll);
        EXPECT_EQ(pll, 0) << r;
    }
    // Any other digit is a PLL clock too; the mode keeps the digit.
    pll = 0;
    EXPECT_EQ(ParseOptionsReply("xC7", pll), "PLL-Takterzeugung");
    EXPECT_EQ(pll, 7);
}

TEST(OleBoundary, CommandHoldsExactlyItsBytes) {
    const long live = OleStrLiveCount();
    BSTR empty = oleFromText("");
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(SysStringByteLen(empty), 0u);
    SysFreeString(empty);

    const std::string withZero("a\0b", 3);
    BSTR s = oleFromText(withZero);
    ASSERT_EQ(SysStringByteLen(s), 3u);
    EXPECT_EQ(std::string(s, 3), withZero);
    SysFreeString(s);
    EXPECT_EQ(OleStrLiveCount(), live);
}

TEST(OleBoundary, ReplyCutAtFirstZeroAndFreed) {
    const long live = OleStrLiveCount();
    EXPECT_EQ(takeOleReply(SysAllocStringByteLen(",r00,\0\x12", 7)), ",r00,");
    EXPECT_EQ(takeOleReply(SysAllocStringByteLen("\0abc", 4)), "");
    EXPECT_EQ(takeOleReply(SysAllocStringByteLen("$V1.2\xe4", 6)), "$V1.2\xe4");
    EXPECT_EQ(takeOleReply(SysAllocStringByteLen(nullptr, 0)), "");
    EXPECT_EQ(takeOleReply(nullptr), "");
    EXPECT_EQ(OleStrLiveCount(), live);
}

}  // namespace
