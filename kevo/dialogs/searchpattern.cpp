#include "searchpattern.h"

#include "numberfield.h"

namespace {

const char* const kStartMark = "\xC2\xBB";  // »
const char* const kStopMark = "\xC2\xAB";   // «

std::string subAddressText(const std::string& text) {
    if (text.size() <= 2) return text;
    std::string padded = std::string(text.size() < 4 ? 4 - text.size() : 0, '0') + text;
    return padded.substr(0, padded.size() - 2) + " " + padded.substr(padded.size() - 2);
}

}  // namespace

std::string BuildSearchPattern(const SearchFields& f) {
    const NumberField field = NumberField::impliedHex(2);
    std::string pattern;
    if (!f.DevAdr.empty()) {
        pattern += kStartMark + f.DevAdr;
        const std::int32_t value = NumberFieldValue(field, f.DevAdr);
        if ((value & 1) == 0) {
            if (!f.SubAdr.empty()) pattern += " " + subAddressText(f.SubAdr);
            if (f.Read) pattern += kStartMark + NumberFieldText(field, value + 1);
        }
    }
    for (const std::string& byte : f.Bytes) {
        if (byte.empty()) break;
        pattern += " " + byte;
    }
    if (f.StopCond) pattern += kStopMark;
    return pattern;
}
