// The dialog seam's real dialogs: what Esc and the close button give in a message box, where
// a file dialog starts, which files its filters list and which typed names Open accepts.
#include <QApplication>
#include <QFile>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "dialogseam_qt.h"
#include "qtapp.h"

// Readable failures for Qt strings.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
inline void PrintTo(const QStringList& l, std::ostream* os) {
    PrintTo(l.join(", "), os);
}
QT_END_NAMESPACE

namespace {

KEVO_TEST_APPLICATION(QApplication);

using namespace dialogs;

struct SeamTest : ::testing::Test {
    std::vector<Request> asked;
    std::vector<int> script;  // the responder's answers in turn; then Cancel
    QTemporaryDir tmp;
    QString dir;

    void SetUp() override {
        ASSERT_TRUE(tmp.isValid());
        dir = tmp.path();
        setResponder([this](const Request& r) {
            asked.push_back(r);
            const int a = asked.size() <= script.size() ? script[asked.size() - 1] : int(mrCancel);
            return Response{a, {}};
        });
    }
    void TearDown() override { setResponder({}); }

    // What the real box of a request gives for Esc or its close button; mrNone: it stays open.
    static int realBoxEscape(const Request& r, bool closeButton) {
        const std::unique_ptr<QMessageBox> box = makeMessageBox(r);
        box->show();
        if (closeButton)
            box->close();
        else
            QTest::keyClick(box.get(), Qt::Key_Escape);
        return box->isVisible() ? int(mrNone) : messageBoxResult(*box);
    }
    void touch(const QString& path) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
};

TEST_F(SeamTest, EscAndTheCloseButtonGiveTheEscapeResult) {
    const struct {
        unsigned buttons;
        int escape;  // as the caller names it
        int expected;
    } cases[] = {
        {mbYes | mbNo | mbCancel, mrNone, mrCancel},
        {mbYes | mbCancel, mrCancel, mrCancel},
        {mbYes | mbNo, mrNone, mrNo},
        {mbOK | mbRetry | mbIgnore, mrOk, mrOk},
        {mbRetry | mbCancel, mrNone, mrCancel},
        {mbRetry | mbIgnore, mrRetry, mrRetry},
        {mbRetry | mbIgnore, mrNone, mrNone},  // no escape: the box stays
        {mbOK, mrNone, mrOk},
    };
    for (const auto& c : cases) {
        asked.clear();
        script = {mrEscape, mrIgnore};
        const int result = messageDlgPos("Frage", MsgType::Warning, c.buttons, 10, 20, c.escape);
        ASSERT_FALSE(asked.empty());
        const Request r = asked[0];
        // A scripted Esc gives what the real box gives; a box without escape is asked again.
        EXPECT_EQ(result, c.expected == mrNone ? int(mrIgnore) : c.expected) << c.buttons;
        EXPECT_EQ(asked.size(), c.expected == mrNone ? 2u : 1u) << c.buttons;
        EXPECT_EQ(realBoxEscape(r, false), c.expected) << c.buttons;
        EXPECT_EQ(realBoxEscape(r, true), c.expected) << c.buttons;
    }
    // Esc in any other dialog cancels it.
    script = {mrEscape};
    asked.clear();
    std::string value = "alt";
    EXPECT_FALSE(inputQuery("Titel", "Name:", value));
}

TEST_F(SeamTest, FileDialogStartsAtThePresetFileAndListsTheProgramsFiles) {
    QDir().mkpath(dir + "/Data");
    QDir().mkpath(dir + "/other");
    for (const char* f : {"/other/I2CWatch.i2p", "/other/Speicher.bin", "/other/notiz.txt"}) touch(dir + f);
    const QString data = dir + "/Data/";
    const struct {
        Kind kind;
        QString value, filter, startDir, selected;
        QStringList listed;
    } cases[] = {
        // An absolute preset is used as it is: the folder of the named log, not one below Data.
        {Kind::SaveFile,
         dir + "/other/x.I2P",
         "I²C Protokoll|*.I2P",
         dir + "/other",
         dir + "/other/x.I2P",
         {"I2CWatch.i2p"}},
        {Kind::SaveFile, "y.I2P", "I²C Protokoll|*.I2P", dir + "/Data", dir + "/Data/y.I2P", {}},
        {Kind::OpenFile,
         dir + "/other/Speicher.bin",
         "Speicher|*.BIN",
         dir + "/other",
         dir + "/other/Speicher.bin",
         {"Speicher.bin"}},
    };
    for (const auto& c : cases) {
        Request r;
        r.kind = c.kind;
        r.initialDir = data.toStdString();
        r.value = c.value.toStdString();
        r.filter = c.filter.toStdString();
        const auto dlg = makeFileDialog(r);
        EXPECT_EQ(dlg->directory().absolutePath(), c.startDir) << c.value.toStdString();
        EXPECT_EQ(dlg->selectedFiles().value(0), c.selected);
        // The caption as specified; the patterns ignore case, also where a desktop's own
        // chooser would not.
        EXPECT_EQ(dlg->nameFilters().value(0),
                  c.filter.section('|', 0, 0) + " (" + c.filter.section('|', 1) + ")");
        EXPECT_TRUE(dlg->testOption(QFileDialog::DontUseNativeDialog));
        dlg->show();
        auto* model = dlg->findChild<QFileSystemModel*>();
        ASSERT_NE(model, nullptr);
        const QModelIndex root = model->index(c.startDir);
        const auto names = [&] {
            QStringList out;
            for (int i = 0; i < model->rowCount(root); ++i) out << model->index(i, 0, root).data().toString();
            out.sort();
            return out;
        };
        if (!c.listed.isEmpty()) (void)QTest::qWaitFor([&] { return names() == c.listed; }, 5000);
        EXPECT_EQ(names(), c.listed) << c.value.toStdString();
    }
}

TEST_F(SeamTest, OpenFindsATypedNameWithoutRegardToCaseOrDefaultExtension) {
    touch(dir + "/I2CWatch.i2p");
    touch(dir + "/Speicher.bin");
    const struct {
        const char* typed;
        const char* ext;
        QString found;  // empty: refused
    } cases[] = {
        {"I2CWatch", "I2P", dir + "/I2CWatch.i2p"},
        {"speicher", "BIN", dir + "/Speicher.bin"},
        {"SPEICHER.BIN", "BIN", dir + "/Speicher.bin"},
        {"fehlt", "I2P", {}},
    };
    // Qt's own "not found" box would block: close any box that comes up.
    QTimer guard;
    QObject::connect(&guard, &QTimer::timeout, [] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) box->close();
    });
    guard.start(20);
    for (const auto& c : cases) {
        Request r;
        r.kind = Kind::OpenFile;
        r.initialDir = dir.toStdString();
        r.filter = "Dateien|*.*";
        r.defaultExt = c.ext;
        const auto dlg = makeFileDialog(r);
        dlg->show();
        auto* edit = dlg->findChild<QLineEdit*>("fileNameEdit");
        ASSERT_NE(edit, nullptr);
        edit->setText(c.typed);
        QMetaObject::invokeMethod(dlg.get(), "accept");
        const Response a = fileDialogResponse(*dlg, dlg->result());
        EXPECT_EQ(a.result, c.found.isEmpty() ? int(mrCancel) : int(mrOk)) << c.typed;
        EXPECT_EQ(QString::fromStdString(a.value), c.found) << c.typed;
    }
}

}  // namespace
