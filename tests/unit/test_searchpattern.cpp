// The search pattern: the dialog's fields written in the trace's line format.
#include <gtest/gtest.h>

#include "searchpattern.h"

namespace {

struct Case {
    const char* name;
    SearchFields fields;
    std::string pattern;
};

SearchFields fields(std::string dev, std::string sub, bool read, std::vector<std::string> bytes, bool stop) {
    SearchFields f;
    f.DevAdr = std::move(dev);
    f.SubAdr = std::move(sub);
    f.Read = read;
    for (size_t i = 0; i < bytes.size() && i < 5; ++i) f.Bytes[i] = bytes[i];
    f.StopCond = stop;
    return f;
}

TEST(SearchPattern, FollowsTheTraceLineFormat) {
    const Case cases[] = {
        {"nothing", fields("", "", false, {}, false), ""},
        {"stop mark alone", fields("", "", false, {}, true), "«"},
        {"write with sub-address and data", fields("A0", "00", false, {"3F"}, false), "»A0 00 3F"},
        {"read back after repeated start", fields("A0", "10", true, {"3F", "40"}, true), "»A0 10»A1 3F 40«"},
        {"read-back of the last even address", fields("FE", "01", true, {}, false), "»FE 01»FF"},
        {"read-back address in two digits", fields("0E", "01", true, {}, false), "»0E 01»0F"},
        {"read back without sub-address", fields("A0", "", true, {}, false), "»A0»A1"},
        {"odd address ignores sub-address and choice", fields("A1", "10", true, {"3F"}, false), "»A1 3F"},
        {"data only match inside a telegram", fields("", "", false, {"12", "34"}, false), " 12 34"},
        {"first empty byte ends the data", fields("", "", false, {"12", "", "56", "78"}, false), " 12"},
        {"all five bytes", fields("42", "", false, {"01", "02", "03", "04", "05"}, true),
         "»42 01 02 03 04 05«"},
        {"two-byte sub-address as two pairs", fields("A0", "1234", false, {"55"}, false), "»A0 12 34 55"},
        {"three digits typed: padded to two pairs", fields("A0", "123", false, {}, false), "»A0 01 23"},
        {"texts taken as they stand", fields("5", "", false, {"7"}, false), "»5 7"},
    };
    for (const Case& c : cases) EXPECT_EQ(BuildSearchPattern(c.fields), c.pattern) << c.name;
}

}  // namespace
