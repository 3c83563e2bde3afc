// The rule pair of the numeric fields in each field form the windows use.
#include <gtest/gtest.h>

#include "numberfield.h"
#include "numbertext.h"

namespace {

struct TypingCase {
    const char* form;
    NumberField field;
    const char* typed;
    std::int32_t max;
    const char* shown;
};

const NumberField kHexByte = NumberField::prefixed(NumberFormat::hexByte());
const NumberField kSearch = NumberField::impliedHex(2);
const NumberField kMemHexGrid = NumberField::memoryBase(true, false);
const NumberField kMemHexDialog = NumberField::memoryBase(true, true);
const NumberField kMemDecDialog = NumberField::memoryBase(false, true);
const NumberField kMemDecGrid = NumberField::memoryBase(false, false);

}  // namespace

TEST(NumberField, TypingRuleInEveryForm) {
    const TypingCase cases[] = {
        {"prefixed", kHexByte, "0xFF", 239, "0xF"},        {"prefixed", kHexByte, "0x", 239, "0x"},
        {"prefixed", kHexByte, "300", 255, "30"},          {"prefixed", kHexByte, "0x1fz", 255, "0x1F"},
        {"implied hex", kSearch, "1FF", 0xFF, "1F"},       {"implied hex", kSearch, "  a0", 0xFF, "A0"},
        {"implied hex", kSearch, "xyz", 0xFF, ""},         {"implied hex", kSearch, "12345", 0xFFFF, "1234"},
        {"grid hex", kMemHexGrid, "1FF", 255, "1F"},       {"grid hex", kMemHexGrid, "00f", 255, "00F"},
        {"dialog hex", kMemHexDialog, "00f", 0x7FF, "F"},  {"dialog hex", kMemHexDialog, "", 0x7FF, ""},
        {"dialog dec", kMemDecDialog, "0300", 255, "30"},  {"dialog dec", kMemDecDialog, "007", 255, "7"},
        {"dialog dec", kMemDecDialog, "x", 255, ""},       {"max below 1", kMemDecDialog, "5", 0, ""},
        {"dialog dec", kMemDecDialog, " 0x12", 255, "18"}, {"grid dec", kMemDecGrid, " 0x12", 255, "0x12"},
    };
    for (const TypingCase& c : cases)
        EXPECT_EQ(NumberFieldTyped(c.field, c.typed, c.max), c.shown) << c.form << " typed " << c.typed;
}

TEST(NumberField, LeavingValueAndCanonicalText) {
    EXPECT_EQ(NumberFieldValue(kHexByte, "0x1E"), 30);
    EXPECT_EQ(NumberFieldValue(kHexByte, "200"), 200);
    EXPECT_EQ(NumberFieldValue(kHexByte, ""), 0);
    EXPECT_EQ(NumberFieldValue(kSearch, " A0"), 0xA0);
    EXPECT_EQ(NumberFieldValue(kSearch, ""), 0);
    EXPECT_EQ(NumberFieldValue(kMemDecDialog, "12"), 12);
    EXPECT_EQ(NumberFieldValue(kMemHexDialog, "12"), 0x12);

    EXPECT_EQ(NumberFieldText(kHexByte, 200), "0xC8");
    EXPECT_EQ(NumberFieldText(NumberField::prefixed(NumberFormat::hexWord()), 0x123), "0x0123");
    EXPECT_EQ(NumberFieldText(kSearch, 5), "05");
    EXPECT_EQ(NumberFieldText(NumberField::impliedHex(4), 0x312), "0312");
    EXPECT_EQ(NumberFieldText(kMemHexDialog, 0x3FF), "3FF");
    EXPECT_EQ(NumberFieldText(kMemDecDialog, 0), "0");
    // Canonical text reads back as the same value in every form.
    for (const NumberField& f : {kHexByte, kSearch, kMemHexDialog, kMemDecDialog})
        for (std::int32_t v : {0, 1, 15, 16, 255, 0xFFFF})
            EXPECT_EQ(NumberFieldValue(f, NumberFieldText(f, v)), v);
}

TEST(NumberField, TextBeyondThirtyTwoBitsIsAConversionError) {
    EXPECT_THROW(NumberFieldTyped(kMemDecDialog, "99999999999", 255), EConvertError);
    EXPECT_THROW(NumberFieldValue(kSearch, "123456789"), EConvertError);
}
