// Faults the program survives, with the real windows, the simulator on a pty and real files:
// the adapter vanishes during a recording, a memory read and a scan; the disk fills while a
// log, a memory image or a project is saved; the project folder is read-only or deleted.
#include <signal.h>
#include <sys/resource.h>

#include <QListWidget>
#include <QProgressBar>
#include <QSignalSpy>
#include <filesystem>
#include <map>
#include <optional>

#include "accessdenied.h"
#include "binzieldlg.h"
#include "bustelegrams.h"
#include "capturestore.h"
#include "configfile.h"
#include "docflags.h"
#include "inifile.h"
#include "memorylogic.h"
#include "memorytool.h"
#include "numbertext.h"
#include "projekte.h"
#include "tools_fixture.h"
#include "wait.h"

KEVO_TEST_APPLICATION(KevoApplication);

namespace kevotest {
namespace {

namespace fs = std::filesystem;

const char* const kLinkFailed = "Datenübertragung fehlgeschlagen!\nVerbindung prüfen.";
const char* const kLogFailed =
    "Unbekannter Systemfehler!\nProtokolldateien konnten nicht gespeichert werden.";
const char* const kLogNotCreated = "Binäre Protokolldatei konnte nicht geöffnet werden";
const char* const kImageFailed = "Unbekannter Systemfehler!\nDateie konnte nicht gespeichert werden.";
const char* const kImageNotCreated = "Binärdatei konnte nicht geöffnet werden";
const char* const kProjectFailed = "Projektdatei konnte nicht geschrieben werden";

// A full disk: no file of this process may grow beyond `bytes` while the object lives; the
// write that would cross the limit fails with EFBIG instead of raising SIGXFSZ.
class DiskFull {
  public:
    explicit DiskFull(rlim_t bytes) {
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        ::sigaction(SIGXFSZ, &ignore, &oldAction_);
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        struct rlimit small = saved_;
        small.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &small);
    }
    ~DiskFull() {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        ::sigaction(SIGXFSZ, &oldAction_, nullptr);
    }

  private:
    struct rlimit saved_ {};
    struct sigaction oldAction_ {};
};

class FaultTest : public ToolWindowTest {
  protected:
    TF_MemoryTool* m = nullptr;
    std::string folder;  // project folder, log folder and memory image folder at once

    void TearDown() override {
        if (!folder.empty()) ::chmod(folder.c_str(), 0755);
        ToolWindowTest::TearDown();
        F_MemoryTool = nullptr;
        F_BinZielDlg = nullptr;
    }

    // The windows of the program against the simulator, a named project in `folder`.
    void start() {
        ASSERT_NO_FATAL_FAILURE(startSim());
        sim->addDevice(0xA0, {rafusim::DeviceKind::Eeprom, 256, 8, 1, 0xFF});
        sim->addDevice(0xA2, {rafusim::DeviceKind::Ram, 256, 1, 1, 0x00});
        writeConfig("COM1", kLinkedBaud);
        ProjectSettings.ProbeMaster = 1;
        create();
        F_ScanTool = new TF_ScanTool(w);
        w->setToolWindow(ProjectFileHost::ScanForm, F_ScanTool);
        F_Fortschritt = new TF_Fortschritt(w);
        F_MemoryTool = m = new TF_MemoryTool(w);
        w->setToolWindow(ProjectFileHost::MemoryForm, m);
        F_BinZielDlg = new TF_BinZielDlg(w);
        ASSERT_NO_FATAL_FAILURE(showWindow());
        ASSERT_FALSE(OfflineMode);
        folder = dir + "Data/";
        fs::create_directories(folder);
        w->ProjectDir = folder;
        w->ProjectPath = folder + "p.kvo";
        ProjectSettings.DataDir = folder;
        ProjectSettings.MemBytes = 256;
        w->TB_MemToolClick();
        ASSERT_TRUE(m->isVisible());
        m->MemLastDir = folder;
        sim->clearLog();
        asked.clear();
    }

    // The adapter goes at the telegram that `when` picks: the simulator ends before answering.
    void vanishAt(std::function<bool(const std::string&)> when) {
        sim->setReplyHandler([this, when](const std::string& t) -> std::optional<std::string> {
            if (when(t)) sim->vanish();
            return std::nullopt;
        });
    }
    // The adapter is back (same port, same devices).
    void comeBack() {
        sim->setReplyHandler({});
        ASSERT_TRUE(sim->start()) << sim->lastError();
        sim->setCaptureIdle();
    }

