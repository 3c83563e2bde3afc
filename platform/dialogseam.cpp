#include "dialogseam.h"

#include "dialogseam_qt.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QStringList>

namespace dialogs {

namespace {
Responder& responderSlot() {
    static Responder r;
    return r;
}

QString q(const std::string& s) {
    return QString::fromUtf8(s.c_str(), static_cast<int>(s.size()));
}
std::string s8(const QString& s) {
    return s.toUtf8().toStdString();
}

// "I²C Protokoll|*.I2P|Alle|*.*" -> "I²C Protokoll (*.I2P);;Alle (*.*)"
QString qtFilter(const std::string& filter) {
    const QStringList parts = q(filter).split('|');
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) out << QString("%1 (%2)").arg(parts[i], parts[i + 1]);
    return out.join(";;");
}

const std::pair<Button, ModalResult> kButtonResults[] = {
    {mbYes, mrYes},     {mbNo, mrNo},       {mbOK, mrOk},         {mbCancel, mrCancel},
    {mbAbort, mrAbort}, {mbRetry, mrRetry}, {mbIgnore, mrIgnore},
};

const char* const kResultProperty = "modalResult";

// The result of the only button of a set, or mrNone.
int singleButtonResult(unsigned buttons) {
    int found = mrNone;
    for (auto [b, mr] : kButtonResults) {
        if (!(buttons & b)) continue;
        if (found != mrNone) return mrNone;
        found = mr;
    }
    return found;
}

// What Esc and the close button give for a request: a box of one button closes with it.
int escapeResultOf(const Request& r) {
    return r.escapeResult != mrNone ? r.escapeResult : singleButtonResult(r.buttons);
}

// The preset file name joined onto the initial folder, unless it is a path of its own.
QString startPath(const Request& r) {
    const QString dir = q(r.initialDir);
    const QString name = q(r.value);
    if (name.isEmpty()) return dir;
    if (dir.isEmpty() || QDir::isAbsolutePath(name)) return name;
    return QDir(dir).filePath(name);
}

// Qt's open dialog finds a typed name only as it is spelt (plus the default suffix); the
// program's files were named for a file system that ignores case.
class SeamFileDialog : public QFileDialog {
  public:
    using QFileDialog::QFileDialog;

  protected:
    void accept() override {
        // The save dialog asks about a name that exists as anything but a folder, a link that
        // names nothing included; the program asks the same for a name it extends later.
        if (acceptMode() == QFileDialog::AcceptSave) {
            const QStringList chosen = selectedFiles();
            if (chosen.size() == 1) {
                const QFileInfo info(chosen.first());
                if ((info.exists() || info.isSymLink()) && !info.isDir() &&
                    !confirmReplace(s8(chosen.first())))
                    return;
            }
        }
        if (fileMode() == QFileDialog::ExistingFile) {
            const QStringList typed = selectedFiles();
            if (typed.size() == 1 && !QFileInfo::exists(typed.first())) {
                const QString found = existingFileIgnoringCase(typed.first(), defaultSuffix());
                if (!found.isEmpty()) selectFile(found);
            }
        }
        QFileDialog::accept();
    }
};

Response showMessage(const Request& r) {
    const std::unique_ptr<QMessageBox> box = makeMessageBox(r);
    box->exec();
    return {messageBoxResult(*box), {}};
}

Response showReal(const Request& r) {
    if (!QApplication::instance()) return {mrCancel, {}};
    switch (r.kind) {
        case Kind::Message:
            return showMessage(r);
        case Kind::InputQuery: {
            bool ok = false;
            QString v =
                QInputDialog::getText(nullptr, q(r.caption), q(r.text), QLineEdit::Normal, q(r.value), &ok);
            return ok ? Response{mrOk, s8(v)} : Response{mrCancel, r.value};
        }
        case Kind::OpenFile:
        case Kind::SaveFile: {
            const std::unique_ptr<QFileDialog> dlg = makeFileDialog(r);
            const int code = dlg->exec();
            return fileDialogResponse(*dlg, code);
        }
        case Kind::SelectDir: {
            QString d = QFileDialog::getExistingDirectory(nullptr, q(r.caption), q(r.value));
            return d.isEmpty() ? Response{mrCancel, {}} : Response{mrOk, s8(d)};
        }
        case Kind::Printer: {
            if (!r.printer) return {mrCancel, {}};
            QPrintDialog dlg(r.printer, QApplication::activeWindow());
            if (!r.caption.empty()) dlg.setWindowTitle(q(r.caption));
            return dlg.exec() == QDialog::Accepted ? Response{mrOk, {}} : Response{mrCancel, {}};
        }
    }
    return {mrCancel, {}};
}
}  // namespace

