// Number text of the entry fields, the strict conversion, name check and backup names.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "numbertext.h"

namespace fs = std::filesystem;

namespace {

std::string filtered(std::string text, bool* empty = nullptr) {
    const bool e = FilterNumberText(text);
    if (empty) *empty = e;
    return text;
}

std::string limited(std::string text, std::int32_t max, bool* empty = nullptr) {
    const bool e = LimitNumberText(text, max);
    if (empty) *empty = e;
    return text;
}

}  // namespace

TEST(NumberText, Filter) {
    bool empty = false;
    EXPECT_EQ(filtered("12a3", &empty), "123");
    EXPECT_FALSE(empty);
    EXPECT_EQ(filtered("0x1fz", &empty), "0x1F");
    EXPECT_FALSE(empty);
    EXPECT_EQ(filtered("0x", &empty), "0x");
    EXPECT_TRUE(empty);
    EXPECT_EQ(filtered("abc", &empty), "");
    EXPECT_TRUE(empty);
    EXPECT_EQ(filtered("0X1F", &empty), "01");  // upper-case X is no prefix
    EXPECT_FALSE(empty);
    EXPECT_EQ(filtered("0xg", &empty), "0x");
    EXPECT_TRUE(empty);
    EXPECT_EQ(filtered("", &empty), "");
    EXPECT_TRUE(empty);
    EXPECT_EQ(filtered("-1 2ä3", &empty), "123");  // also multi-byte characters go
    EXPECT_EQ(filtered("0xäb", &empty), "0xB");
}

TEST(NumberText, Limit) {
    bool empty = false;
    EXPECT_EQ(limited("300", 255, &empty), "30");
    EXPECT_FALSE(empty);
    EXPECT_EQ(limited("0xFFF", 255), "0xFF");
    EXPECT_EQ(limited("0xFF", 239), "0xF");
    EXPECT_EQ(limited("9", 5, &empty), "");
    EXPECT_TRUE(empty);
    EXPECT_EQ(limited("0x9", 5, &empty), "0x");
    EXPECT_TRUE(empty);
    EXPECT_EQ(limited("1", 0, &empty), "1");  // max 0 counts as 1
    EXPECT_FALSE(empty);
    EXPECT_EQ(limited("2", 0, &empty), "");
    EXPECT_TRUE(empty);
    EXPECT_EQ(limited("65536", 65536), "65536");
    EXPECT_EQ(limited("1x6", 16), "16");
    std::string huge = "99999999999";
    EXPECT_THROW(LimitNumberText(huge, 255), EConvertError);
}

TEST(NumberText, Parse) {
    EXPECT_EQ(ParseNumberText("  0x1F"), 31);
    EXPECT_EQ(ParseNumberText("0x1f"), 0);  // lower-case digits are no number text
    EXPECT_EQ(ParseNumberText("12 "), 0);
    EXPECT_EQ(ParseNumberText(""), 0);
    EXPECT_EQ(ParseNumberText("   "), 0);
    EXPECT_EQ(ParseNumberText("0x"), 0);
    EXPECT_EQ(ParseNumberText("255"), 255);
    EXPECT_EQ(ParseNumberText("-5"), 0);
    EXPECT_EQ(ParseNumberText("2147483647"), INT32_MAX);
    EXPECT_EQ(ParseNumberText("0x7FFFFFFF"), INT32_MAX);
    const std::string text = " 0x10";
    EXPECT_EQ(ParseNumberText(text), 16);
    EXPECT_EQ(text, " 0x10");
    EXPECT_THROW(ParseNumberText("2147483648"), EConvertError);
    EXPECT_THROW(ParseNumberText("0x100000000"), EConvertError);
    try {
        ParseNumberText("99999999999");
        FAIL() << "no conversion error";
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), "'99999999999' ist kein gültiger ganzzahliger Wert");
    }
}

TEST(NumberText, StrictConversion) {
    EXPECT_EQ(StrToInt("00"), 0);
    EXPECT_EQ(StrToInt(" -2147483648"), INT32_MIN);
    EXPECT_EQ(StrToInt("$ff"), 255);
    EXPECT_EQ(StrToInt("0X10"), 16);
    EXPECT_EQ(StrToInt("+7"), 7);
    for (const char* bad : {"", " ", "-", "0x", "$", "1 ", "12a", "--1", "0xFFFFFFFF", "-2147483649"})
        EXPECT_THROW(StrToInt(bad), EConvertError) << bad;
    EXPECT_EQ(StrToIntDef("zz", -4), -4);
    EXPECT_EQ(StrToIntDef("0x20", -4), 32);
}

TEST(NumberText, InvalidNameChars) {
    EXPECT_TRUE(HasInvalidNameChar("mein.projekt"));
    EXPECT_FALSE(HasInvalidNameChar("Projekt 12 Ärger"));
    for (char c : std::string("\\\"./:*?|<>"))
        EXPECT_TRUE(HasInvalidNameChar(std::string("a") + c + "b")) << c;
    EXPECT_FALSE(HasInvalidNameChar(""));
}

TEST(BackupNames, MarkGoesIntoTheFileName) {
    EXPECT_EQ(BackupName("a.kvo"), "a.~kvo");
    EXPECT_EQ(BackupName("/logs/run.i2p"), "/logs/run.~i2p");
    EXPECT_EQ(BackupName("/p/v1.2/a.kvo", '!'), "/p/v1.2/a.!kvo");
    EXPECT_EQ(BackupName("/p/a.b.c"), "/p/a.~b.c");
    EXPECT_EQ(BackupName("/p.d/run"), "/p.d/~run");
    EXPECT_EQ(BackupName("run", '!'), "!run");
    EXPECT_EQ(BackupName(BackupName("/p/a.kvo", '!'), '!'), "/p/a.!!kvo");
}

TEST(BackupNames, MakeBackupFile) {
    std::random_device rd;
    const fs::path dir =
        fs::temp_directory_path() / ("kevo-bak-" + std::to_string(rd()) + std::to_string(rd()));
    fs::create_directories(dir / "x.d");
    auto write = [](const fs::path& p, const char* text) { std::ofstream(p, std::ios::binary) << text; };
    auto read = [](const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    const fs::path log = dir / "x.d" / "run.i2p";
    write(log, "neu");
    write(dir / "x.d" / "run.~i2p", "alt");
    MakeBackupFile(log.string());
    EXPECT_FALSE(fs::exists(log));
    EXPECT_EQ(read(dir / "x.d" / "run.~i2p"), "neu");

    MakeBackupFile((dir / "fehlt.bin").string());  // nothing happens
    MakeBackupFile((dir / "x.d").string());        // a folder is not a file
    EXPECT_TRUE(fs::is_directory(dir / "x.d"));
    std::size_t count = 0;
    for (auto& e : fs::recursive_directory_iterator(dir)) (void)e, ++count;
    EXPECT_EQ(count, 2u);

    // A backup name taken by a folder: the file stays where it is.
    write(dir / "m.bin", "daten");
    fs::create_directory(dir / "m.~bin");
    fs::create_directory(dir / "m.~bin" / "inhalt");
    MakeBackupFile((dir / "m.bin").string());
    EXPECT_EQ(read(dir / "m.bin"), "daten");
    fs::remove_all(dir);
}
