#include "dialogseam.h"

#include <QApplication>
#include <QFileDialog>
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

Response showMessage(const Request& r) {
    QMessageBox box;
    switch (r.type) {
        case MsgType::Warning:
            box.setIcon(QMessageBox::Warning);
            break;
        case MsgType::Error:
            box.setIcon(QMessageBox::Critical);
            break;
        case MsgType::Information:
            box.setIcon(QMessageBox::Information);
            break;
        case MsgType::Confirmation:
            box.setIcon(QMessageBox::Question);
            break;
        case MsgType::Custom:
            break;
    }
    box.setWindowTitle(q(r.caption.empty() ? typeCaption(r.type) : r.caption));
    box.setText(q(r.text));
    std::vector<std::pair<QPushButton*, ModalResult>> buttons;
    size_t i = 0;
    for (auto [b, mr] : kButtonResults) {
        if (!(r.buttons & b)) continue;
        std::string cap = i < r.buttonCaptions.size() ? r.buttonCaptions[i] : buttonCaption(b);
        ++i;
        QPushButton* pb = box.addButton(q(cap), QMessageBox::ActionRole);
        buttons.emplace_back(pb, mr);
    }
    if (r.x != -1 || r.y != -1) box.move(r.x, r.y);
    box.exec();
    for (auto& [pb, mr] : buttons)
        if (box.clickedButton() == pb) return {mr, {}};
    return {mrCancel, {}};
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
        case Kind::OpenFile: {
            QString start = q(r.initialDir);
            if (!r.value.empty()) start = start.isEmpty() ? q(r.value) : start + "/" + q(r.value);
            QString f = QFileDialog::getOpenFileName(nullptr, q(r.caption), start, qtFilter(r.filter));
            return f.isEmpty() ? Response{mrCancel, {}} : Response{mrOk, s8(f)};
        }
        case Kind::SaveFile: {
            QString start = q(r.initialDir);
            if (!r.value.empty()) start = start.isEmpty() ? q(r.value) : start + "/" + q(r.value);
            QFileDialog dlg(nullptr, q(r.caption), start, qtFilter(r.filter));
            dlg.setAcceptMode(QFileDialog::AcceptSave);
            if (!r.defaultExt.empty()) dlg.setDefaultSuffix(q(r.defaultExt));
            if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return {mrCancel, {}};
            return {mrOk, s8(dlg.selectedFiles().first())};
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
    if (responderSlot()) return responderSlot()(request);
    return showReal(request);
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

int messageDlgPos(const std::string& text, MsgType type, unsigned buttons, int x, int y) {
    Request r;
    r.kind = Kind::Message;
    r.caption = typeCaption(type);
    r.text = text;
    r.type = type;
    r.buttons = buttons;
    r.buttonCaptions = captionsFor(buttons);
    r.x = x;
    r.y = y;
    return ask(r).result;
}

int messageBox(const std::string& caption, const std::string& text, MsgType type, unsigned buttons,
               const std::vector<std::string>& buttonCaptions, int x, int y) {
    Request r;
    r.kind = Kind::Message;
    r.caption = caption;
    r.text = text;
    r.type = type;
    r.buttons = buttons;
    r.buttonCaptions = buttonCaptions.empty() ? captionsFor(buttons) : buttonCaptions;
    r.x = x;
    r.y = y;
    return ask(r).result;
}

void errorBoxCancel(const std::string& text, const std::string& caption) {
    messageBox(caption, text, MsgType::Error, mbCancel, {"Abbrechen"});
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
