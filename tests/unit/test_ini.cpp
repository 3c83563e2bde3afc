// INI layer: private-profile semantics, encodings, line endings, safe writes, bad input.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <random>

#include "filesave.h"
#include "inifile.h"

namespace fs = std::filesystem;
using ini::IniDocument;

namespace {

struct TempDir {
    fs::path dir;
    TempDir() {
        std::random_device rd;
        dir = fs::temp_directory_path() / ("kevo-ini-" + std::to_string(rd()) + std::to_string(rd()));
        fs::create_directories(dir);
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    std::string file(const std::string& name) const { return (dir / name).string(); }
};

std::string readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

}  // namespace

TEST(IniDocument, ReadsKeysCaseInsensitiveAndTrimmed) {
    auto doc = IniDocument::parse("[Probe]\r\n  Logikpegel =  3 \r\n[monitor]\r\nAutosicherung=1\r\n");
    EXPECT_EQ(doc.readString("PROBE", "logikpegel", "x"), "3");
    EXPECT_EQ(doc.readInteger("Monitor", "AUTOSICHERUNG", 7), 1);
    EXPECT_TRUE(doc.hasSection("probe"));
    EXPECT_FALSE(doc.hasKey("Probe", "Master"));
    EXPECT_EQ(doc.readString("Probe", "Master", "def"), "def");
    EXPECT_EQ(doc.readString("Nix", "Logikpegel", "def"), "def");
}

TEST(IniDocument, NonAsciiNamesMatchInBothEncodings) {
    // "Weiß (Probe 6)" as the Windows program writes it (Windows-1252) and as UTF-8, in
    // another letter case.
    auto cp = IniDocument::parse(std::string("[Probe]\r\nWEI\xDF (PROBE 6)=2\r\n\xC4nderung=1\r\n"));
    EXPECT_EQ(cp.encoding(), ini::Encoding::Windows1252);
    EXPECT_EQ(cp.readInteger("Probe", "Weiß (Probe 6)", 0), 2);
    EXPECT_EQ(cp.readInteger("Probe", "änderung", 0), 1);
    auto u8 = IniDocument::parse("[probe]\nweiß (probe 6)=3\n");
    EXPECT_EQ(u8.encoding(), ini::Encoding::Utf8);
    EXPECT_EQ(u8.readInteger("Probe", "Weiß (Probe 6)", 0), 3);
    EXPECT_EQ(ini::foldCase("ÄÖÜÉŠŒŽŸ ΩЖ"), "äöüéšœžÿ ωж");
}

TEST(IniDocument, IntegersDecimalHexAndDefaults) {
    auto doc = IniDocument::parse(
        "[S]\nd=-12\nh=0x1F\nH=0XfF\nbig=99999999999\nhexbig=0x80000000\nx=0x\nt=12a\nmin=-2147483648\n"
        "e=\n");
    EXPECT_EQ(doc.readInteger("S", "d", 0), -12);
    EXPECT_EQ(doc.readInteger("S", "h", 0), 31);
    EXPECT_EQ(doc.readInteger("S", "H", 0), 31);  // first one of the name counts
    EXPECT_EQ(doc.readInteger("S", "big", 5), 5);
    EXPECT_EQ(doc.readInteger("S", "hexbig", 5), 5);
    EXPECT_EQ(doc.readInteger("S", "x", 5), 5);
    EXPECT_EQ(doc.readInteger("S", "t", 5), 5);
    EXPECT_EQ(doc.readInteger("S", "min", 5), INT32_MIN);
    EXPECT_EQ(doc.readInteger("S", "e", 5), 5);
    EXPECT_TRUE(doc.hasKey("S", "e"));  // present with an empty value
}

TEST(IniDocument, WriteReplacesInPlaceAndKeepsEverythingElse) {
    const std::string text =
        "; Kommentar\r\n[Config]\r\nDatenverzeichnis = /alt\r\n; mitten drin\r\nUnbekannt=bleibt\r\n"
        "\r\n[Probe]\r\nLogikpegel=1\r\nMüll ohne Gleich\r\n";
    auto doc = IniDocument::parse(text);
    doc.writeString("config", "DATENVERZEICHNIS", "/neu");
    std::string expected = text;
    expected.replace(expected.find("/alt"), 4, "/neu");
    EXPECT_EQ(doc.serialize(), expected);

    // A new key goes after the last key of its section; a new section at the end.
    doc.writeInteger("Config", "Autosicherung", 1);
    doc.writeInteger("Monitor", "Attribute", 127);
    EXPECT_EQ(doc.serialize(),
              "; Kommentar\r\n[Config]\r\nDatenverzeichnis = /neu\r\n; mitten drin\r\nUnbekannt=bleibt\r\n"
              "Autosicherung=1\r\n\r\n[Probe]\r\nLogikpegel=1\r\nMüll ohne Gleich\r\n\r\n[Monitor]\r\n"
              "Attribute=127\r\n");
}

TEST(IniDocument, LineEndingsAreKept) {
    auto lf = IniDocument::parse("[A]\nk=1");  // LF, last line without ending
    lf.writeString("A", "n", "2");
    lf.writeString("B", "m", "3");
    EXPECT_EQ(lf.serialize(), "[A]\nk=1\nn=2\n\n[B]\nm=3\n");

    IniDocument fresh;
    fresh.writeString("Projekt", "Datei", "");
    fresh.writeInteger("RAFU", "Baudrate", 9600);
    EXPECT_EQ(fresh.serialize(), "[Projekt]\r\nDatei=\r\n\r\n[RAFU]\r\nBaudrate=9600\r\n");
}

TEST(IniDocument, EncodingOnWrite) {
    // Windows-1252 in, Windows-1252 out, every other byte as it was (also unassigned 0x81).
    const std::string cp = "[Probe]\r\nWei\xDF (Probe 6)=1\r\n; \x80\x81\x9F\xFF\r\n";
    auto doc = IniDocument::parse(cp);
    EXPECT_EQ(doc.serialize(), cp);
    doc.writeString("Probe", "Weiß (Probe 6)", "2");
    EXPECT_EQ(doc.serialize(), "[Probe]\r\nWei\xDF (Probe 6)=2\r\n; \x80\x81\x9F\xFF\r\n");

    // A new file whose text fits Windows-1252 is written in it; otherwise in UTF-8.
    IniDocument fresh;
    fresh.writeString("Probe", "Weiß (Probe 6)", "0");
    EXPECT_EQ(fresh.serialize(), "[Probe]\r\nWei\xDF (Probe 6)=0\r\n");
    fresh.writeString("Probe", "Name", "Ω");
    EXPECT_EQ(fresh.serialize(), "[Probe]\r\nWeiß (Probe 6)=0\r\nName=Ω\r\n");

    // UTF-8 stays UTF-8, a byte order mark stays.
    auto u8 = IniDocument::parse("\xEF\xBB\xBF[Ä]\nk=ö\n");
    u8.writeString("ä", "k", "ü");
    EXPECT_EQ(u8.serialize(), "\xEF\xBB\xBF[Ä]\nk=ü\n");

    // A Windows-1252 file that gets a value it cannot hold goes to UTF-8 rather than lose it.
    doc.writeString("Probe", "Name", "Ω");
    auto again = IniDocument::parse(doc.serialize());
    EXPECT_EQ(again.readString("Probe", "Name", ""), "Ω");
    EXPECT_EQ(again.readString("Probe", "weiß (probe 6)", ""), "2");

    // Text whose Windows-1252 bytes form valid UTF-8 ("Ã¤" is C3 A4, read back as "ä") is
    // written as UTF-8, so that it reads back as it was.
    IniDocument tricky;
    tricky.writeString("Projekt", "Verzeichnis", "/daten/Ã¤/");
    EXPECT_EQ(IniDocument::parse(tricky.serialize()).readString("Projekt", "Verzeichnis", ""), "/daten/Ã¤/");
}

TEST(IniDocument, ManyWritesKeepEveryKeyFindable) {
    // Keys inserted into sections in the middle of a file, new sections and replaced values,
    // checked against a fresh reading of the written text after every step.
    auto doc = IniDocument::parse("[A]\nk0=0\n\n[B]\nk0=0\n; Ende B\n[a]\nk9=zweites A\n[C]\n");
    EXPECT_EQ(doc.readString("A", "k9", "-"), "-");  // the second section of a name does not count
    std::mt19937 rng(11);
    std::map<std::pair<std::string, std::string>, std::string> written;
    for (int i = 0; i < 300; ++i) {
        const std::string sec = std::string(1, "ABCDE"[rng() % 5]);
        const std::string key = "k" + std::to_string(rng() % 40);
        const std::string value = std::to_string(i);
        doc.writeString(rng() % 2 ? sec : std::string(1, static_cast<char>(sec[0] + 32)), key, value);
        written[{sec, key}] = value;
        const auto back = IniDocument::parse(doc.serialize());
        for (const auto& [where, v] : written) {
            ASSERT_EQ(doc.readString(where.first, where.second, "-"), v) << i;
            ASSERT_EQ(back.readString(where.first, where.second, "-"), v) << i;
        }
    }
}

TEST(IniDocument, GarbageDoesNotBreakParsing) {
    std::string junk("\x00\xFF\xFE[[]]=\n=nokey\n[\n]\n[Sec\n[Ok]\nk=v\n\x01\x02=\x03\n", 39);
    junk += std::string("\0\0\0", 3);
    junk += "\r\r\n[ Ok ]\nk=second\n";
    auto doc = IniDocument::parse(junk);
    EXPECT_EQ(doc.readString("ok", "k", ""), "v");
    EXPECT_EQ(doc.serialize(), junk);
    doc.writeString("Ok", "k", "w");
    EXPECT_EQ(IniDocument::parse(doc.serialize()).readString("Ok", "k", ""), "w");

    std::mt19937 rng(42);
    for (int round = 0; round < 200; ++round) {
        std::string bytes(rng() % 400, '\0');
        for (char& c : bytes) c = static_cast<char>(rng() % 8 == 0 ? "[]=;\r\n"[rng() % 6] : rng());
        auto d = IniDocument::parse(bytes);
        ASSERT_EQ(d.serialize(), bytes);  // an untouched file is written back byte for byte
        d.writeString("A", "b", "c");
        ASSERT_EQ(IniDocument::parse(d.serialize()).readString("a", "B", ""), "c");
    }
}

TEST(IniDocument, ValuesCannotBreakTheirLine) {
    IniDocument doc;
    doc.writeString("S", "k", "a\r\n[X]\nb");
    auto back = IniDocument::parse(doc.serialize());
    EXPECT_FALSE(back.hasSection("X"));
    EXPECT_EQ(back.readString("S", "k", ""), "a  [X] b");
    doc.writeString("", "k", "v");
    doc.writeString("S", " ", "v");
    EXPECT_EQ(doc.lineCount(), 2u);
}

TEST(IniFiles, ProfilePairRoundTripAndWindowsFile) {
    TempDir t;
    const std::string path = t.file("kevo.cfg");
    EXPECT_EQ(ini::GetPrivateProfileString("Projekt", "Datei", "leer", path), "leer");
    ASSERT_TRUE(ini::WritePrivateProfileString("Projekt", "Datei", "/p/a.kvo", path));
    ASSERT_TRUE(ini::WritePrivateProfileString("RAFU", "Port", "COM3", path));
    EXPECT_EQ(ini::GetPrivateProfileString("projekt", "DATEI", "", path), "/p/a.kvo");
    EXPECT_EQ(readBytes(path), "[Projekt]\r\nDatei=/p/a.kvo\r\n\r\n[RAFU]\r\nPort=COM3\r\n");

    // A Windows-1252 CRLF file with comments: only the written value changes.
    const std::string win =
        "; KEVO\r\n[Probe]\r\nWei\xDF (Probe 6)=1\r\n;Kommentar \xE4\r\nRot (Probe 10)=0\r\n";
    writeBytes(path, win);
    ASSERT_TRUE(ini::WritePrivateProfileString("Probe", "Weiß (Probe 6)", "3", path));
    EXPECT_EQ(readBytes(path),
              "; KEVO\r\n[Probe]\r\nWei\xDF (Probe 6)=3\r\n;Kommentar \xE4\r\nRot (Probe 10)=0\r\n");
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::owner_write, fs::perms::owner_write);
}

