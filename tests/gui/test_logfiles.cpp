// Log files: New, Open, Save and Save as with their prompts, the binary log and its RTF
// copy, backups, loading with the store's limits and broken files.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFileInfo>
#include <atomic>
#include <chrono>
#include <thread>

#include "dialogseam_qt.h"
#include "logfiles.h"
#include "mainwindow_fixture.h"
#include "numbertext.h"

using namespace kevotest;

namespace {

KEVO_TEST_APPLICATION(KevoApplication);

class LogFilesTest : public MainWindowTest {
  protected:
    // Puts pairs into the store as a recording would and marks the log modified.
    void record(const std::vector<uint8_t>& pairs) {
        CaptureStore* s = captureStore();
        for (size_t i = 0; i + 1 < pairs.size(); i += 2) s->AppendBusEvent(pairs[i], pairs[i + 1]);
        InitTraceAttributes(true);
        DecodeTrace(0);
        w->DocFlags |= DocLogModified;
        w->UpdateFileCommands();
        w->UpdateStatus();
    }
    static std::vector<uint8_t> sample() {
        std::vector<uint8_t> p = telegram({0xA0, 0x00, 0x11});
        for (auto t : {telegram({0xA1, 0x3F, 0x40}), telegram({0x42, 0x7F})})
            p.insert(p.end(), t.begin(), t.end());
        return p;
    }
    static QByteArray bytes(const std::vector<uint8_t>& v) {
        return QByteArray(reinterpret_cast<const char*>(v.data()), int(v.size()));
    }
    std::string dataDir() const { return ProjectSettings.DataDir; }
};

TEST_F(LogFilesTest, SaveWithoutNameWritesTheDefaultPairAndKeepsTheOlderAsBackup) {
    offlineStart();
    record(sample());
    ASSERT_TRUE(w->miSave->isEnabled());
    w->miSave->trigger();
    const std::string log = dataDir() + "I2CWatch.i2p";
    const std::string rtf = dataDir() + "I2CWatch.rtf";
    EXPECT_EQ(readAll(log), bytes(sample()));
    const QByteArray firstRtf = readAll(rtf);
    EXPECT_TRUE(firstRtf.startsWith("{\\rtf1"));
    EXPECT_NE(firstRtf.indexOf("00001  "), -1);
    EXPECT_NE(firstRtf.indexOf("\\'bb"), -1);  // "»"
    EXPECT_NE(firstRtf.indexOf("3F 40"), -1);
    EXPECT_FALSE(w->DocFlags & DocLogModified);
    EXPECT_FALSE(w->miSave->isEnabled());
    EXPECT_FALSE(w->TB_Save->isEnabled());
    EXPECT_EQ(w->LogPath, "");
    EXPECT_TRUE(messages().empty());

    // Saving again moves the older pair to the backup names first.
    record(telegram({0xB0, 0x01}));
    w->miSave->trigger();
    EXPECT_EQ(readAll(dataDir() + "I2CWatch.~i2p"), bytes(sample()));
    EXPECT_EQ(readAll(dataDir() + "I2CWatch.~rtf"), firstRtf);
    EXPECT_EQ(readAll(log).size(), int(sample().size()) + 4);
}

TEST_F(LogFilesTest, SaveAsAddsTheExtensionAndNamesTheLog) {
    offlineStart();
    record(sample());
    answers = {{dialogs::mrOk, dir + "Data/sub/messung"}};
    QDir().mkpath(q(dir + "Data/sub"));
    w->miSaveAs->trigger();
    ASSERT_EQ(asked.size(), 1u);
    const dialogs::Request& r = asked[0];
    EXPECT_EQ(r.kind, dialogs::Kind::SaveFile);
    EXPECT_EQ(r.filter, "I²C Protokoll|*.I2P");
    EXPECT_EQ(r.defaultExt, "I2P");
    EXPECT_EQ(r.initialDir, dataDir());
    EXPECT_EQ(r.value, "");
    EXPECT_EQ(w->LogPath, dir + "Data/sub/messung.I2P");
    EXPECT_EQ(readAll(w->LogPath), bytes(sample()));
    EXPECT_TRUE(QFileInfo::exists(q(dir + "Data/sub/messung.rtf")));
    EXPECT_FALSE(w->DocFlags & DocLogModified);
    EXPECT_EQ(caption(), "KEVO - Parvelo/ -Monitor - [messung.I2P]");

    // Cancel changes nothing but the status.
    answers = {{dialogs::mrCancel, {}}};
    w->miSaveAs->trigger();
    EXPECT_EQ(asked.back().value, dir + "Data/sub/messung.I2P");  // preset to the log's name
    // The real dialog opens in the log's folder with its name, so OK saves it in place.
    const auto dlg = dialogs::makeFileDialog(asked.back());
    EXPECT_EQ(s8(dlg->directory().absolutePath()), dir + "Data/sub");
    EXPECT_EQ(s8(dlg->selectedFiles().value(0)), w->LogPath);
    EXPECT_EQ(w->LogPath, dir + "Data/sub/messung.I2P");
}

TEST_F(LogFilesTest, SaveAsKeepsTheChosenFileWhenADerivedNameWouldBeIt) {
    offlineStart();
    record(sample());
    // The chosen name, and a file of the user's beside it (kept, as the copy is, under another name).
    for (const auto& [name, beside] :
         {std::pair<std::string, std::string>{"x.rtf", ""}, {"a.~rtf", "a.rtf"}, {"a.~rtf", "a.rtf"}}) {
        SCOPED_TRACE(name);
        if (!beside.empty()) writeFile(dataDir() + beside, "alt");
        answers = {{dialogs::mrOk, dataDir() + name}};
        asked.clear();
        w->miSaveAs->trigger();
        EXPECT_TRUE(messages().empty());  // the last time with a.~rtf and a.rtf both there
        EXPECT_EQ(readAll(dataDir() + name), bytes(sample()));
        QStringList heads;
        for (const QString& f : QDir(q(dataDir())).entryList(QDir::Files))
            heads += QString::fromLatin1(readAll(dataDir() + s8(f)).left(6));
        EXPECT_TRUE(heads.contains("{\\rtf1") && (beside.empty() || heads.contains("alt")))
            << s8(heads.join(' '));
    }
}

TEST_F(LogFilesTest, NewAsksAboutAnUnsavedLog) {
    offlineStart();
    record(sample());

    answers = {{dialogs::mrEscape, {}}};  // as Cancel: stop here
    w->miNew->trigger();
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_EQ(messages()[0].text, "Änderungen nicht gespeichert!  Dateien speichern?");
    EXPECT_EQ(messages()[0].buttons, unsigned(dialogs::mbYes | dialogs::mbNo | dialogs::mbCancel));
    EXPECT_EQ(messages()[0].x, -1);  // centred
    EXPECT_EQ(captureStore()->BytesUsed.load(), int(sample().size()));

    answers = {{dialogs::mrYes, {}}};
    w->miNew->trigger();
    EXPECT_EQ(readAll(dataDir() + "I2CWatch.i2p"), bytes(sample()));
    EXPECT_EQ(captureStore()->BytesUsed.load(), 0);
    EXPECT_EQ(traceText(), "");
    EXPECT_EQ(w->DocFlags & DocLogBits, 0);
    EXPECT_FALSE(w->miNew->isEnabled());
    EXPECT_FALSE(w->miSaveAs->isEnabled());

    record(sample());
    answers = {{dialogs::mrNo, {}}};
    w->miNew->trigger();
    EXPECT_EQ(captureStore()->BytesUsed.load(), 0);
    EXPECT_FALSE(QFileInfo::exists(q(dataDir() + "I2CWatch.~i2p")));  // nothing saved this time
}

TEST_F(LogFilesTest, OpenLoadsTheSameNumberedLinesAsTheLiveTrace) {
    offlineStart();
    record(sample());
    const std::string live = traceText();
    answers = {{dialogs::mrOk, dir + "Data/probe.i2p"}};
    w->miSaveAs->trigger();

    // Open while unsaved data are there: the prompt at the window, then the file dialog.
    record(telegram({0x10, 0x20}));
    asked.clear();
    answers = {{dialogs::mrNo, {}}, {dialogs::mrOk, dir + "Data/probe.i2p"}};
    w->miOpen->trigger();
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[0].text,
              "Das aktuelle Messprotokoll wurde nicht gesichert!\nSoll es jetzt gespeichert werden?");
    EXPECT_EQ(asked[0].x, w->x() + 150);
    EXPECT_EQ(asked[0].y, w->y() + 150);
    EXPECT_EQ(asked[1].kind, dialogs::Kind::OpenFile);
    EXPECT_EQ(asked[1].filter, "I²C Protokoll|*.I2P");
    EXPECT_EQ(asked[1].defaultExt, "I2P");
    EXPECT_EQ(asked[1].initialDir, dataDir());

