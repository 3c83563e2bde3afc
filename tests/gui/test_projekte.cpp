// The project commands: New, Open, Save and Save as with their questions, the name checks,
// the replace and folder rules, on real files in a temporary program folder.
#include <sys/stat.h>
#include <unistd.h>

#include <QFileInfo>
#include <QScreen>

#include "inifile.h"
#include "mainwindow_fixture.h"
#include "projekte.h"

using namespace kevotest;
using namespace dialogs;

namespace {

KEVO_TEST_APPLICATION(KevoApplication);

bool exists(const std::string& p) {
    return QFileInfo::exists(q(p));
}

class ProjectsTest : public MainWindowTest {
  protected:
    std::string data;  // ProjectDir

    void start() {
        offlineStart();
        data = w->ProjectDir;
        ASSERT_TRUE(SaveProjectFile("", *w));  // the default project's settings
    }
    // A modified log of five pairs in the store and the trace.
    void record() {
        for (auto t : {telegram({0xA0, 0x00, 0x11}), telegram({0xA1, 0x3F})})
            for (size_t i = 0; i < t.size(); i += 2) captureStore()->AppendBusEvent(t[i], t[i + 1]);
        DecodeTrace(0);
        w->DocFlags |= DocLogModified;
    }
    void newProject(const std::string& name) {
        answers = {{mrOk, name}};
        w->miNewProjekt->trigger();
    }
};

TEST_F(ProjectsTest, NewSavesSilentlyThenAsksBecauseOfTheLogAndCreatesTheProject) {
    start();
    record();
    w->DocFlags |= DocProjectModified;
    ProjectSettings.MasterClockHz = 250000;  // auto-saved into the default project, read back
    w->LogPath = data + "old.i2p";
    w->UpdateFileCommands();
    ASSERT_TRUE(w->miSave->isEnabled());
    answers = {{mrNo, {}}, {mrOk, "alpha"}};
    w->TB_NewProjekt->trigger();
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[0].text, "Änderungen nicht gespeichert!  Dateien speichern?");
    EXPECT_EQ(asked[0].buttons, unsigned(mbYes | mbNo | mbCancel));
    EXPECT_EQ(asked[0].x, askedAt[0].x() + 150);
    EXPECT_EQ(asked[1].caption + "|" + asked[1].text, "Neues Projekt anlegen|Projektname: ");
    EXPECT_EQ(ProjectSettings.MasterClockHz, 250000);
    EXPECT_NE(readAll(data + "alpha.kvo").indexOf("KEVO Projekt V1.0"), -1);
    EXPECT_EQ(ProjectSettings.DataDir, data + "alpha/");
    EXPECT_TRUE(QFileInfo(q(data + "alpha")).isDir());
    EXPECT_EQ(traceText(), "");
    EXPECT_EQ(w->LogPath, "");  // the discarded log's name does not carry over
    EXPECT_FALSE(w->miSave->isEnabled());
    EXPECT_EQ(w->DocFlags, 0);
    EXPECT_FALSE(w->miSaveProj->isEnabled());
    EXPECT_EQ(panel(4), " Projekt: [alpha.kvo]");
}

TEST_F(ProjectsTest, NameQueryRefusesEmptyAndInvalidNamesAndCancelLeavesTheDefaultProject) {
    start();
    ProjectSettings.AutoSaveProject = 0;
    ProjectSettings.MasterClockHz = 123000;  // not saved: the default project's value comes back
    record();
    answers = {{mrNo, {}}, {mrOk, ""}, {mrOk, "a.b"}, {mrRetry, {}}, {mrOk, "a.b"}, {mrCancel, {}}};
    w->miNewProjekt->trigger();
    ASSERT_EQ(asked.size(), 6u);
    EXPECT_EQ(asked[2].value, "");
    EXPECT_EQ(asked[3].text,
              "Ungültige(s) Zeichen im Projektnamen.\n Nicht zulässig sind: \\ / : * ? \" < > |. ");
    EXPECT_EQ(asked[3].buttons, unsigned(mbRetry | mbCancel));
    EXPECT_EQ(asked[4].value, "a.b");  // Retry shows the name again
    EXPECT_EQ(ProjectSettings.MasterClockHz, 100000);
    EXPECT_EQ(traceText(), "");
    EXPECT_EQ(panel(4), "Projekt: [Default]");

    // A project directory that is gone: the error box, and still the default project.
    w->ProjectDir = dir + "gone/";
    asked.clear();
    newProject("p");
    EXPECT_EQ(messages().at(0).text, "Projektdatei konnte nicht geschrieben werden");
    EXPECT_EQ(panel(4), "Projekt: [Default]");
    // The next start must not look for the project file that was not written.
    EXPECT_EQ(ini::GetPrivateProfileString("Projekt", "Datei", "x", dir + "kevo.cfg"), "");
}