TEST(IniFiles, FailedWritesAreReportedAndLeaveNothingBehind) {
    TempDir t;
    writeBytes(t.file("plain"), "x");
    // A folder that is a regular file, a vanished folder, a directory in place of the file.
    EXPECT_FALSE(ini::WritePrivateProfileString("A", "b", "c", t.file("plain") + "/a.kvo"));
    EXPECT_FALSE(ini::WritePrivateProfileString("A", "b", "c", t.file("gone") + "/a.kvo"));
    fs::create_directory(t.file("dir.kvo"));
    EXPECT_FALSE(ini::WritePrivateProfileString("A", "b", "c", t.file("dir.kvo")));
    EXPECT_FALSE(ini::WritePrivateProfileString("A", "b", "c", ""));
    ini::IniFile f(t.file("plain") + "/x.ini");
    f.writeString("A", "b", "c");
    EXPECT_FALSE(f.updateFile());
    // No temporary file left over.
    std::size_t count = 0;
    for (auto& e : fs::directory_iterator(t.dir)) (void)e, ++count;
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(ini::GetPrivateProfileString("A", "b", "def", t.file("dir.kvo")), "def");

    // Neither a pipe nor a device is read (no hang, no endless read) or replaced.
    ASSERT_EQ(::mkfifo(t.file("pipe.kvo").c_str(), 0644), 0);
    EXPECT_EQ(ini::GetPrivateProfileString("A", "b", "def", t.file("pipe.kvo")), "def");
    EXPECT_FALSE(ini::WritePrivateProfileString("A", "b", "c", t.file("pipe.kvo")));
    EXPECT_EQ(ini::GetPrivateProfileString("A", "b", "def", "/dev/zero"), "def");
}