    const std::string path = dir + "Data/probe.i2p";
    EXPECT_EQ(w->LogPath, path);
    EXPECT_EQ(w->DocFlags, DocLogLoaded);
    EXPECT_EQ(captureStore()->IndexCount.load(), 4);
    const std::string text = traceText();
    const std::string head = "I²C-Analyzer Protokolldatei: " + path + "\n" + std::string(70, '-') + "\n";
    EXPECT_EQ(text.rfind(head, 0), 0u) << text;
    // The same numbered lines as the live trace showed.
    EXPECT_EQ(text.substr(head.size()), live.substr(live.find("00000")));
    EXPECT_NE(text.find("00000  »A0 00 11«\n00001  »A1 3F 40«\n00002  »42 7F«"), std::string::npos) << text;
    EXPECT_TRUE(w->miNew->isEnabled());
    EXPECT_FALSE(w->miSave->isEnabled());
    EXPECT_EQ(caption(), "KEVO - Parvelo/ -Monitor - [probe.i2p]");
}

TEST_F(LogFilesTest, OpenCancelledStillClearsTheDocumentFlags) {
    offlineStart();
    record(sample());
    w->DocFlags |= DocProjectModified;
    // Esc in the question stops the command.
    answers = {{dialogs::mrEscape, {}}};
    w->miOpen->trigger();
    EXPECT_EQ(asked.size(), 1u);
    EXPECT_EQ(w->DocFlags, DocLogModified | DocProjectModified);

    answers = {{dialogs::mrNo, {}}, {dialogs::mrCancel, {}}};
    w->miOpen->trigger();
    EXPECT_EQ(w->DocFlags, 0);
    EXPECT_EQ(captureStore()->BytesUsed.load(), int(sample().size()));  // the log stays
    EXPECT_EQ(w->LogPath, "");
}