TEST_F(ProjectsTest, ReplaceDeletesOnlyPlainFilesOfTheLogFolder) {
    start();
    const std::string old = data + "beta/";
    QDir().mkpath(q(old + "sub"));
    QDir().mkpath(q(dir + "outside"));
    writeFile(data + "beta.kvo", "[Version]\r\nPC=alt\r\n");
    for (const char* f : {"I2CWatch.i2p", "I2CWatch.rtf", ".hidden", "readonly.i2p", "sub/x.i2p"})
        writeFile(old + f, "x");
    writeFile(dir + "outside/keep", "x");
    ::chmod((old + "readonly.i2p").c_str(), 0444);
    ASSERT_EQ(::symlink((dir + "outside/keep").c_str(), (old + "link").c_str()), 0);

    // No asks again, Cancel creates nothing.
    answers = {{mrOk, "beta"}, {mrNo, {}}, {mrOk, "beta"}, {mrCancel, {}}};
    w->miNewProjekt->trigger();
    ASSERT_EQ(asked.size(), 4u);
    EXPECT_EQ(asked[1].text, "Projekt existiert bereits!\nSoll es ersetzt werden?");
    EXPECT_EQ(asked[2].value, "beta");
    EXPECT_EQ(readAll(data + "beta.kvo"), "[Version]\r\nPC=alt\r\n");
    EXPECT_TRUE(exists(old + "I2CWatch.i2p"));
    EXPECT_EQ(w->ProjectPath, "");

    answers = {{mrOk, "beta"}, {mrYes, {}}};
    w->miNewProjekt->trigger();
    EXPECT_NE(readAll(data + "beta.kvo").indexOf("KEVO Projekt V1.0"), -1);
    EXPECT_TRUE(readAll(data + "beta.kvo").startsWith("[Forms]"));  // a fresh file, nothing of the old
    EXPECT_FALSE(exists(old + "I2CWatch.i2p") || exists(old + "I2CWatch.rtf"));
    for (const char* f : {".hidden", "readonly.i2p", "sub/x.i2p", "link"}) EXPECT_TRUE(exists(old + f)) << f;
    EXPECT_TRUE(exists(dir + "outside/keep"));
    EXPECT_EQ(ProjectSettings.DataDir, old);

    // A protected project file is neither replaced nor moved to its backup name; its logs stay.
    writeFile(old + "I2CWatch.i2p", "x");
    const QByteArray kept = readAll(data + "beta.kvo") + readAll(data + "beta.~kvo");
    ::chmod((data + "beta.kvo").c_str(), 0444);
    w->ProjectPath.clear();
    asked.clear();
    answers = {{mrOk, "beta"}, {mrYes, {}}};
    w->miNewProjekt->trigger();
    ::chmod((data + "beta.kvo").c_str(), 0644);
    EXPECT_EQ(messages().back().text, "Projektdatei konnte nicht geschrieben werden");
    EXPECT_EQ(readAll(data + "beta.kvo") + readAll(data + "beta.~kvo"), kept);
    EXPECT_TRUE(exists(old + "I2CWatch.i2p"));

    // A log folder that is a link to a folder is never followed, with or without its slash.
    ASSERT_EQ(::symlink((dir + "outside").c_str(), (data + "linked").c_str()), 0);
    for (const char* n : {"linked", "linked/"}) EXPECT_EQ(emptyLogFolder(data, n, "x.kvo"), 0) << n;
    EXPECT_TRUE(exists(dir + "outside/keep"));
}

TEST_F(ProjectsTest, EscOrAFailedLogSaveInTheQuestionsOfNewProjectActsAsCancel) {
    start();
    ProjectSettings.AutoSaveProject = 0;
    writeFile(data + "beta.kvo", "[Version]\r\nPC=alt\r\n");
    const struct {
        std::deque<Response> script;  // Esc closes the last box asked
        bool keepsLog;
    } cases[] = {
        {{{mrEscape, {}}}, true},                               // the save question
        {{{mrNo, {}}, {mrOk, "a.b"}, {mrEscape, {}}}, false},   // Retry/Cancel: the name is dropped
        {{{mrNo, {}}, {mrOk, "beta"}, {mrEscape, {}}}, false},  // replace: nothing is created
    };
    for (const auto& c : cases) {
        record();
        asked.clear();
        answers = c.script;
        w->miNewProjekt->trigger();
        EXPECT_EQ(asked.size(), c.script.size());  // each box closed at once, none asked again
        EXPECT_EQ(traceText().empty(), !c.keepsLog);
        EXPECT_EQ(w->ProjectPath, "");
        EXPECT_EQ(readAll(data + "beta.kvo"), "[Version]\r\nPC=alt\r\n");
    }

    // Yes, and the log cannot be saved: nothing is discarded unsaved.
    record();
    w->LogPath = dir + "gone/x.i2p";
    asked.clear();
    answers = {{mrYes, {}}};
    w->miNewProjekt->trigger();
    EXPECT_FALSE(traceText().empty());
    EXPECT_TRUE(w->DocFlags & DocLogModified);
    for (const auto& r : asked) EXPECT_NE(r.caption, "Neues Projekt anlegen");
}

