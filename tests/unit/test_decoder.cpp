// The trace decoder and its run writer against a recording view: exact text and the
// attributes of every write.
#include <gtest/gtest.h>

#include <memory>

#include "capturestore.h"
#include "iictexte.h"
#include "projectsettings.h"
#include "test_decoder_fakeview.h"
#include "tracedecoder.h"

namespace {

constexpr COLORREF Black = 0x000000, Red = 0x0000FF, Blue = 0xFF0000, Grey = 0x808080, Green = 0x008000;
constexpr StyleSet None = 0;

// Status shorthands: a plain acknowledged byte inside a telegram, no stop after it.
constexpr uint8_t Mid = StatusNoError | StatusNoStop;
constexpr uint8_t First = StatusStart | Mid;
constexpr uint8_t Last = StatusNoError;  // a STOP follows

TraceWrite add(const std::string& t, COLORREF c, StyleSet s = None) {
    return {true, t, c, s};
}
TraceWrite ins(const std::string& t, COLORREF c, StyleSet s = None) {
    return {false, t, c, s};
}

class Decoder : public StoreAndViewTest {
  protected:
    void pairs(std::initializer_list<std::pair<uint8_t, uint8_t>> ps) {
        for (auto [s, d] : ps) ASSERT_TRUE(store->AppendBusEvent(s, d));
    }
    // The example telegram: write sub-address 00 to A0, repeated start, read 3F and 40
    // from A1, the master's NAK on the last byte, then STOP.
    void exampleTelegram() {
        pairs({{First, 0xA0},
               {Mid, 0x00},
               {StatusRepStart | Mid, 0xA1},
               {Mid, 0x3F},
               {Last | StatusNak, 0x40}});
    }
};

TEST_F(Decoder, WriteWithSubAddressThenReadAfterRepeatedStart) {
    store->TelegramNo = 12;
    exampleTelegram();
    InitTraceAttributes(false);
    DecodeTrace(0);

    EXPECT_EQ(view.text, "\n00012  »A0 00»A1 3F 40«");
    const std::vector<TraceWrite> expected = {
        add("00012  ", Black), ins("»", Red),    ins("A0 ", Blue),  ins("00", Grey),
        ins("»", Red),         ins("A1 ", Blue), ins("3F ", Green), ins("40", Green, StyleBold),
        ins("«", Red),
    };
    EXPECT_EQ(view.runs(), expected);
    EXPECT_EQ(store->DecodePos, store->BytesUsed.load());
    EXPECT_EQ(store->TelegramNo, 13);
    EXPECT_TRUE(TraceRun.PendingText.empty());
    EXPECT_EQ(TraceRun.LineMode, 0);
}

TEST_F(Decoder, WriteTelegramColoursSubAddressThenMasterData) {
    pairs({{First, 0xA0}, {Mid, 0x10}, {Mid, 0x11}, {Last, 0x12}});
    ProjectSettings.ColorFromMaster = 0x123456;
    InitTraceAttributes(false);
    DecodeTrace(0);
    EXPECT_EQ(view.text, "\n00000  »A0 10 11 12«");
    const std::vector<TraceWrite> expected = {add("00000  ", Black), ins("»", Red),          ins("A0 ", Blue),
                                              ins("10 ", Grey),      ins("11 12", 0x123456), ins("«", Red)};
    EXPECT_EQ(view.runs(), expected);
}

TEST_F(Decoder, ErrorNakAndPortStyles) {
    ProjectSettings.AttributeEnable = 0xFF;  // with the input-port style
    pairs({{First | StatusPort, 0xA0},
           {Mid | StatusPortAfter, 0x00},
           {StatusNoStop, 0x11},  // protocol error
           {Mid | StatusNak, 0x22},
           {Last, 0x33}});
    InitTraceAttributes(false);
    DecodeTrace(0);
    EXPECT_EQ(view.text, "\n00000  »A0 00 11 22 33«");
    const std::vector<TraceWrite> expected = {
        add("00000  ", Black),
        ins("»", Red),
        ins("A0", Blue, StyleUnderline),  // port during the byte
        ins(" ", Blue),
        ins("00", Grey),
        ins(" ", Grey, StyleUnderline),     // port after the byte carries on to the separator
        ins("11 ", Black, StyleStrikeOut),  // the separator keeps the byte's attributes
        ins("22 ", Black, StyleBold),
        ins("33", Black),
        ins("«", Red),
    };
    EXPECT_EQ(view.runs(), expected);
}

TEST_F(Decoder, RepeatedStartTakesPortStyleForItsMark) {
    ProjectSettings.AttributeEnable = 0xFF;
    pairs({{First, 0xA0}, {Mid, 0x00}, {StatusRepStart | StatusPort | Mid, 0xA1}, {Last | StatusPort, 0x55}});
    InitTraceAttributes(false);
    DecodeTrace(0);
    EXPECT_EQ(view.text, "\n00000  »A0 00»A1 55«");
    const std::vector<TraceWrite> expected = {add("00000  ", Black),
                                              ins("»", Red),
                                              ins("A0 ", Blue),
                                              ins("00", Grey),
                                              ins("»", Red, StyleUnderline),
                                              ins("A1", Blue, StyleUnderline),
                                              ins(" ", Blue),
                                              ins("55", Green, StyleUnderline),
                                              ins("«", Red)};
    EXPECT_EQ(view.runs(), expected);
}

TEST_F(Decoder, AttributesOffGiveOneWritePerLine) {
    struct Case {
        int mode;
        bool live;
        bool coloured;
    } cases[] = {{0, true, true},  {0, false, true}, {1, true, false},
                 {1, false, true}, {2, true, false}, {2, false, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << c.mode << " live " << c.live);
        SetUp();
        view = FakeView();
        ProjectSettings.AttributeMode = c.mode;
        exampleTelegram();
        pairs({{First, 0xA0}, {Last, 0x01}});
        InitTraceAttributes(c.live);
        DecodeTrace(0);
        EXPECT_EQ(view.text, "\n00000  »A0 00»A1 3F 40«\n00001  »A0 01«");
        if (c.coloured) {
            EXPECT_GT(view.runs().size(), 2u);
        } else {
            const std::vector<TraceWrite> expected = {add("00000  »A0 00»A1 3F 40«", Black),
                                                      add("00001  »A0 01«", Black)};
            EXPECT_EQ(view.runs(), expected);
        }
    }
}

TEST_F(Decoder, EnableBitsPickSingleAttributes) {
    ProjectSettings.AttributeEnable = 0x02 | 0x100;  // device-address colour only; bit 8 unused
    pairs({{First, 0xA0}, {Last | StatusNak, 0x00}});
    InitTraceAttributes(false);
    EXPECT_EQ(TraceAttributes.StartStopColor, Black);
    EXPECT_EQ(TraceAttributes.DevAddrColor, Blue);
    EXPECT_EQ(TraceAttributes.NakStyle, -1);
    DecodeTrace(0);
    const std::vector<TraceWrite> expected = {add("00000  »", Black), ins("A0 ", Blue), ins("00«", Black)};
    EXPECT_EQ(view.runs(), expected);

    // Each enable bit brings in its own attribute and no other.
    ProjectSettings.ColorFromMaster = 0x123456;  // the built-in value equals ColorText
    for (int bit = 0; bit < 8; ++bit) {
        ProjectSettings.AttributeEnable = 1 << bit;
        InitTraceAttributes(false);
        const TTraceAttributes& a = TraceAttributes;
        const bool taken[] = {a.StartStopColor != Black,  a.DevAddrColor != Black,  a.SubAddrColor != Black,
                              a.FromMasterColor != Black, a.ToMasterColor != Black, a.NakStyle != -1,
                              a.ErrorStyle != -1,         a.PortStyle != -1};
        for (int i = 0; i < 8; ++i) EXPECT_EQ(taken[i], i == bit) << "enable bit " << bit << ", field " << i;
    }
}

TEST_F(Decoder, DefaultStyleStandsInForDisabledNakStyle) {
    ProjectSettings.StyleDefault = 0;        // bold
    ProjectSettings.AttributeEnable = 0xDF;  // all but the NAK style: NakStyle = DefaultStyle
    pairs({{First, 0xA0}, {Last | StatusNak, 0x00}});
    InitTraceAttributes(false);
    EXPECT_EQ(TraceAttributes.NakStyle, 0);
    DecodeTrace(0);
    const std::vector<TraceWrite> expected = {add("00000  ", Black, StyleBold), ins("»", Red, StyleBold),
                                              ins("A0 ", Blue),            // acknowledged: bold removed
                                              ins("00", Grey, StyleBold),  // NAK keeps it
                                              ins("«", Red, StyleBold)};
    EXPECT_EQ(view.runs(), expected);
}

TEST_F(Decoder, BufferFullNoticeIsALineOfItsOwn) {
    pairs({{First, 0xA0},
           {Mid, 0x00},
           {StatusBufferFull | StatusStart | StatusNak, 0x77},
           {First, 0xA0},
           {Last, 0x01}});
    InitTraceAttributes(false);
    DecodeTrace(0);
    EXPECT_EQ(view.text, "\n00000  »A0 00\n" + BufferFullNotice + "\n00001  »A0 01«");
    EXPECT_EQ(BufferFullNotice, "          *** RAFU - Datenpuffer voll! Aufzeichnung ausgesetzt. ***");
    const std::vector<TraceWrite> expected = {
        add("00000  ", Black), ins("»", Red), ins("A0 ", Blue), ins("00", Grey), add(BufferFullNotice, Black),
        add("00001  ", Black), ins("»", Red), ins("A0 ", Blue), ins("01", Grey), ins("«", Red)};
    EXPECT_EQ(view.runs(), expected);
    EXPECT_EQ(store->TelegramNo, 2);  // the notice has no number
}

TEST_F(Decoder, NoticeInDefaultStyleAtTheEndOfACall) {
    ProjectSettings.StyleDefault = 1;  // italic
    pairs({{StatusBufferFull, 0}});
    InitTraceAttributes(false);
    DecodeTrace(0);
    const std::vector<TraceWrite> expected = {add(BufferFullNotice, Black, StyleItalic)};
    EXPECT_EQ(view.runs(), expected);
}

TEST_F(Decoder, TelegramSplitOverTwoCallsContinuesItsLine) {
    pairs({{First, 0xA0}, {Mid, 0x00}});
    InitTraceAttributes(false);
    DecodeTrace(0);
    EXPECT_EQ(view.text, "\n00000  »A0 00");
    const size_t before = view.runs().size();
    pairs({{Mid, 0x11}, {Last, 0x22}});
    DecodeTrace(0);
    EXPECT_EQ(view.text, "\n00000  »A0 00 11 22«");
    const std::vector<TraceWrite> all = view.runs();
    const std::vector<TraceWrite> tail(all.begin() + long(before), all.end());
    const std::vector<TraceWrite> expected = {ins(" ", Grey), ins("11 22", Black), ins("«", Red)};
    EXPECT_EQ(tail, expected);

    // A telegram starting in the next call: its number is in the text colour again, although
    // the call before ended on the stop mark's colour.
    pairs({{First, 0xA2}, {Last, 0x33}});
    DecodeTrace(0);
    const std::vector<TraceWrite> runs = view.runs();
    ASSERT_GE(runs.size(), 5u);
    const std::vector<TraceWrite> next(runs.end() - 5, runs.end());
    const std::vector<TraceWrite> expectedNext = {add("00001  ", Black), ins("»", Red), ins("A2 ", Blue),
                                                  ins("33", Grey), ins("«", Red)};
    EXPECT_EQ(next, expectedNext);
}

TEST_F(Decoder, LimitOneStopsOnTheNextTelegramStart) {
    pairs({{First, 0xA0}, {Last, 0x01}, {First, 0xA0}, {Last, 0x02}, {First, 0xA0}});
    InitTraceAttributes(true);
    DecodeTrace(1);
    EXPECT_EQ(view.text, "\n00000  »A0 01«");
    EXPECT_EQ(store->DecodePos, 4);  // on the second start
    EXPECT_EQ(store->TelegramNo, 1);
    EXPECT_TRUE(TraceRun.PendingText.empty());

    DecodeTrace(1);
    EXPECT_EQ(view.text, "\n00000  »A0 01«\n00001  »A0 02«");
    EXPECT_EQ(store->DecodePos, 8);

    // The last telegram is still open: the call writes what it has and consumes it all.
    DecodeTrace(1);
    EXPECT_EQ(view.text, "\n00000  »A0 01«\n00001  »A0 02«\n00002  »A0");
    EXPECT_EQ(store->DecodePos, store->BytesUsed.load());
}

TEST_F(Decoder, LimitCountsOnlyLinesOfThisCall) {
    pairs({{First, 0xA0}, {Mid, 0x01}});
    InitTraceAttributes(true);
    DecodeTrace(1);
    pairs({{Last, 0x02}, {First, 0xA2}, {Last, 0x03}, {First, 0xA4}, {Last, 0x04}});
    DecodeTrace(2);  // finishes line 0 and writes line 1
    EXPECT_EQ(view.text, "\n00000  »A0 01 02«\n00001  »A2 03«");
    DecodeTrace(0);
    EXPECT_EQ(view.text, "\n00000  »A0 01 02«\n00001  »A2 03«\n00002  »A4 04«");
}

TEST_F(Decoder, NothingToDecodeWritesNothing) {
    InitTraceAttributes(false);
    DecodeTrace(0);
    EXPECT_TRUE(view.writes.empty());
    pairs({{First, 0xA0}, {Last, 0x01}});
    DecodeTrace(0);
    const size_t n = view.writes.size();
    DecodeTrace(0);
    EXPECT_EQ(view.writes.size(), n);
}

TEST_F(Decoder, OddTrailingByteOfALoadedLogIsNotRead) {
    pairs({{First, 0xA0}, {Last, 0x01}});
    store->CaptureBuffer[4] = First;
    store->BytesUsed = 5;  // a status byte without its data byte
    InitTraceAttributes(false);
    DecodeTrace(0);
    EXPECT_EQ(view.text, "\n00000  »A0 01«");
    EXPECT_EQ(store->DecodePos, 4);
}

TEST_F(Decoder, ReadAddressColoursEveryByteUntilTheNextStart) {
    pairs({{First, 0xA1}, {Mid, 0x01}, {Mid, 0x02}, {Last, 0x03}, {First, 0xA0}, {Last, 0x04}});
    InitTraceAttributes(false);
    DecodeTrace(0);
    const std::vector<TraceWrite> expected = {
        add("00000  ", Black), ins("»", Red), ins("A1 ", Blue), ins("01 02 03", Green), ins("«", Red),
        add("00001  ", Black), ins("»", Red), ins("A0 ", Blue), ins("04", Grey),        ins("«", Red)};
    EXPECT_EQ(view.runs(), expected);
}

TEST_F(Decoder, WritesGoToTheEndAndTheCaretComesBack) {
    view.text = "Kopfzeile";
    view.caret = 3;
    pairs({{First, 0xA0}, {Last, 0x01}});
    InitTraceAttributes(false);
    DecodeTrace(0);
    EXPECT_EQ(view.text, "Kopfzeile\n00000  »A0 01«");
    EXPECT_EQ(view.caret, 3);

    view.caret = 0;  // a caret at 0 is not put back
    pairs({{First, 0xA2}, {Last, 0x02}});
    DecodeTrace(0);
    EXPECT_EQ(view.text, "Kopfzeile\n00000  »A0 01«\n00001  »A2 02«");
    EXPECT_EQ(view.caret, view.textLength());
}

TEST_F(Decoder, ShowTraceOfflineWritesHeaderSeparatorAndTheLog) {
    ProjectSettings.StyleDefault = 2;
    exampleTelegram();
    ShowTraceOffline("I²C-Analyzer Protokolldatei: /tmp/x.i2p", 0);
    EXPECT_EQ(view.text,
              "I²C-Analyzer Protokolldatei: /tmp/x.i2p\n" + SeparatorLine + "\n00000  »A0 00»A1 3F 40«");
    ASSERT_GE(view.writes.size(), 2u);
    EXPECT_EQ(view.writes[0], ins("I²C-Analyzer Protokolldatei: /tmp/x.i2p", Black, StyleUnderline));
    EXPECT_EQ(view.writes[1], add(SeparatorLine, Black, StyleUnderline));
    EXPECT_EQ(view.scrolls, 1);
    EXPECT_EQ(view.bulkCount, 1);  // one edit for the whole log
}

TEST_F(Decoder, TelegramNumbersGrowPastFiveDigits) {
    store->TelegramNo = 99999;
    pairs({{First, 0xA0}, {Last, 0x01}, {First, 0xA0}, {Last, 0x01}});
    ProjectSettings.AttributeMode = 2;
    InitTraceAttributes(false);
    DecodeTrace(0);
    EXPECT_EQ(view.text, "\n99999  »A0 01«\n100000  »A0 01«");
}

}  // namespace