void setResponder(Responder responder) {
    responderSlot() = std::move(responder);
}

bool hasResponder() {
    return static_cast<bool>(responderSlot());
}

Response ask(const Request& request) {
    if (!responderSlot()) return showReal(request);
    // A scripted Esc: a box closes with its escape result and ignores Esc when it has none (the
    // responder is asked again, as the box would still stand); any other dialog is cancelled.
    for (int round = 0; round < 1000; ++round) {
        Response a = responderSlot()(request);
        if (a.result != mrEscape) return a;
        if (request.kind != Kind::Message) return {mrCancel, {}};
        const int escape = escapeResultOf(request);
        if (escape != mrNone) return {escape, {}};
    }
    return {mrCancel, {}};  // a responder that never stops pressing Esc
}

std::unique_ptr<QMessageBox> makeMessageBox(const Request& r) {
    auto box = std::make_unique<QMessageBox>();
    switch (r.type) {
        case MsgType::Warning:
            box->setIcon(QMessageBox::Warning);
            break;
        case MsgType::Error:
            box->setIcon(QMessageBox::Critical);
            break;
        case MsgType::Information:
            box->setIcon(QMessageBox::Information);
            break;
        case MsgType::Confirmation:
            box->setIcon(QMessageBox::Question);
            break;
        case MsgType::Custom:
            break;
    }
    box->setWindowTitle(q(r.caption.empty() ? typeCaption(r.type) : r.caption));
    box->setText(q(r.text));
    const int escape = escapeResultOf(r);
    size_t i = 0;
    for (auto [b, mr] : kButtonResults) {
        if (!(r.buttons & b)) continue;
        const std::string cap = i < r.buttonCaptions.size() ? r.buttonCaptions[i] : buttonCaption(b);
        ++i;
        // The buttons keep the order of the class library's boxes, so none gets a Qt role that
        // would reorder it; Esc and the close button are bound explicitly.
        QPushButton* pb = box->addButton(q(cap), QMessageBox::ActionRole);
        pb->setProperty(kResultProperty, static_cast<int>(mr));
        if (mr == escape) box->setEscapeButton(pb);
    }
    if (r.x != -1 || r.y != -1) box->move(r.x, r.y);
    return box;
}

int messageBoxResult(const QMessageBox& box) {
    const QAbstractButton* b = box.clickedButton();
    const QVariant v = b ? b->property(kResultProperty) : QVariant();
    return v.isValid() ? v.toInt() : mrCancel;
}

std::unique_ptr<QFileDialog> makeFileDialog(const Request& r) {
    auto dlg = std::make_unique<SeamFileDialog>(nullptr, q(r.caption), startPath(r), qtFilter(r.filter));
    // Qt's own dialog: a desktop's native chooser may match the patterns case-sensitively.
    dlg->setOption(QFileDialog::DontUseNativeDialog);
    dlg->setFilter(dlg->filter() & ~QDir::CaseSensitive);
    if (r.kind == Kind::SaveFile) {
        dlg->setAcceptMode(QFileDialog::AcceptSave);
        dlg->setFileMode(QFileDialog::AnyFile);
        dlg->setOption(QFileDialog::DontConfirmOverwrite);  // SeamFileDialog asks
    } else {
        dlg->setAcceptMode(QFileDialog::AcceptOpen);
        dlg->setFileMode(QFileDialog::ExistingFile);
    }
    if (!r.defaultExt.empty()) dlg->setDefaultSuffix(q(r.defaultExt));
    return dlg;
}

