// The capture store: limits, the telegram index and the pairing of taken receive buffers.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QDateTime>
#include <QLocale>
#include <memory>
#include <random>
#include <vector>

#include "capturestore.h"
#include "iicwatch.h"
#include "projectsettings.h"
#include "test_decoder_fakeview.h"
#include "tracedecoder.h"

namespace {

constexpr uint8_t First = StatusStart | StatusNoError | StatusNoStop;
constexpr uint8_t Mid = StatusNoError | StatusNoStop;

using Store = StoreAndViewTest;

TEST_F(Store, FreshStoreIsEmpty) {
    EXPECT_EQ(store->IndexCount.load(), 1);
    EXPECT_EQ(store->BytesUsed.load(), 0);
    EXPECT_EQ(store->DecodePos, 0);
    EXPECT_EQ(store->TelegramNo, 0);
    EXPECT_EQ(store->TelegramIndex[0], 0);
    for (int i = 1; i < TelegramIndexSize; ++i) ASSERT_EQ(store->TelegramIndex[i], NoTelegram) << i;
    EXPECT_FALSE(store->StoreFull());
}

TEST_F(Store, FirstStartGoesToSlotOneAndShowsAsLineZero) {
    ASSERT_TRUE(store->AppendBusEvent(Mid, 0x11));  // a stray byte before any start
    ASSERT_TRUE(store->AppendBusEvent(First, 0xA0));
    ASSERT_TRUE(store->AppendBusEvent(StatusNoError, 0x01));
    EXPECT_EQ(store->IndexCount.load(), 2);
    EXPECT_EQ(store->TelegramIndex[1], 2);
    EXPECT_EQ(store->BytesUsed.load(), 6);
    EXPECT_EQ(store->CaptureBuffer[2], First);
    EXPECT_EQ(store->CaptureBuffer[3], 0xA0);
    InitTraceAttributes(false);
    DecodeTrace(0);
    EXPECT_EQ(view.text, " 11\n00000  »A0 01«");
}

TEST_F(Store, LastIndexSlotEndsTheStore) {
    for (int i = 1; i < TelegramIndexSize - 1; ++i) ASSERT_TRUE(store->AppendBusEvent(First, uint8_t(i)));
    EXPECT_FALSE(store->StoreFull());
    ASSERT_TRUE(store->AppendBusEvent(First, 0xEE));  // the 49,999th start
    EXPECT_EQ(store->IndexCount.load(), TelegramIndexSize);
    EXPECT_EQ(store->TelegramIndex[TelegramIndexSize - 1], 2 * (TelegramIndexSize - 2));
    EXPECT_TRUE(store->StoreFull());

    const int32_t used = store->BytesUsed;
    EXPECT_FALSE(store->AppendBusEvent(Mid, 0x01));
    EXPECT_FALSE(store->AppendBusEvent(First, 0x02));
    EXPECT_EQ(store->BytesUsed.load(), used);
    EXPECT_EQ(store->IndexCount.load(), TelegramIndexSize);
}

TEST_F(Store, BufferSizeBoundsAStoreWithoutStarts) {
    int accepted = 0;
    while (store->AppendBusEvent(Mid, 0x55)) ++accepted;
    EXPECT_EQ(accepted, CaptureBufferSize / 2);
    EXPECT_EQ(store->BytesUsed.load(), CaptureBufferSize);
    EXPECT_EQ(store->IndexCount.load(), 1);
    EXPECT_TRUE(store->StoreFull());
}

TEST_F(Store, BufferFullPairWithStartIsIndexed) {
    ASSERT_TRUE(store->AppendBusEvent(StatusBufferFull | StatusStart, 0x00));
    EXPECT_EQ(store->IndexCount.load(), 2);
    EXPECT_EQ(store->TelegramIndex[1], 0);
    store->IndexCount = 1;
    store->RebuildTelegramIndex();
    EXPECT_EQ(store->IndexCount.load(), 2);
}

TEST_F(Store, RebuildGivesTheCapturedIndex) {
    std::mt19937 rng(7);
    std::vector<uint8_t> bytes;
    for (int i = 0; i < 90000; ++i) {  // about 45,000 starts
        const uint8_t s = uint8_t(rng());
        const uint8_t d = uint8_t(rng());
        ASSERT_TRUE(store->AppendBusEvent(s, d));
        bytes.push_back(s);
        bytes.push_back(d);
    }
    CaptureStore loaded;
    std::copy(bytes.begin(), bytes.end(), loaded.CaptureBuffer.get());
    loaded.BytesUsed = int32_t(bytes.size());
    loaded.RebuildTelegramIndex();
    ASSERT_EQ(loaded.IndexCount.load(), store->IndexCount.load());
    EXPECT_GT(loaded.IndexCount.load(), 40000);
    for (int i = 0; i < TelegramIndexSize; ++i)
        ASSERT_EQ(loaded.TelegramIndex[i], store->TelegramIndex[i]) << i;
}

TEST_F(Store, RebuildOfAnOverfullLogStopsAtTheLastSlot) {
    // A log file need not come from a capture: every pair a start.
    std::fill_n(store->CaptureBuffer.get(), CaptureBufferSize, First);
    store->BytesUsed = CaptureBufferSize;
    store->RebuildTelegramIndex();
    EXPECT_EQ(store->IndexCount.load(), TelegramIndexSize);
    EXPECT_EQ(store->TelegramIndex[TelegramIndexSize - 1], 2 * (TelegramIndexSize - 2));
    EXPECT_EQ(store->BytesUsed.load(), CaptureBufferSize);  // nothing of the log is dropped
    EXPECT_TRUE(store->StoreFull());
}

TEST_F(Store, RebuildLooksAtWholePairsInsideTheFilledBytes) {
    store->CaptureBuffer[0] = First;
    store->CaptureBuffer[1] = First;  // a data byte, never a status
    store->CaptureBuffer[2] = First;  // status of an odd trailing byte
    store->CaptureBuffer[4] = First;  // beyond BytesUsed
    store->BytesUsed = 3;
    store->RebuildTelegramIndex();
    EXPECT_EQ(store->IndexCount.load(), 3);
    EXPECT_EQ(store->TelegramIndex[1], 0);
    EXPECT_EQ(store->TelegramIndex[2], 2);
}

TEST_F(Store, ClearProtokollEmptiesStoreAndView) {
    store->AppendBusEvent(First, 0xA0);
    store->DecodePos = 2;
    store->TelegramNo = 5;
    view.text = "alt";
    view.caret = 3;
    ProjectSettings.ColorBackground = 0x112233;
    TraceRun.PendingText = "";
    TraceRun.LastColor = 0x445566;
    ClearProtokoll();
    EXPECT_EQ(store->IndexCount.load(), 1);
    EXPECT_EQ(store->BytesUsed.load(), 0);
    EXPECT_EQ(store->DecodePos, 0);
    EXPECT_EQ(store->TelegramNo, 0);
    EXPECT_EQ(store->TelegramIndex[1], NoTelegram);
    EXPECT_EQ(view.text, "");
    EXPECT_EQ(view.background, 0x112233u);
    EXPECT_EQ(TraceRun.LastColor, 0x445566u);  // the decoder's run state is left alone
}

// ---- taken receive buffers ----

TEST_F(Store, EachRunIsPairedFromItsStart) {
    // A run of odd length loses its last byte only; the next run's pairs are as sent.
    const uint8_t a[] = {First, 0xA0, Mid};
    EXPECT_EQ(appendReceived(*store, a, 3), 1);
    const uint8_t b[] = {0x00};
    EXPECT_EQ(appendReceived(*store, b, 1), 0);
    const uint8_t c[] = {Mid, 0x01, First, 0xA2, StatusNoError, 0x02};
    EXPECT_EQ(appendReceived(*store, c, 6), 3);
    const std::vector<uint8_t> expected = {First, 0xA0, Mid, 0x01, First, 0xA2, StatusNoError, 0x02};
    ASSERT_EQ(store->BytesUsed.load(), int32_t(expected.size()));
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), store->CaptureBuffer.get()));
    EXPECT_EQ(store->IndexCount.load(), 3);
    EXPECT_EQ(store->TelegramIndex[2], 4);

    EXPECT_EQ(appendReceived(*store, nullptr, 0), 0);  // an empty buffer is no data
}