TEST(IniFiles, ReadOnlyFileOrFolderIsNotWritten) {
    // Read-only means no write bit, also for root (the tests run as root).
    TempDir t;
    const std::string file = t.file("ro.kvo");
    writeBytes(file, "[A]\nk=1\n");
    ::chmod(file.c_str(), 0444);
    EXPECT_FALSE(ini::WritePrivateProfileString("A", "k", "2", file));
    EXPECT_EQ(readBytes(file), "[A]\nk=1\n");

    fs::create_directory(t.file("ro"));
    const std::string inside = t.file("ro") + "/a.kvo";
    writeBytes(inside, "[A]\nk=1\n");
    ::chmod(t.file("ro").c_str(), 0555);
    EXPECT_FALSE(ini::WritePrivateProfileString("A", "k", "2", inside));
    EXPECT_FALSE(ini::WritePrivateProfileString("A", "k", "2", t.file("ro") + "/neu.kvo"));
    EXPECT_EQ(readBytes(inside), "[A]\nk=1\n");
    ::chmod(t.file("ro").c_str(), 0755);
}

TEST(IniFiles, WritesThroughSymlinkAndKeepsMode) {
    TempDir t;
    const std::string real = t.file("real.ini"), link = t.file("link.ini");
    writeBytes(real, "[A]\nk=1\n");
    ::chmod(real.c_str(), 0640);
    fs::create_symlink(real, link);
    ASSERT_TRUE(ini::WritePrivateProfileString("A", "k", "2", link));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(readBytes(real), "[A]\nk=2\n");
    struct stat st;
    ASSERT_EQ(::stat(real.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);

    // A save of several files writes all or none: a backup name that is another file of the
    // same save is refused before anything moves.
    writeBytes(t.file("b.ini"), "b");
    EXPECT_EQ(saveFiles({{real, "neu", t.file("b.ini")}, {t.file("b.ini"), "neu", ""}}).result,
              SaveResult::CannotCreate);
    EXPECT_EQ(readBytes(real) + readBytes(t.file("b.ini")), "[A]\nk=2\nb");
}

TEST(IniFiles, TenMegabyteFile) {
    TempDir t;
    const std::string path = t.file("big.kvo");
    std::string bytes;
    bytes.reserve(10u << 20);
    std::mt19937 rng(7);
    int n = 0;
    while (bytes.size() < (10u << 20)) {
        bytes += "[Sektion" + std::to_string(n % 997) + "]\r\nSchluessel" + std::to_string(n) + "=" +
                 std::to_string(rng()) + "\r\n";
        if (n % 50 == 0) bytes += std::string(200, static_cast<char>(0x80 | (n & 0x7F))) + "\r\n";
        ++n;
    }
    bytes += "[Monitor]\r\nAutosicherung=1\r\n";
    writeBytes(path, bytes);
    ini::IniFile f(path);
    EXPECT_TRUE(f.existed());
    EXPECT_EQ(f.readInteger("monitor", "autosicherung", 0), 1);
    EXPECT_NE(f.readString("sektion5", "SCHLUESSEL5", "fehlt"), "fehlt");
    f.writeInteger("Monitor", "Autosicherung", 0);
    ASSERT_TRUE(f.updateFile());
    std::string expected = bytes;
    expected.replace(expected.size() - 3, 1, "0");
    EXPECT_EQ(readBytes(path), expected);
}

TEST(IniDocument, NamesThatWouldNotReadBackAsThemselvesAreRefused) {
    const std::string text = "[S]\r\nk=1\r\n\r\n[X]\r\nx=2\r\n";
    const struct {
        const char *section, *key;
        bool written;
    } cases[] = {
        {"S", "[X]", false},  {"S", "[X", false},  {"S", "a=b", false}, {"S", ";k", false},
        {"S", "k\nx", false}, {"S", "k\r", false}, {"S\n", "k", false}, {"S\r\nT", "k", false},
        {"S", "k[X]", true},  {"a]b", "k", true},  {"[T]", "k", true},  {"S", "k;", true},
        {" S ", " k ", true}, {"S", "Weiß", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.section) + "/" + c.key);
        IniDocument doc = IniDocument::parse(text);
        EXPECT_EQ(doc.writeString(c.section, c.key, "v"), c.written);
        if (!c.written) {
            // Nothing is written, whatever the number of tries.
            EXPECT_FALSE(doc.writeString(c.section, c.key, "v"));
            EXPECT_EQ(doc.serialize(), text);
            continue;
        }
        const IniDocument back = IniDocument::parse(doc.serialize());
        EXPECT_EQ(back.readString(c.section, c.key, "-"), "v");
        EXPECT_EQ(back.readString("X", "x", "-"), "2");
        EXPECT_EQ(back.readString("S", "k", "-"), std::string(c.key) == " k " ? "v" : "1");
    }
    // The profile function reports a refused name.
    TempDir t;
    EXPECT_FALSE(ini::WritePrivateProfileString("S", "a=b", "v", t.file("p.ini")));
    EXPECT_FALSE(fs::exists(t.file("p.ini")));
}

TEST(IniFiles, FilesAboveSixteenMegabytesAreUnreadable) {
    TempDir t;
    const std::string path = t.file("huge.kvo");
    for (const std::uintmax_t size :
         {std::uintmax_t(ini::kMaxIniFileSize), std::uintmax_t(ini::kMaxIniFileSize + 1)}) {
        const bool readable = size <= ini::kMaxIniFileSize;
        SCOPED_TRACE(size);
        writeBytes(path, "[A]\nk=1\n");
        fs::resize_file(path, size);  // sparse: the rest reads as zero bytes
        EXPECT_EQ(ini::GetPrivateProfileString("A", "k", "def", path), readable ? "1" : "def");
        ini::IniDocument doc;
        EXPECT_EQ(ini::loadFile(path, doc), readable);
        // An unreadable file is never replaced.
        ini::IniFile f(path);
        f.writeString("A", "k", "2");
        EXPECT_EQ(f.updateFile(), readable);
        EXPECT_EQ(ini::GetPrivateProfileString("A", "k", "def", path), readable ? "2" : "def");
        EXPECT_EQ(fs::file_size(path), size);
    }
}