TEST_F(ProjectsTest, OpenAsksOnlyForTheProjectAndClearsTheFlagsEvenOnCancel) {
    start();
    newProject("one");
    ProjectSettings.AutoSaveProject = 0;  // the new project took the default's setting
    const QSize size = w->size();
    ProjectSettings.MasterClockHz = 400000;
    w->resize(size.width() + 60, size.height() + 40);
    ASSERT_TRUE(waitFor([&] { return (w->DocFlags & DocProjectModified) != 0; }));
    w->miSaveProjClick();  // saves the new size and clock
    EXPECT_FALSE(w->miSaveProj->isEnabled());
    ProjectSettings.MasterClockHz = 100000;
    w->resize(size);
    ASSERT_TRUE(waitFor([&] { return (w->DocFlags & DocProjectModified) != 0; }));

    // Without automatic saving a modified project raises the save question; Cancel ends Open.
    asked.clear();
    answers = {{mrCancel, {}}};
    w->miOpenProj->trigger();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].text, SaveChangesQuestion);
    EXPECT_TRUE(w->DocFlags & DocProjectModified);

    // Only the log is modified: no question; Cancel in the file dialog still clears the flags,
    // and Save of the kept, unsaved log stays as it was.
    record();
    w->UpdateFileCommands();
    w->DocFlags &= ~DocProjectModified;
    asked.clear();
    w->miOpenProj->trigger();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].filter, "Parvelo/Monitor-Projekt|*.kvo");
    EXPECT_EQ(asked[0].initialDir, data);
    EXPECT_EQ(w->DocFlags, 0);
    EXPECT_NE(traceText().find("»A1 3F«"), std::string::npos);
    EXPECT_TRUE(w->miSave->isEnabled());

    // The stored size differs: the window follows it and the project counts as modified.
    answers = {{mrOk, data + "one.kvo"}};
    w->miOpenProj->trigger();
    EXPECT_EQ(ProjectSettings.MasterClockHz, 400000);
    EXPECT_TRUE(waitFor([&] { return panel(4) == " Projekt: *[one.kvo]" && w->miSaveProj->isEnabled(); }));

    // Automatic saving that fails asks about the changes; Cancel keeps the project.
    ProjectSettings.AutoSaveProject = 1;
    w->ProjectPath = dir + "gone/one.kvo";
    asked.clear();
    w->miOpenProj->trigger();
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[1].text, SaveChangesQuestion);
    EXPECT_TRUE(w->DocFlags & DocProjectModified);

    // A project file that names no log folder logs into the project directory; one whose
    // folder lacks its trailing "/" into that folder.
    ProjectSettings.AutoSaveProject = 0;
    w->DocFlags = 0;
    ASSERT_TRUE(ini::WritePrivateProfileString("Config", "Datenverzeichnis", "", data + "one.kvo"));
    answers = {{mrOk, data + "one.kvo"}};
    w->miOpenProj->trigger();
    EXPECT_EQ(ProjectSettings.DataDir, data);
    ASSERT_TRUE(
        ini::WritePrivateProfileString("Config", "Datenverzeichnis", data + "logs", data + "one.kvo"));
    answers = {{mrOk, data + "one.kvo"}};
    w->miOpenProj->trigger();
    EXPECT_EQ(ProjectSettings.DataDir, data + "logs/");

    // A stored size beyond the screen: the window stays within it.
    ASSERT_TRUE(ini::WritePrivateProfileString("Forms", "Width", "60000", data + "one.kvo"));
    ASSERT_TRUE(ini::WritePrivateProfileString("Forms", "Height", "60000", data + "one.kvo"));
    answers = {{mrOk, data + "one.kvo"}};
    w->miOpenProj->trigger();
    EXPECT_LE(w->width(), w->screen()->virtualGeometry().width());
    EXPECT_LE(w->height(), w->screen()->virtualGeometry().height());
}