TEST_F(Store, TakenBytesBeyondTheLimitAreDropped) {
    for (int i = 1; i < TelegramIndexSize - 1; ++i) store->AppendBusEvent(First, 0);
    const int32_t used = store->BytesUsed;
    // Only the exact run is readable: a heap copy lets the sanitizer catch any overread.
    std::vector<uint8_t> run = {Mid, 1, First, 2, Mid, 3, First, 4, Mid};
    std::unique_ptr<uint8_t[]> exact(new uint8_t[run.size()]);
    std::copy(run.begin(), run.end(), exact.get());
    EXPECT_EQ(appendReceived(*store, exact.get(), uint32_t(run.size())), 2);  // up to the last start
    EXPECT_EQ(store->BytesUsed.load(), used + 4);
    EXPECT_TRUE(store->StoreFull());
    EXPECT_EQ(appendReceived(*store, exact.get(), uint32_t(run.size())), 0);
    EXPECT_EQ(store->BytesUsed.load(), used + 4);
}

TEST_F(Store, ByteLimitHoldsForAnyRun) {
    std::vector<uint8_t> run(CaptureBufferSize + 1001, Mid);
    EXPECT_EQ(appendReceived(*store, run.data(), uint32_t(run.size())), CaptureBufferSize / 2);
    EXPECT_EQ(store->BytesUsed.load(), CaptureBufferSize);
}

