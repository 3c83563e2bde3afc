// The main window's log-file commands: new, open, save and save as, and the saving and
// loading of the binary log with its rich-text copy.
#include <QAction>
#include <stdexcept>

#include "capturestore.h"
#include "dialogseam.h"
#include "iicctrlu.h"
#include "logfiles.h"
#include "monitorview.h"
#include "numbertext.h"
#include "projectsettings.h"
#include "rtfwriter.h"
#include "statustexts.h"
#include "tracedecoder.h"
#include "traceview.h"
#include "utf8text.h"

namespace {
const char* const kLogFilter = "I²C Protokoll|*.I2P";
}  // namespace

void TF_IIcCtrl::miNewClick() {
    if (DocFlags & DocLogModified) {
        const int answer = dialogs::messageDlgPos(
            "Änderungen nicht gespeichert!  Dateien speichern?", dialogs::MsgType::Warning,
            dialogs::mbYes | dialogs::mbNo | dialogs::mbCancel, -1, -1, dialogs::mrCancel);
        if (answer == dialogs::mrYes) {
            SaveProtokoll(LogPath);
            if (!lastSaveOk_) return;  // the log stays: it could not be saved
        } else if (answer != dialogs::mrNo) {
            return;
        }
    }
    LogPath.clear();
    DocFlags &= ~DocLogBits;
    ClearProtokoll();
    UpdateStatus();
    UpdateFileCommands();
}

void TF_IIcCtrl::miOpenClick() {
    if (DocFlags & DocLogModified) {
        const int answer = dialogs::messageDlgPos(
            "Das aktuelle Messprotokoll wurde nicht gesichert!\nSoll es jetzt gespeichert werden?",
            dialogs::MsgType::Warning, dialogs::mbYes | dialogs::mbNo | dialogs::mbCancel, boxX(), boxY(),
            dialogs::mrCancel);
        if (answer == dialogs::mrYes) {
            SaveProtokoll(LogPath);
            if (!lastSaveOk_) return;
        } else if (answer != dialogs::mrNo) {
            return;
        }
    }
    DocFlags = 0;
    dialogs::Request r;
    r.kind = dialogs::Kind::OpenFile;
    r.filter = kLogFilter;
    r.defaultExt = "I2P";
    r.initialDir = ProjectSettings.DataDir;
    const dialogs::Response a = dialogs::ask(r);
    if (a.result == dialogs::mrOk && !a.value.empty()) {
        LogPath = a.value;
        LoadProtokoll(LogPath);
        DocFlags |= DocLogLoaded;
        UpdateFileCommands();
    }
    UpdateStatus();
}

// Saves the log under LogPath; only a log that was really written counts as saved.
void TF_IIcCtrl::saveLogAndMark() {
    SaveProtokoll(LogPath);
    if (lastSaveOk_) {
        DocFlags &= ~DocLogModified;
        miSave->setEnabled(false);
        TB_Save->setEnabled(false);
    }
}

void TF_IIcCtrl::miSaveClick() {
    saveLogAndMark();
    UpdateStatus();
}

void TF_IIcCtrl::miSaveAsClick() {
    dialogs::Request r;
    r.kind = dialogs::Kind::SaveFile;
    r.filter = kLogFilter;
    r.defaultExt = "I2P";
    r.value = LogPath;
    r.initialDir = ProjectSettings.DataDir;
    const dialogs::Response a = dialogs::ask(r);
    if (a.result == dialogs::mrOk && !a.value.empty()) {
        LogPath = withDefaultExtension(a.value, "I2P");
        saveLogAndMark();
    }
    UpdateStatus();
}

// The binary log and its rich-text copy are one save: both are written, or neither file (nor
// a backup) changes.
void TF_IIcCtrl::SaveProtokoll(std::string path) {
    lastSaveOk_ = false;
    try {
        if (path.empty()) path = ProjectSettings.DataDir + DefaultLogName;
        const LogSaveNames names = logSaveNames(path);
        rtf::Options opt;
        opt.fontFamily = QStringLiteral("Courier New");
        opt.fontHalfPoints = 20;  // 13 pixels
        opt.leftIndentTwips = RE_I2CMonitor->leftIndent() * 15;
        const QByteArray copy = rtf::documentToRtf(*RE_I2CMonitor->document(), opt);
        const CaptureStore* store = captureStore();
        if (!store) throw std::runtime_error("no store");
        const SaveOutcome saved =
            writeLogPair(names, *store, std::string_view(copy.constData(), std::size_t(copy.size())));
        if (saved.result == SaveResult::CannotCreate && saved.failed == 0)
            dialogs::errorBoxCancel("Binäre Protokolldatei konnte nicht geöffnet werden");
        if (saved.result != SaveResult::Ok) throw std::runtime_error("log not saved");
        lastSaveOk_ = true;
    } catch (...) {
        lastSaveOk_ = false;
        dialogs::errorBoxCancel(
            "Unbekannter Systemfehler!\nProtokolldateien konnten nicht gespeichert werden.");
    }
}

void TF_IIcCtrl::LoadProtokoll(const std::string& path) {
    ClearProtokoll();
    CaptureStore* store = captureStore();
    if (!store) return;
    if (!readBinaryLog(path, *store)) {
        store->reset();
        dialogs::errorBoxCancel(path + " konnte nicht geöffnet werden.");
        return;
    }
    store->RebuildTelegramIndex();
    MonitorBulk bulk(RE_I2CMonitor);
    ShowTraceOffline("I²C-Analyzer Protokolldatei: " + path, 0);
}
