#include "numberfield.h"

#include "numbertext.h"

#include <cstdio>

namespace {

std::string withImplied(const NumberField& field, const std::string& text) {
    if (field.implied.empty() && !field.dropBlanks) return text;
    const std::size_t first = text.find_first_not_of(' ');
    return field.implied + (first == std::string::npos ? std::string() : text.substr(first));
}

}  // namespace

std::string FormatNumberText(std::int32_t value, const NumberFormat& format) {
    char buf[24];
    const int digits = format.minDigits < 1 ? 1 : (format.minDigits > 8 ? 8 : format.minDigits);
    if (format.hex)
        std::snprintf(buf, sizeof buf, "%s%0*X", format.showPrefix ? "0x" : "", digits,
                      static_cast<unsigned>(value));
    else
        std::snprintf(buf, sizeof buf, "%0*d", digits, static_cast<int>(value));
    return buf;
}

std::string NumberFieldTyped(const NumberField& field, const std::string& text, std::int32_t max) {
    std::string t = withImplied(field, text);
    const bool empty = LimitNumberText(t, max);
    if (field.canonicalWhileTyping)
        return empty || t.size() <= field.implied.size() ? std::string()
                                                         : NumberFieldText(field, ParseNumberText(t));
    return t.size() <= field.implied.size() ? std::string() : t.substr(field.implied.size());
}

std::int32_t NumberFieldValue(const NumberField& field, const std::string& text) {
    return ParseNumberText(withImplied(field, text));
}

std::string NumberFieldText(const NumberField& field, std::int32_t value) {
    return FormatNumberText(value, field.canonical);
}