Response fileDialogResponse(const QFileDialog& dlg, int code) {
    const QStringList files = dlg.selectedFiles();
    if (code != QDialog::Accepted || files.isEmpty() || files.first().isEmpty()) return {mrCancel, {}};
    return {mrOk, s8(files.first())};
}

QString existingFileIgnoringCase(const QString& path, const QString& defaultExt) {
    const QFileInfo info(path);
    const QString name = info.fileName();
    if (name.isEmpty()) return {};
    QStringList wanted{name};
    if (!defaultExt.isEmpty() && info.suffix().isEmpty()) wanted << name + "." + defaultExt;
    const QDir dir = info.absoluteDir();
    const QStringList entries = dir.entryList(QDir::Files | QDir::Hidden, QDir::Name);
    for (const QString& w : wanted)
        for (const QString& e : entries)
            if (e.compare(w, Qt::CaseInsensitive) == 0) return dir.filePath(e);
    return {};
}

std::string buttonCaption(Button b) {
    switch (b) {
        case mbYes:
            return "&Ja";
        case mbNo:
            return "&Nein";
        case mbOK:
            return "OK";
        case mbCancel:
            return "Abbrechen";
        case mbAbort:
            return "&Abbrechen";
        case mbRetry:
            return "&Wiederholen";
        case mbIgnore:
            return "&Ignorieren";
    }
    return {};
}

std::string typeCaption(MsgType t) {
    switch (t) {
        case MsgType::Warning:
            return "Warnung";
        case MsgType::Error:
            return "Fehler";
        case MsgType::Information:
            return "Information";
        case MsgType::Confirmation:
            return "Bestätigen";
        case MsgType::Custom:
            return {};
    }
    return {};
}

static std::vector<std::string> captionsFor(unsigned buttons) {
    std::vector<std::string> out;
    for (auto [b, mr] : kButtonResults)
        if (buttons & b) out.push_back(buttonCaption(b));
    return out;
}

int defaultEscapeResult(unsigned buttons) {
    if (buttons & mbCancel) return mrCancel;
    if (buttons & mbNo) return mrNo;
    if (buttons & mbOK) return mrOk;
    return singleButtonResult(buttons);
}

int messageDlgPos(const std::string& text, MsgType type, unsigned buttons, int x, int y, int escapeResult) {
    Request r;
    r.kind = Kind::Message;
    r.caption = typeCaption(type);
    r.text = text;
    r.type = type;
    r.buttons = buttons;
    r.buttonCaptions = captionsFor(buttons);
    r.x = x;
    r.y = y;
    r.escapeResult = escapeResult != mrNone ? escapeResult : defaultEscapeResult(buttons);
    return ask(r).result;
}

int messageBox(const std::string& caption, const std::string& text, MsgType type, unsigned buttons,
               const std::vector<std::string>& buttonCaptions, int x, int y, int escapeResult) {
    Request r;
    r.kind = Kind::Message;
    r.caption = caption;
    r.text = text;
    r.type = type;
    r.buttons = buttons;
    r.buttonCaptions = buttonCaptions.empty() ? captionsFor(buttons) : buttonCaptions;
    r.x = x;
    r.y = y;
    r.escapeResult = escapeResult != mrNone ? escapeResult : defaultEscapeResult(buttons);
    return ask(r).result;
}

void errorBoxCancel(const std::string& text, const std::string& caption) {
    messageBox(caption, text, MsgType::Error, mbCancel, {"Abbrechen"});
}

bool confirmReplace(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    return messageBox("Speichern unter bestätigen",
                      name + " ist bereits vorhanden.\nMöchten Sie sie ersetzen?", MsgType::Warning,
                      mbYes | mbNo, {}) == mrYes;
}

bool inputQuery(const std::string& caption, const std::string& prompt, std::string& value) {
    Request r;
    r.kind = Kind::InputQuery;
    r.caption = caption;
    r.text = prompt;
    r.value = value;
    Response resp = ask(r);
    if (resp.result != mrOk) return false;
    value = resp.value;
    return true;
}

}  // namespace dialogs
