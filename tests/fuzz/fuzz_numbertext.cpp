// The number-text helpers and the number-field rules over any text and maximum: the typing
// rule never leaves a value above the field's maximum and is stable when applied again;
// parsing the canonical text of a value gives the value back.
//
// Input: maximum (four bytes), value (four bytes), format byte, then the typed text.
#include <string>

#include "fuzzinput.h"
#include "numberfield.h"
#include "numbertext.h"

namespace {

bool isHexText(const std::string& t) {
    return t.size() >= 2 && t[0] == '0' && t[1] == 'x';
}

// The value of a filtered number text, or -1 when it does not fit into int32.
long long valueOf(const std::string& t) {
    const bool hex = isHexText(t);
    long long v = 0;
    for (std::size_t i = hex ? 2 : 0; i < t.size(); ++i) {
        const char c = t[i];
        v = v * (hex ? 16 : 10) + (c <= '9' ? c - '0' : c - 'A' + 10);
        if (v > 0x7FFFFFFF) return -1;
    }
    return v;
}

bool onlyDigits(const std::string& t) {
    const bool hex = isHexText(t);
    for (std::size_t i = hex ? 2 : 0; i < t.size(); ++i) {
        const char c = t[i];
        if (!((c >= '0' && c <= '9') || (hex && c >= 'A' && c <= 'F'))) return false;
    }
    return true;
}

void checkLimit(const std::string& typed, std::int32_t max) {
    std::string filtered = typed;
    const bool noDigit = FilterNumberText(filtered);
    FUZZ_CHECK(onlyDigits(filtered));
    FUZZ_CHECK(noDigit == (filtered.size() <= (isHexText(filtered) ? 2u : 0u)));

    std::string t = typed;
    bool empty;
    try {
        empty = LimitNumberText(t, max);
    } catch (const EConvertError&) {
        FUZZ_CHECK(valueOf(filtered) < 0);  // only a value beyond int32 is refused
        return;
    }
    const std::int32_t limit = max < 1 ? 1 : max;
    FUZZ_CHECK(filtered.compare(0, t.size(), t) == 0);  // only characters at the end go
    FUZZ_CHECK(onlyDigits(t));
    const std::size_t prefix = isHexText(t) ? 2 : 0;
    FUZZ_CHECK(empty == (t.size() <= prefix));
    if (!empty) {
        FUZZ_CHECK(valueOf(t) >= 0 && valueOf(t) <= limit);
        FUZZ_CHECK(ParseNumberText(t) == valueOf(t));
    }
}

void checkField(const NumberField& field, const std::string& typed, std::int32_t max, std::int32_t value) {
    // The canonical text gives the value back.
    FUZZ_CHECK(NumberFieldValue(field, NumberFieldText(field, value)) == value);
    std::string shown;
    try {
        shown = NumberFieldTyped(field, typed, max);
    } catch (const EConvertError&) {
        return;  // a value beyond int32 (checked above for the plain rule)
    }
    const std::int32_t limit = max < 1 ? 1 : max;
    const std::int32_t v = NumberFieldValue(field, shown);
    FUZZ_CHECK(v >= 0 && v <= limit);
    FUZZ_CHECK(NumberFieldTyped(field, shown, max) == shown);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kevofuzz::FuzzInput in(data, size);
    const std::int32_t max = std::int32_t(in.u32());
    const std::int32_t value = std::int32_t(in.u32() & 0x7FFFFFFF);
    const uint8_t format = in.byte();
    const std::string typed = in.rest();

    checkLimit(typed, max);

    // ParseNumberText: a value of its text or 0, never negative.
    try {
        FUZZ_CHECK(ParseNumberText(typed) >= 0);
    } catch (const EConvertError&) {
    }

    // Canonical texts of every form read back as the value.
    const NumberFormat formats[] = {NumberFormat::hexByte(), NumberFormat::hexWord(), NumberFormat::decimal(),
                                    NumberFormat{bool(format & 1), bool(format & 2), (format >> 2) % 10}};
    for (const NumberFormat& f : formats) {
        const std::string text = FormatNumberText(value, f);
        FUZZ_CHECK(ParseNumberText(f.hex && !f.showPrefix ? "0x" + text : text) == value);
        FUZZ_CHECK(StrToInt(f.hex && !f.showPrefix ? "0x" + text : text) == value);
    }

    const NumberField fields[] = {
        NumberField::prefixed(NumberFormat::hexByte()),
        NumberField::prefixed(NumberFormat::decimal()),
        NumberField::impliedHex(1 + format % 8),
        NumberField::memoryBase(true, false),
        NumberField::memoryBase(true, true),
        NumberField::memoryBase(false, true),
    };
    for (const NumberField& f : fields) checkField(f, typed, max, value);
    return 0;
}