TEST_F(ProjectsTest, SaveAsChoosesTheLogFolderAndSavesTheLogIntoIt) {
    start();
    newProject("own");
    record();
    ProjectSettings.LogAutoSave = 1;
    asked.clear();
    answers = {{mrOk, data + "own.kvo"}};
    w->miSaveProjAs->trigger();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].filter, "Parvelo/Analyzer-Projekt|*.kvo");
    EXPECT_EQ(asked[0].value, data + "own.kvo");

    // The folder of the project replaced is emptied and reused; the log goes into it.
    QDir().mkpath(q(data + "gamma"));
    writeFile(data + "gamma/old.i2p", "x");
    writeFile(data + "gamma.kvo", "x");
    w->DocFlags |= DocLogModified;
    answers = {{mrOk, data + "gamma.kvo"}};
    w->miSaveProjAs->trigger();
    EXPECT_EQ(w->ProjectPath, data + "gamma.kvo");
    EXPECT_FALSE(exists(data + "gamma/old.i2p"));
    EXPECT_EQ(readAll(data + "gamma/I2CWatch.i2p").size(), 10);
    EXPECT_EQ(w->DocFlags, 0);
    EXPECT_EQ(caption(), "KEVO - Parvelo/ -Monitor - [I2CWatch.i2p]");

    // A link whose file is gone (a share not mounted) counts as there: refused, link and logs kept.
    QDir().mkpath(q(data + "b"));
    writeFile(data + "b/old.i2p", "x");
    ASSERT_EQ(::symlink((dir + "share/b.kvo").c_str(), (data + "b.kvo").c_str()), 0);
    asked.clear();
    answers = {{mrOk, data + "b.kvo"}};
    w->miSaveProjAs->trigger();
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_EQ(messages()[0].text, "Projektdatei konnte nicht geschrieben werden");
    EXPECT_TRUE(exists(data + "b/old.i2p") && QFileInfo(q(data + "b.kvo")).isSymLink());
    EXPECT_EQ(w->ProjectPath, data + "gamma.kvo");
}

TEST_F(ProjectsTest, SaveAsEmptiesOnlyTheLogFolderOfTheProjectItReplaces) {
    start();
    newProject("own");
    // Projects v1, a, A (also as A.KVO), own and a.v2; nameless project files; a user's folder
    // with no project; a folder elsewhere; the program folder above.
    const std::vector<std::string> files = {"keep.txt",         "Data/v1.kvo",           "Data/v1/old.i2p",
                                            "Data/a.kvo",       "Data/a/old.i2p",        "Data/A.kvo",
                                            "Data/A.KVO",       "Data/A/old.i2p",        "Data/.kvo",
                                            "Data/..kvo",       "Data/...kvo",           "Data/own.kvo",
                                            "Data/own/old.i2p", "Data/Briefe/brief.odt", "elsewhere/mine.i2p",
                                            "Data/a.v2.kvo",    "Data/a.v2/old.i2p"};
    const struct {
        const char *chosen, *folder, *gone;  // the folder used; a file deleted
        const char* from = "Data/own/";      // the open project's log folder
        int replace = mrNone;                // the answer to the question for an extended name
    } rows[] = {{"Data/v1.2.kvo", "Data/v1.2/", ""},
                {"Data/a.v2", "Data/own/", "", "Data/own/", mrNo},
                {"Data/a.v2", "Data/a.v2/", "Data/a.v2/old.i2p", "Data/own/", mrYes},
                {"Data/own.kvo", "Data/own/", "", "elsewhere/"},  // its own file, a foreign log folder
                {"Data/own.kvo", "Data/own/", "", "Data/"},       // or an empty one
                {"Data/x..kvo", "Data/x./", ""},
                {"Data/.kvo", "Data/", ""},
                {"Data/..kvo", "Data/", ""},
                {"Data/...kvo", "Data/", ""},
                {"Data/A.KVO", "Data/A/", ""},
                {"elsewhere/p.kvo", "elsewhere/", ""},
                {"Data/own.kvo", "Data/own/", ""},
                {"Data/Briefe.kvo", "Data/Briefe/", ""},
                {"Data/v1.kvo", "Data/v1/", "Data/v1/old.i2p"}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.chosen);
        for (const std::string& f : files) QDir().mkpath(q(directoryOf(dir + f))), writeFile(dir + f, "x");
        w->ProjectPath = data + "own.kvo";
        ProjectSettings.DataDir = dir + r.from;
        answers = {{mrOk, dir + r.chosen}, {r.replace, {}}};
        asked.clear();
        w->miSaveProjAs->trigger();
        EXPECT_EQ(asked.size(), r.replace == mrNone ? 1u : 2u);
        if (r.replace != mrNone)
            EXPECT_EQ(asked.back().text, "a.v2.kvo ist bereits vorhanden.\nMöchten Sie sie ersetzen?");
        EXPECT_EQ(ProjectSettings.DataDir, dir + r.folder);
        EXPECT_TRUE(QFileInfo(q(dir + r.folder)).isDir());
        for (const std::string& f : files) EXPECT_EQ(exists(dir + f), f != r.gone) << f;
    }
}

}  // namespace