// ---- the date line of a recording's header and footer ----

// Sets the locale variables for one case and puts the old ones back at the end.
class LocaleEnvironment {
  public:
    LocaleEnvironment() {
        for (int i = 0; i < 3; ++i)
            if (const char* v = getenv(names[i])) saved[i] = v, had[i] = true;
    }
    ~LocaleEnvironment() {
        for (int i = 0; i < 3; ++i) set(names[i], had[i] ? saved[i].c_str() : nullptr);
    }
    void set(const char* name, const char* value) {
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    void use(const char* all, const char* time, const char* lang) {
        set("LC_ALL", all);
        set("LC_TIME", time);
        set("LANG", lang);
    }

  private:
    const char* const names[3] = {"LC_ALL", "LC_TIME", "LANG"};
    std::string saved[3];
    bool had[3] = {false, false, false};
};

TEST(CaptureDate, SystemDateAndTimeFormatsOfOneLocale) {
    LocaleEnvironment env;
    const QDateTime tuesday(QDate(2026, 12, 8), QTime(14, 3, 22));
    // As the user reads it: newer locale data put narrow or no-break spaces where older
    // data had plain ones ("2:03:22 PM").
    const auto text = [&] {
        return QString::fromStdString(captureDateText(tuesday, captureLocale()))
            .replace(QChar(0x202F), u' ')
            .replace(QChar(0x00A0), u' ')
            .toStdString();
    };

    // Short date and long time of the time locale; the zone is no part of the time.
    env.use(nullptr, nullptr, "en_US.UTF-8");
    EXPECT_EQ(text(), "Dienstag 12/8/26, 2:03:22 PM");
    env.use(nullptr, "de_DE.UTF-8", "en_US.UTF-8");  // dates and times follow LC_TIME
    EXPECT_EQ(text(), "Dienstag 08.12.26, 14:03:22");
    env.use("en_GB.UTF-8", "de_DE.UTF-8", "de_DE.UTF-8");  // LC_ALL before both
    EXPECT_EQ(text(), "Dienstag 08/12/2026, 14:03:22");
    env.use(nullptr, nullptr, "es_ES.UTF-8");  // a zone in brackets goes with them
    EXPECT_EQ(captureLocale().name(), "es_ES");
    EXPECT_TRUE(QString::fromStdString(text()).endsWith(", 14:03:22")) << text();
    // The zone fields of any format, whatever the locale data hold; quoted text stays.
    const std::pair<const char*, const char*> formats[] = {
        {"H:mm:ss (t)", "H:mm:ss"},
        {"HH:mm:ss [tttt]", "HH:mm:ss"},
        {"h:mm:ss AP t", "h:mm:ss AP"},
        {"t HH:mm:ss", "HH:mm:ss"},
        {"'Klock' H.mm:ss", "'Klock' H.mm:ss"},
        {"'at' HH:mm 't'", "'at' HH:mm 't'"},
    };
    for (auto [format, shown] : formats) EXPECT_EQ(withoutZoneField(format).toStdString(), shown) << format;

    // No locale of a country: German formats, never an English month beside the weekday.
    for (const char* c : {"C", "C.UTF-8", "POSIX"}) {
        env.use(nullptr, nullptr, c);
        EXPECT_EQ(text(), "Dienstag 08.12.26, 14:03:22") << c;
        env.use(nullptr, c, "en_US.UTF-8");
        EXPECT_EQ(text(), "Dienstag 08.12.26, 14:03:22") << c;
    }
    env.use(nullptr, nullptr, nullptr);
    EXPECT_EQ(text(), "Dienstag 08.12.26, 14:03:22");

    // The week begins with Sunday in the weekday table.
    const QLocale de(QLocale::German, QLocale::Germany);
    EXPECT_EQ(captureDateText(QDateTime(QDate(2026, 12, 13), QTime(0, 0)), de), "Sonntag 13.12.26, 00:00:00");
    EXPECT_EQ(captureDateText(QDateTime(QDate(2026, 12, 12), QTime(0, 0)), de), "Samstag 12.12.26, 00:00:00");
}

}  // namespace
