// The rule pair of a numeric entry field, as pure text logic; the Qt binding to a line edit is
// NumberEdit (kevo/widgets/numberedit.h).
//
// Typing rule: the shown text goes through LimitNumberText with the field's maximum.
// Leaving rule: the value is ParseNumberText of the text; the owner stores it and the text is
// rewritten in the field's canonical form.
//
// Fields differ in how their text carries the "0x" prefix:
//  - most fields show it ("0x1E"): the text is taken as it stands;
//  - some imply a prefix and never show it (the search dialog's "1E", the memory monitor's
//    hex mode): the prefix is put in front of the text, without its leading blanks, before the
//    rules run and taken away again afterwards.
// No state, no I/O; any thread. Throws EConvertError where LimitNumberText / ParseNumberText do.
#pragma once

#include <cstdint>
#include <string>

// How a value is written as text.
struct NumberFormat {
    bool hex = true;         // upper-case hexadecimal digits, else decimal
    bool showPrefix = true;  // "0x" in front of hex digits
    int minDigits = 2;       // padded with zeros to at least this many digits

    static NumberFormat hexByte() { return {true, true, 2}; }                  // "0x1E"
    static NumberFormat hexWord() { return {true, true, 4}; }                  // "0x001E"
    static NumberFormat bareHex(int digits) { return {true, false, digits}; }  // "1E"
    static NumberFormat decimal() { return {false, false, 1}; }                // "30"
};

// Formats value; negative values are written as their 32-bit pattern in hex.
std::string FormatNumberText(std::int32_t value, const NumberFormat& format);

// How one field's text is read and written.
struct NumberField {
    // The prefix implied in front of the shown text ("0x", or "" for a field whose text carries
    // its own prefix or is decimal). With an implied prefix, leading blanks are dropped first.
    std::string implied;
    // The canonical form the leaving rule writes (the owner may choose another text).
    NumberFormat canonical = NumberFormat::hexByte();
    // The text is rewritten from its value on every change (leading zeros vanish as typed);
    // a text with no digit left becomes empty.
    bool canonicalWhileTyping = false;
    // Leading blanks are dropped before the rules run, also without an implied prefix.
    bool dropBlanks = false;

    // A field showing "0x" + digits or decimal text, as typed.
    static NumberField prefixed(NumberFormat canonical) { return {"", canonical, false}; }
    // Hex digits only, "0x" implied and never shown.
    static NumberField impliedHex(int digits) { return {"0x", NumberFormat::bareHex(digits), false}; }
    // The memory monitor's number base: hex without prefix ("0x" implied) or decimal; in both
    // leading blanks go first, so " 0x12" in decimal is the value 18.
    static NumberField memoryBase(bool hex, bool whileTyping) {
        return {hex ? "0x" : "", hex ? NumberFormat::bareHex(1) : NumberFormat::decimal(), whileTyping, true};
    }
};

// The typing rule: the text the field shows after the user changed it to `text`.
std::string NumberFieldTyped(const NumberField& field, const std::string& text, std::int32_t max);
// The value of the field's text (0 for empty or invalid text).
std::int32_t NumberFieldValue(const NumberField& field, const std::string& text);
// The canonical text of a value.
std::string NumberFieldText(const NumberField& field, std::int32_t value);