TEST_F(LogFilesTest, MissingFileGivesTheMessageAndAnEmptyStore) {
    offlineStart();
    record(sample());
    w->DocFlags = 0;
    const std::string path = dir + "nicht-da.i2p";
    answers = {{dialogs::mrOk, path}, {dialogs::mrCancel, {}}};
    w->miOpen->trigger();
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_EQ(messages()[0].text, path + " konnte nicht geöffnet werden.");
    EXPECT_EQ(messages()[0].type, dialogs::MsgType::Error);
    EXPECT_EQ(captureStore()->BytesUsed.load(), 0);
    EXPECT_EQ(traceText(), "");
    EXPECT_EQ(w->LogPath, path);
    EXPECT_TRUE(w->DocFlags & DocLogLoaded);

    // A named pipe is refused without being opened: opening it would wait for a writer. A
    // writer can open it only while a reader has it open, and releases a waiting reader.
    const std::string pipe = dir + "pipe.i2p";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0644), 0);
    std::atomic<bool> loaded{false}, opened{false};
    std::thread writer([&] {
        while (!loaded && !opened) {
            const int fd = ::open(pipe.c_str(), O_WRONLY | O_NONBLOCK);
            opened = fd >= 0;
            if (fd >= 0) ::close(fd);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    asked.clear();
    w->LoadProtokoll(pipe);
    loaded = true;
    writer.join();
    EXPECT_FALSE(opened);
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_EQ(messages()[0].text, pipe + " konnte nicht geöffnet werden.");
}

TEST_F(LogFilesTest, OddLengthDropsTheLastStatusByte) {
    offlineStart();
    QByteArray data = bytes(sample());
    data.append(char(StatusStart | StatusNoError));  // a status without its data byte
    writeFile(dir + "odd.i2p", data);
    w->LoadProtokoll(dir + "odd.i2p");
    EXPECT_EQ(captureStore()->BytesUsed.load(), data.size() - 1);
    EXPECT_EQ(captureStore()->IndexCount.load(), 4);
    const std::string text = traceText();
    EXPECT_NE(text.find("00002  »42 7F«"), std::string::npos);
    EXPECT_EQ(text.find("00003"), std::string::npos);
}

TEST_F(LogFilesTest, OversizedLogsAreReadOnlyUpToTheStoreLimits) {
    offlineStart();
    // Larger than the buffer: the first 1,600,000 bytes (telegrams of 17 pairs, so that the
    // index does not fill first).
    QByteArray big;
    big.reserve(CaptureBufferSize + 64);
    for (int i = 0; big.size() < CaptureBufferSize + 64; ++i) {
        const bool start = (i % 17) == 0;
        big.append(char(StatusNoError | StatusNoStop | (start ? StatusStart : 0)));
        big.append(char(i & 0xFF));
    }
    writeFile(dir + "big.i2p", big);
    ASSERT_TRUE(readBinaryLog(dir + "big.i2p", *captureStore()));
    EXPECT_EQ(captureStore()->BytesUsed.load(), CaptureBufferSize);

    // More telegram starts than the index holds: the log ends before the 50,000th.
    captureStore()->reset();
    QByteArray many;
    for (int i = 0; i < TelegramIndexSize + 10; ++i) {
        many.append(char(StatusStart | StatusNoError));
        many.append(char(0xA0));
    }
    writeFile(dir + "many.i2p", many);
    w->LoadProtokoll(dir + "many.i2p");
    EXPECT_EQ(captureStore()->BytesUsed.load(), (TelegramIndexSize - 1) * 2);
    EXPECT_EQ(captureStore()->IndexCount.load(), TelegramIndexSize);
    EXPECT_TRUE(messages().empty());
    const std::string text = traceText();
    EXPECT_NE(text.find("49998  »A0"), std::string::npos);
    EXPECT_EQ(text.find("49999  "), std::string::npos);
}

TEST_F(LogFilesTest, SavingIntoAFolderThatCannotBeWrittenReportsAndKeepsTheLogUnsaved) {
    offlineStart();
    record(sample());
    ProjectSettings.DataDir = dir + "fehlt/";  // the log folder does not exist
    w->miSave->trigger();
    const auto boxes = messages();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text, "Binäre Protokolldatei konnte nicht geöffnet werden");
    EXPECT_EQ(boxes[0].buttons, unsigned(dialogs::mbCancel));
    EXPECT_EQ(boxes[1].text, "Unbekannter Systemfehler!\nProtokolldateien konnten nicht gespeichert werden.");
    // Nothing was written, so the log still counts as unsaved.
    EXPECT_TRUE(w->DocFlags & DocLogModified);
    EXPECT_TRUE(w->miSave->isEnabled());
    EXPECT_NE(caption().find("*["), std::string::npos);

    // New and Open with "save first" keep the log when it could not be saved.
    answers = {{dialogs::mrYes, {}}};
    w->miNew->trigger();
    EXPECT_EQ(captureStore()->BytesUsed.load(), int(sample().size()));
    answers = {{dialogs::mrYes, {}}};
    w->miOpen->trigger();
    EXPECT_EQ(captureStore()->BytesUsed.load(), int(sample().size()));
    EXPECT_TRUE(w->DocFlags & DocLogModified);
    EXPECT_NE(traceText().find("00002  »42 7F«"), std::string::npos);
    EXPECT_EQ(asked.back().kind, dialogs::Kind::Message);  // no file dialog came up
}

TEST_F(LogFilesTest, FileNameHelpers) {
    EXPECT_EQ(rtfPathOf("/a/b/run.i2p"), "/a/b/run.rtf");
    EXPECT_EQ(rtfPathOf("/a/b.d/run"), "/a/b.d/run.rtf");
    EXPECT_EQ(rtfPathOf("/a/run.x.I2P"), "/a/run.x.rtf");
    EXPECT_EQ(withDefaultExtension("/a/b.d/run", "I2P"), "/a/b.d/run.I2P");
    EXPECT_EQ(withDefaultExtension("/a/run.i2p", "I2P"), "/a/run.i2p");
}

}  // namespace