    std::vector<std::string> messageTexts() const {
        std::vector<std::string> out;
        for (const auto& r : messages()) out.push_back(r.text);
        return out;
    }

    // Something of every kind to save, each larger than DiskFull(300) has room for.
    void fillEverything() {
        std::vector<uint8_t> pairs;
        for (int i = 0; i < 400; ++i) {
            const auto t = telegram({0xA0, uint8_t(i), uint8_t(i >> 8)});
            pairs.insert(pairs.end(), t.begin(), t.end());
        }
        writeFile(folder + "big.I2P",
                  QByteArray(reinterpret_cast<const char*>(pairs.data()), int(pairs.size())));
        w->LoadProtokoll(folder + "big.I2P");
        ASSERT_EQ(captureStore()->BytesUsed.load(), int(pairs.size()));
        w->LogPath = folder + "x.I2P";
        ProjectSettings.MemBytes = 1024;  // a 1 KiB device
        m->MemData.assign(1024, 0x42);
        m->MemState.assign(1024, MemRead);
        ASSERT_TRUE(SaveProjectFile(w->ProjectPath, *w));
    }

    // What each save is, for the disk and folder faults.
    struct SaveCase {
        const char* what;
        std::string file;                // in the folder
        std::function<void()> run;       // the user's command
        std::vector<std::string> boxes;  // on a full disk
    };
    std::vector<SaveCase> saveCases() {
        return {
            {"log", "x.I2P", [this] { w->miSaveClick(); }, {kLogFailed}},
            {"memory image",
             "m.BIN",
             [this] {
                 answers.push_back({dialogs::mrOk, folder + "m.BIN"});
                 m->TB_WriteFileClick();
             },
             {kImageFailed}},
            {"project", "p.kvo", [this] { w->miSaveProjClick(); }, {kProjectFailed}},
        };
    }
};

TEST_F(FaultTest, AdapterVanishesDuringARecording) {
    ASSERT_NO_FATAL_FAILURE(start());
    const auto pairs = telegram({0xA0, 0x00, 0x11});
    sim->setCaptureScript(pairs);
    w->miAnlStart->trigger();
    ASSERT_TRUE(waitFor([&] { return captureStore()->BytesUsed.load() == int(pairs.size()); }));
    sim->vanish();
    QTest::qWait(50);  // the capture thread polls a port that is gone
    w->miAnlStop->trigger();
    EXPECT_EQ(w->CaptureThread, nullptr);
    EXPECT_EQ(LinkOpenCount, 0);
    EXPECT_TRUE(messageTexts().empty());  // a lost stop telegram is not reported
    EXPECT_EQ(captureStore()->BytesUsed.load(), int(pairs.size()));
    EXPECT_NE(traceText().find("00000  »A0 00 11«\n"), std::string::npos) << traceText();
    EXPECT_NE(traceText().find(" - Aufzeichnung beendet! \n"), std::string::npos);
    EXPECT_TRUE(w->DocFlags & DocLogModified);

    // Back again: the next recording appends to the same log.
    ASSERT_NO_FATAL_FAILURE(comeBack());
    sim->setCaptureScript(pairs);
    w->miAnlStart->trigger();
    ASSERT_TRUE(waitFor([&] { return captureStore()->BytesUsed.load() == 2 * int(pairs.size()); }));
    w->miAnlStop->trigger();
    EXPECT_NE(traceText().find("00001  »A0 00 11«\n"), std::string::npos) << traceText();
    EXPECT_EQ(LinkOpenCount, 0);
    EXPECT_TRUE(messageTexts().empty());
}

TEST_F(FaultTest, AdapterVanishesDuringAMemoryRead) {
    ASSERT_NO_FATAL_FAILURE(start());
    std::vector<uint8_t> image(256);
    for (int i = 0; i < 256; ++i) image[size_t(i)] = uint8_t(i ^ 0x5A);
    sim->setMemory(0xA0, 0, image);
    int reads = 0;
    vanishAt([&reads](const std::string& t) { return t.rfind(",R", 0) == 0 && ++reads == 5; });
    m->TB_ReadDevice->trigger();
    EXPECT_EQ(messageTexts(), std::vector<std::string>{kLinkFailed});
    EXPECT_FALSE(F_Fortschritt->isVisible());
    EXPECT_EQ(LinkOpenCount, 0);
    // The four chunks that came are kept; the rest was never read.
    for (int i = 0; i < 256; ++i) {
        SCOPED_TRACE(i);
        ASSERT_EQ(m->MemState[size_t(i)], i < 64 ? MemRead : MemNeverRead);
        if (i < 64) {
            ASSERT_EQ(m->MemData[size_t(i)], image[size_t(i)]);
        }
    }

    ASSERT_NO_FATAL_FAILURE(comeBack());
    asked.clear();
    m->TB_ReadDevice->trigger();
    EXPECT_TRUE(messageTexts().empty());
    EXPECT_EQ(m->MemData, image);
    EXPECT_EQ(m->MemState, std::vector<uint8_t>(256, MemRead));
}

TEST_F(FaultTest, AdapterVanishesDuringAScan) {
    ASSERT_NO_FATAL_FAILURE(start());
    ProjectSettings.ScanFrom = 0xA0;
    ProjectSettings.ScanTo = 0xEE;  // tried address by address, a minute's freeze
    F_ScanTool->show();
    vanishAt([](const std::string& t) { return t == ",W00,A2,"; });
    QSignalSpy progress(F_Fortschritt->PB_Fortschritt, &QProgressBar::valueChanged);  // address by address
    const auto t0 = std::chrono::steady_clock::now();
    F_ScanTool->TB_ScanClick();
    EXPECT_LT(kevosupport::msSince(t0), 10000);
    // No address after the one where the adapter went was probed.
    ASSERT_FALSE(progress.isEmpty());
    EXPECT_EQ(progress.last().at(0).toInt(), ScanProgress(0xA2, 0xA0, ScanAddressCount(0xA0, 0xEE)));
    auto items = [] {
        std::vector<std::string> out;
        for (int i = 0; i < F_ScanTool->LB_DeviceList->count(); ++i)
            out.push_back(s8(F_ScanTool->LB_DeviceList->item(i)->text()));
        return out;
    };
    EXPECT_EQ(items(), std::vector<std::string>{"0xA0"});  // the find before the loss stays
    EXPECT_EQ(messageTexts(), std::vector<std::string>{kLinkFailed});
    EXPECT_FALSE(F_Fortschritt->isVisible());
    EXPECT_EQ(LinkOpenCount, 0);

    ASSERT_NO_FATAL_FAILURE(comeBack());
    F_ScanTool->TB_ScanClick();
    EXPECT_EQ(items(), (std::vector<std::string>{"0xA0", "0xA0", "0xA2"}));
    EXPECT_EQ(LinkOpenCount, 0);
}

TEST_F(FaultTest, DiskFullKeepsTheOlderFileAndReportsTheFailure) {
    ASSERT_NO_FATAL_FAILURE(start());
    ASSERT_NO_FATAL_FAILURE(fillEverything());
    const QByteArray oldProject = readAll(w->ProjectPath);
    ASSERT_GT(oldProject.size(), 300);

    // Last, a small log whose binary file fits but whose rich-text copy does not.
    const auto small = telegram({0xA2, 0x01});
    writeFile(folder + "small.I2P",
              QByteArray(reinterpret_cast<const char*>(small.data()), int(small.size())));
    std::vector<SaveCase> cases = saveCases();
    cases.push_back({"log copy",
                     "x.rtf",
                     [this] {
                         w->LoadProtokoll(folder + "small.I2P");
                         w->miSaveClick();
                     },
                     {kLogFailed}});

    for (const SaveCase& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = folder + c.file;
        const std::string backup = BackupName(path);
        if (c.file != "p.kvo") writeFile(path, "old contents");
        const QByteArray old = readAll(path), oldLog = readAll(folder + "x.I2P");
        w->DocFlags |= DocLogModified | DocProjectModified;
        ProjectSettings.BusDevAddr = 0x20;  // the project differs from the saved one
        asked.clear();
        {
            DiskFull full(300);
            c.run();
        }
        EXPECT_EQ(messageTexts(), c.boxes);
        EXPECT_TRUE(readAll(path) == old || readAll(backup) == old) << "the older file is lost";
        EXPECT_EQ(readAll(path), old) << "a half-written file under the name";
        EXPECT_EQ(readAll(folder + "x.I2P"), oldLog) << "the log saved without its copy";
        // Nothing counts as saved.
        if (c.file[0] == 'x') {
            EXPECT_TRUE(w->DocFlags & DocLogModified);
        }
        if (c.file == "p.kvo") {
            EXPECT_TRUE(w->DocFlags & DocProjectModified);
        }

        // A folder or a link (to the file itself) at the backup name, or an older backup when the
        // file itself is gone: none of them is moved, removed or put in the file's place.
        for (const fs::file_type at :
             {fs::file_type::directory, fs::file_type::symlink, fs::file_type::regular}) {
            const bool stale = at == fs::file_type::regular;
            fs::remove_all(backup);
            if (stale) fs::rename(path, backup);
            if (at == fs::file_type::symlink) fs::create_symlink(path, backup);
            if (at == fs::file_type::directory) fs::create_directories(backup + "/inhalt");
            asked.clear();
            {
                DiskFull full(300);
                c.run();
            }
            EXPECT_EQ(messageTexts(), c.boxes);
            EXPECT_EQ(readAll(stale ? backup : path), old) << int(at);
            EXPECT_EQ(fs::exists(path), !stale);
            EXPECT_EQ(fs::symlink_status(backup).type(), at);
            if (stale) fs::rename(backup, path);
        }
        fs::remove_all(backup);

        // With room again the same command saves the whole file.
        asked.clear();
        c.run();
        EXPECT_TRUE(messageTexts().empty());
        EXPECT_GT(readAll(path).size(), 300);
        EXPECT_EQ(readAll(backup), old);
    }
    EXPECT_EQ(readAll(folder + "x.I2P").size(), int(small.size()));
    EXPECT_EQ(readAll(folder + "m.BIN"), QByteArray(1024, 0x42));
}

TEST_F(FaultTest, ReadOnlyOrDeletedProjectFolder) {
    ASSERT_NO_FATAL_FAILURE(start());
    w->LogPath = folder + "x.I2P";
    ASSERT_TRUE(SaveProjectFile(w->ProjectPath, *w));
    const QByteArray project = readAll(w->ProjectPath);
    // Every save of a new file fails; the first box says why, the log adds its copy's failure.
    const std::map<std::string, std::vector<std::string>> boxes = {
        {"log", {kLogNotCreated, kLogFailed}},
        {"memory image", {kImageNotCreated}},
        {"project", {kProjectFailed}},
    };
    for (bool deleted : {false, true}) {
        for (const SaveCase& c : saveCases()) {
            SCOPED_TRACE(std::string(c.what) + (deleted ? " (folder deleted)" : " (folder read-only)"));
            for (const std::string& f : {c.file, std::string("x.rtf")}) {
                fs::remove(folder + f);
                fs::remove(BackupName(folder + f));
            }
            writeFile(folder + c.file, c.file == "p.kvo" ? project : QByteArray("old contents"));
            w->DocFlags |= DocLogModified | DocProjectModified;
            asked.clear();
            {
                std::optional<kevosupport::DeviceAccessDenied> readOnly;
                if (deleted)
                    fs::remove_all(folder);
                else
                    readOnly.emplace(folder, 0555);
                c.run();
            }
            EXPECT_EQ(messageTexts(), boxes.at(c.what));
            if (deleted) {
                EXPECT_FALSE(fs::exists(folder)) << "the program made the folder again";
                fs::create_directories(folder);
            } else {
                EXPECT_EQ(readAll(folder + "p.kvo"), project);
                EXPECT_EQ(readAll(folder + c.file), c.file == "p.kvo" ? project : "old contents");
            }
            if (c.file == "x.I2P") {
                EXPECT_TRUE(w->DocFlags & DocLogModified);
            }
            if (c.file == "p.kvo") {
                EXPECT_TRUE(w->DocFlags & DocProjectModified);
            }
            // The folder usable again: the command works.
            asked.clear();
            c.run();
            EXPECT_TRUE(messageTexts().empty());
            EXPECT_TRUE(fs::exists(folder + c.file));
        }
    }
}

TEST_F(FaultTest, LinksAndProtectedFilesAtTheTargetOrTheBackupName) {
    ASSERT_NO_FATAL_FAILURE(start());
    ASSERT_NO_FATAL_FAILURE(fillEverything());
    const std::map<std::string, std::vector<std::string>> refused = {{"log", {kLogNotCreated, kLogFailed}},
                                                                     {"memory image", {kImageNotCreated}},
                                                                     {"project", {kProjectFailed}}};
    const std::string other = folder + "other.dat", otherBackup = folder + "other.~dat";
    for (const SaveCase& c : saveCases()) {
        SCOPED_TRACE(c.what);
        const std::string path = folder + c.file, backup = BackupName(path);
        auto run = [&](bool full) {
            w->DocFlags |= DocLogModified | DocProjectModified;
            asked.clear();
            std::optional<DiskFull> disk;
            if (full) disk.emplace(300);
            c.run();
            return messageTexts();
        };
        // Through a link: a full disk leaves the file it names as it was; with room the save
        // replaces that file, its backup beside it, and the link stays.
        fs::remove(path), fs::remove(backup), fs::remove(otherBackup);
        writeFile(other, "old contents");
        fs::create_symlink(other, path);
        EXPECT_EQ(run(true), c.boxes);
        EXPECT_EQ(readAll(other), "old contents");
        EXPECT_TRUE(run(false).empty());
        EXPECT_TRUE(fs::is_symlink(path) && readAll(other).size() > 300);
        EXPECT_EQ(readAll(otherBackup), "old contents");

        // A link or a protected file at the backup name stays; the backup takes the next name.
        for (bool link : {true, false}) {
            fs::remove(path), fs::remove(backup), fs::remove(BackupName(backup));
            writeFile(path, "old contents");
            writeFile(other, "other");
            if (link) {
                fs::create_symlink(other, backup);
            } else {
                writeFile(backup, "protected");
                ::chmod(backup.c_str(), 0444);
            }
            EXPECT_TRUE(run(false).empty());
            EXPECT_EQ(readAll(backup), link ? "other" : "protected");
            EXPECT_EQ(fs::is_symlink(backup), link);
            EXPECT_EQ(readAll(BackupName(backup)), "old contents");
        }

        // A protected file is neither replaced nor moved, and nothing counts as saved.
        fs::remove(backup), fs::remove(BackupName(backup));
        writeFile(path, "old contents");
        ::chmod(path.c_str(), 0444);
        EXPECT_EQ(run(false), refused.at(c.what));
        ::chmod(path.c_str(), 0644);
        EXPECT_EQ(readAll(path), "old contents");
        EXPECT_FALSE(fs::exists(backup));
        EXPECT_TRUE(w->DocFlags & (c.file == "p.kvo" ? DocProjectModified : DocLogModified));
    }
}

TEST_F(FaultTest, FailedSaveAsKeepsTheProjectAndOpenAsksOnlyForChanges) {
    ASSERT_NO_FATAL_FAILURE(start());
    ASSERT_TRUE(SaveProjectFile(w->ProjectPath, *w));
    ProjectSettings.AutoSaveProject = 1;
    fs::create_directories(folder + "q");
    writeFile(folder + "q/old.i2p", "x");  // the logs of project q, which Save as would replace
    writeFile(folder + "q.kvo", "x");
    for (bool full : {true, false}) {
        SCOPED_TRACE(full ? "disk full" : "folder read-only");
        std::optional<DiskFull> disk;
        std::optional<kevosupport::DeviceAccessDenied> readOnly;
        full ? void(disk.emplace(300)) : void(readOnly.emplace(folder, 0555));
        w->ProjectPath = folder + "p.kvo";  // the New below went to the default project
        w->DocFlags = 0;
        asked.clear();
        answers = {{dialogs::mrOk, folder + "q.kvo"}};
        w->miSaveProjAsClick();
        EXPECT_EQ(messageTexts(), std::vector<std::string>{kProjectFailed});
        EXPECT_EQ(w->ProjectPath + "|" + ProjectSettings.DataDir, folder + "p.kvo|" + folder);
        EXPECT_EQ(ini::GetPrivateProfileString("Projekt", "Datei", "", dir + "kevo.cfg"), folder + "p.kvo");
        EXPECT_TRUE(fs::exists(folder + "q/old.i2p") && w->miSaveProj->isEnabled());
        EXPECT_EQ(panel(4), " Projekt: *[p.kvo]");
        // Open goes on after the box, or asks (Cancel ends Open) when the project holds changes.
        for (bool modified : {false, true}) {
            w->DocFlags = modified ? DocProjectModified : 0;
            asked.clear();
            w->miOpenProjClick();
            EXPECT_EQ(asked.at(0).text, kProjectFailed);
            EXPECT_EQ(asked.at(1).kind, modified ? dialogs::Kind::Message : dialogs::Kind::OpenFile);
        }
        // New over q keeps q's file and logs when its own file cannot be written.
        w->DocFlags = 0;
        asked.clear();
        answers = {{dialogs::mrCancel, {}}, {dialogs::mrOk, "q"}, {dialogs::mrYes, {}}};
        w->miNewProjektClick();
        EXPECT_EQ(messageTexts(),
                  (std::vector<std::string>{kProjectFailed, ProjectExistsQuestion, kProjectFailed}));
        EXPECT_TRUE(readAll(folder + "q.kvo") == "x" && fs::exists(folder + "q/old.i2p"));
    }
}

}  // namespace
}  // namespace kevotest
