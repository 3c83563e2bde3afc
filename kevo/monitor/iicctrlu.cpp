// The main window's behaviour: start-up, window events, enabling and status, recording,
// settings, tool windows, search, print, exit and info, and the project file's view of the
// windows. Layout: iicctrlu_layout.cpp; log-file commands: iicctrlu_logcommands.cpp.
#include "iicctrlu.h"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPrinter>
#include <QScreen>
#include <QShowEvent>
#include <QStatusBar>
#include <QTextDocument>
#include <QToolBar>
#include <memory>

#include "capturestore.h"
#include "deviceinfo.h"
#include "dialogseam.h"
#include "einstellungen.h"
#include "iicwatch.h"
#include "info.h"
#include "inifile.h"
#include "kevoapplication.h"
#include "monitorview.h"
#include "numbertext.h"
#include "projectsettings.h"
#include "statustexts.h"
#include "traceview.h"
#include "utf8text.h"
#include "vl-com.h"
#include "vlcom.h"

const std::string VersionText =
    "KEVO 1.00a\n"
    "Copyright © Parvelo\n"
    "Alle Rechte vorbehalten";

TF_IIcCtrl* F_IIcCtrl = nullptr;

namespace {

const char* const kPrintTitle = "I²C-Analyzer Protokoll";

// The printer dialog: the chosen printer, or null when it was cancelled. A chosen PDF file
// (value) makes the printer write into it.
std::unique_ptr<QPrinter> choosePrinter() {
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    // Named before the dialog, so that its PDF printer proposes the title as the file name.
    printer->setDocName(QString::fromUtf8(kPrintTitle));
    dialogs::Request r;
    r.kind = dialogs::Kind::Printer;
    r.caption = "Drucken";
    r.printer = printer.get();
    const dialogs::Response a = dialogs::ask(r);
    if (a.result != dialogs::mrOk) return nullptr;
    if (!a.value.empty()) {
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(q(a.value));
    }
    return printer;
}

}  // namespace

TF_IIcCtrl::~TF_IIcCtrl() {
    // A recording still running when the window goes: the thread ends before the buffer.
    if (CaptureThread) {
        CaptureThread->Terminate();
        CaptureThread->WaitFor();
        delete CaptureThread;
        CaptureThread = nullptr;
        ComClose();
    }
    if (monitorView() == RE_I2CMonitor) setMonitorView(nullptr);
    if (captureStore() == store_) setCaptureStore(nullptr);
    delete store_;
    if (F_IIcCtrl == this) F_IIcCtrl = nullptr;
    setMainWindowPosProvider({});
}

int TF_IIcCtrl::boxX() const {
    return x() + 150;
}
int TF_IIcCtrl::boxY() const {
    return y() + 150;
}

void TF_IIcCtrl::setMenuEnabled(QMenu* menu, bool enabled) {
    menu->menuAction()->setEnabled(enabled);
    menu->setEnabled(enabled);
}

// --- Window events ---

void TF_IIcCtrl::showEvent(QShowEvent* e) {
    QMainWindow::showEvent(e);
    if (!shown_ && !e->spontaneous()) {
        shown_ = true;
        FormShow();
    }
}

void TF_IIcCtrl::paintEvent(QPaintEvent* e) {
    QMainWindow::paintEvent(e);
    FormPaint();
}

void TF_IIcCtrl::closeEvent(QCloseEvent* e) {
    if (BlockingRun::closeWaits(this)) {
        e->ignore();
        return;
    }
    bool canClose = true;
    FormCloseQuery(canClose);
    if (!canClose) {
        e->ignore();
        return;
    }
    FormClose();
    e->accept();
}

void TF_IIcCtrl::FormShow() {
    setMonitorView(RE_I2CMonitor);
    setMainWindowPosProvider([this] { return std::make_pair(x(), y()); });

    // 1. The capture store.
    if (!store_) {
        store_ = new CaptureStore;
        setCaptureStore(store_);
    }
    // 2.-4. Paths; the default project directory is created when missing.
    ConfigPath = configFilePath();
    ProgramDir = programDirectory();
    ProjectDir = defaultProjectDirOf(ProgramDir);
    if (!QFileInfo(q(ProjectDir)).isDir()) QDir().mkdir(q(ProjectDir));

    // 5. The configuration file.
    std::string startProject;
    if (QFileInfo(q(ConfigPath)).isFile()) {
        ini::IniFile cfg(ConfigPath);
        // An empty entry keeps the default: logs would otherwise go to whatever folder the
        // program was started from.
        const std::string configured = cfg.readString("Projekt", "Verzeichnis", ProjectDir);
        if (!configured.empty()) ProjectDir = withSlash(configured);
        startProject = cfg.readString("Projekt", "Datei", "");
        ProjectSettings.PortName = cfg.readString("RAFU", "Port", "");
        ProjectSettings.BaudRate = cfg.readInteger("RAFU", "Baudrate", 0);
        boundReadSettings(ProjectSettings);
    }
    // 6.-8. The current project.
    LoadProjectFile(startProject, *this);
    DocFlags = DocStarting;
    ProjectSettings.DataDir = dataFolderOf(ProjectSettings.DataDir, ProjectDir);

    // 9. The adapter.
    OfflineMode = false;
    adapterLinkLoop();

    // 10. No recording runs.
    UpdateFileCommands();
    RE_I2CMonitor->setLeftIndent(48);
}

bool TF_IIcCtrl::portTest() {
    BSTR port = oleFromText(ProjectSettings.PortName);
    int32_t baud = ProjectSettings.BaudRate;
    const int32_t usable = VlCOMPortSel(&port, &baud);
    SysFreeString(port);
    return usable != 0;
}

void TF_IIcCtrl::adapterLinkLoop() {
    static const char* const linkError =
        "Die Datenverbindung zum RAFU konnte nicht hergestellt werden\n"
        "        Die Verbindung ist nicht in Ordnung.\n"
        "        Mit OK öffnen Sie die Einstellungen.";
    while (!OfflineMode) {
        if (!ProjectSettings.PortName.empty() && ProjectSettings.BaudRate != 0) {
            if (portTest()) {
                if (SendAnalyzerSetup()) {
                    UpdateToolCommands();
                } else {
                    OfflineMode = true;
                    DeviceInfo.SerialNumber.clear();
                }
                return;
            }
            const int answer =
                dialogs::messageDlgPos(linkError, dialogs::MsgType::Error,
                                       dialogs::mbOK | dialogs::mbRetry | dialogs::mbIgnore, boxX(), boxY(),
                                       dialogs::mrOk);  // closing the box goes on as OK
            if (answer == dialogs::mrIgnore) {
                OfflineMode = true;
                DeviceInfo.SerialNumber.clear();
                return;
            }
            if (answer == dialogs::mrRetry) continue;
        }
        DeviceInfo.SerialNumber.clear();
        if (runSettingsDialog() == SettingsCancelled) {
            OfflineMode = true;
            return;
        }
        DocFlags |= DocProjectModified;
    }
}

void TF_IIcCtrl::FormPaint() {
    RE_I2CMonitor->setBackgroundColor(ProjectSettings.ColorBackground);
    UpdateStatus();
    DocFlags &= ~DocStarting;
}

void TF_IIcCtrl::FormResize() {
    const int w = client_->width();
    const int h = client_->height();
    TB_Main->setGeometry(0, 0, w, 24);
    SBarMain->setGeometry(0, h - 19, w, 19);
    RE_I2CMonitor->setGeometry(2, 26, std::max(0, w - 4), std::max(0, h - 45));
    // The project stores the window's size; a resize after start-up changes the project.
    if (shown_ && !(DocFlags & DocStarting)) DocFlags |= DocProjectModified;
}

void TF_IIcCtrl::FormCloseQuery(bool& CanClose) {
    CanClose = true;
    if (!miAnlStop->isEnabled()) return;
    const int answer = dialogs::messageDlgPos(
        "I²C-Analyzer ist gestartet, Analyzer stoppen und Programm beenden?", dialogs::MsgType::Warning,
        dialogs::mbYes | dialogs::mbCancel, boxX(), boxY(), dialogs::mrCancel);
    if (answer == dialogs::mrYes) {
        if (CaptureThread) StopAnalyzer();  // it may have ended of an error meanwhile
    } else
        CanClose = false;
}

void TF_IIcCtrl::FormClose() {
    if (closed_) return;
    closed_ = true;
    if (CaptureThread) StopAnalyzer();  // never free the buffer under a running thread
    if (ProjectSettings.AutoSaveProject != 0) SaveProjectFile(ProjectPath, *this);
    if (captureStore() == store_) setCaptureStore(nullptr);
    delete store_;
    store_ = nullptr;
}

// --- Enabling and status ---

namespace {

// The states a command needs.
enum CommandNeed : unsigned {
    NoRecording = 1,       // no recording runs: the capture thread alone writes the store
    Recording = 2,         // a recording runs
    LogData = 4,           // the log holds data
    LogModified = 8,       // the log has unsaved changes
    ProjectModified = 16,  // the project has unsaved changes
    Tools = 32,            // the tools are available: the probes are bus master
};

// Which state each command needs: to run at all (the handlers refuse it otherwise, by
// whatever door it comes: menu, button, keyboard, screen reader, a queued event) and, on top,
// to have its item and button enabled. Saving an unmodified log or project is harmless, so
// Save stays runnable where the log or project commands leave it enabled.
struct CommandRule {
    QAction* TF_IIcCtrl::*item;
    QAction* TF_IIcCtrl::*button;  // null: menu only
    unsigned runs;
    unsigned shown;
};

using W = TF_IIcCtrl;
const CommandRule kCommandRules[] = {
    {&W::miNew, &W::TB_New, NoRecording | LogData, 0},
    {&W::miOpen, &W::TB_Open, NoRecording, 0},
    {&W::miSave, &W::TB_Save, NoRecording | LogData, LogModified},
    {&W::miSaveAs, nullptr, NoRecording | LogData, 0},
    {&W::miSearch, &W::TB_Search, NoRecording | LogData, 0},
    {&W::miPrint, &W::TB_Print, NoRecording | LogData, 0},
    {&W::miNewProjekt, &W::TB_NewProjekt, NoRecording, 0},
    {&W::miOpenProj, &W::TB_OpenProj, NoRecording, 0},
    {&W::miSaveProj, &W::TB_SaveProj, NoRecording, ProjectModified},
    {&W::miSaveProjAs, nullptr, NoRecording, 0},
    {&W::miSetup, &W::TB_Setup, NoRecording, 0},
    {&W::miAnlStart, &W::TB_AnlStart, NoRecording, 0},
    {&W::miAnlStop, &W::TB_AnlStop, Recording, 0},
    {&W::miScanTool, &W::TB_ScanTool, Tools, 0},
    {&W::miBusTool, &W::TB_BusTool, Tools, 0},
    {&W::miMemTool, &W::TB_MemTool, Tools, 0},
};

}  // namespace

unsigned TF_IIcCtrl::commandStates() const {
    const CaptureStore* store = captureStore();
    unsigned s = CaptureThread ? Recording : NoRecording;
    if (store && store->BytesUsed.load() != 0) s |= LogData;
    if (DocFlags & DocLogModified) s |= LogModified;
    if (DocFlags & DocProjectModified) s |= ProjectModified;
    if (toolsAvailable_) s |= Tools;
    return s;
}

bool TF_IIcCtrl::commandAllowed(const QAction* command) const {
    for (const CommandRule& r : kCommandRules)
        if (this->*r.item == command || (r.button && this->*r.button == command))
            return (commandStates() & r.runs) == r.runs;
    return true;  // exit and info run in every state
}

void TF_IIcCtrl::runCommand(const QAction* command, void (TF_IIcCtrl::*handler)()) {
    if (commandAllowed(command)) guarded([this, handler] { (this->*handler)(); });
}

void TF_IIcCtrl::UpdateFileCommands() {
    enableCommands(~0u);
}

void TF_IIcCtrl::enableCommands(unsigned among) {
    const unsigned states = commandStates();
    for (const CommandRule& r : kCommandRules) {
        if (!(r.runs & among)) continue;
        const unsigned needs = r.runs | r.shown;
        const bool on = (states & needs) == needs;
        (this->*r.item)->setEnabled(on);
        if (r.button) (this->*r.button)->setEnabled(on);
    }
}

void TF_IIcCtrl::UpdateToolCommands() {
    const Form forms[3] = {ScanForm, BusForm, MemoryForm};
    const bool master = ProjectSettings.ProbeMaster != 0;
    toolsAvailable_ = master;
    setMenuEnabled(mmTools, master);
    enableCommands(Tools);
    for (Form f : forms) {
        QWidget* w = toolWindow(f);
        if (!w) continue;
        if (master) {
            if (toolItem(f)->isChecked() && !w->isVisible()) w->show();
        } else if (w->isVisible()) {
            w->hide();
        }
    }
}

void TF_IIcCtrl::UpdateStatus() {
    const StatusTexts t =
        statusTexts(ProjectSettings, DeviceInfo, OfflineMode, DocFlags, {ProjectDir, ProjectPath, LogPath});
    for (int i = 0; i < 5; ++i) SBarPanels[i]->setText(q(t.panels[i]));
    // A modified project enables its Save where it may run; this never disables it.
    if ((DocFlags & DocProjectModified) && commandAllowed(miSaveProj)) {
        miSaveProj->setEnabled(true);
        TB_SaveProj->setEnabled(true);
    }
    const QString title = q(t.caption);
    if (windowTitle() != title) setWindowTitle(title);
}

// --- Recording ---

void TF_IIcCtrl::miAnlStartClick() {
    if (OfflineMode) {
        RE_I2CMonitor->addLine("Offline: ohne Verbindung zum RAFU ist keine Aufzeichnung möglich.");
        return;
    }
    StartAnalyzer();
}

void TF_IIcCtrl::StartAnalyzer() {
    if (CaptureThread || !captureStore()) return;
    if (!SendAnalyzerSetup()) return;
    RE_I2CMonitor->setCaretPos(RE_I2CMonitor->textLength());
    ComOpen();
    captureStore()->StartBytes = captureStore()->BytesUsed.load();
    CaptureThread = new ThIIcWatch(true);
    // A hand-over that failed has ended the recording (stop telegram and footer written):
    // the window stops it as the stop command does, which then shows the error.
    CaptureThread->setErrorNotice([this] {
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (CaptureThread && CaptureThread->Finished() && CaptureThread->FatalException())
                    guarded([this] { miAnlStopClick(); });
            },
            Qt::QueuedConnection);
    });
    CaptureThread->Resume();
    setMenuEnabled(mmDatei, false);
    setMenuEnabled(mmProjekt, false);
    UpdateFileCommands();
}

void TF_IIcCtrl::miAnlStopClick() {
    StopAnalyzer();
    UpdateStatus();
}

void TF_IIcCtrl::StopAnalyzer() {
    std::exception_ptr fatal;
    if (CaptureThread) {
        CaptureThread->Terminate();
        setMenuEnabled(mmDatei, true);
        setMenuEnabled(mmProjekt, true);
        CaptureThread->WaitFor();
        fatal = CaptureThread->FatalException();
        delete CaptureThread;
        CaptureThread = nullptr;
        ComClose();
    }
    CaptureStore* store = captureStore();
    if (store && store->BytesUsed.load() > store->StartBytes) {
        if (ProjectSettings.LogAutoSave != 0) {
            SaveProtokoll(LogPath);
            if (lastSaveOk_)
                DocFlags &= ~DocLogModified;
            else
                DocFlags |= DocLogModified;
        } else {
            DocFlags |= DocLogModified;
        }
    }
    UpdateFileCommands();
    // The thread died of an error: show it here, so that a close in progress goes on.
    if (fatal) ShowException(fatal);
}

// --- Settings ---

int TF_IIcCtrl::runSettingsDialog() {
    if (!F_Einstellungen) return SettingsCancelled;
    F_Einstellungen->ProjectDirRef = &ProjectDir;
    F_Einstellungen->ProgramDirRef = &ProgramDir;
    return F_Einstellungen->ShowModal();
}

void TF_IIcCtrl::miSetupClick() {
    const int result = runSettingsDialog();
    if (result == SettingsCancelled) return;
    if (result == SettingsChanged) DocFlags |= DocProjectModified;
    DeviceInfo.SerialNumber.clear();
    if (!ProjectSettings.PortName.empty() && ProjectSettings.BaudRate != 0 && portTest()) {
        OfflineMode = false;
        ReadDeviceInfo();
        SendAnalyzerSetup();
    } else {
        OfflineMode = true;
        ReadDeviceInfo();
    }
    UpdateToolCommands();
    UpdateStatus();
}

// --- Tool windows ---

void TF_IIcCtrl::setToolWindow(Form f, QWidget* window) {
    if (f < ScanForm || f > MemoryForm) return;
    tools_[f] = window;
    // Closing the main window ends the program even while a tool window is open.
    if (window) window->setAttribute(Qt::WA_QuitOnClose, false);
}

QWidget* TF_IIcCtrl::toolWindow(Form f) const {
    return (f >= ScanForm && f <= MemoryForm) ? tools_[f] : nullptr;
}

QAction* TF_IIcCtrl::toolItem(Form f) const {
    switch (f) {
        case ScanForm:
            return miScanTool;
        case BusForm:
            return miBusTool;
        case MemoryForm:
            return miMemTool;
        default:
            return nullptr;
    }
}

void TF_IIcCtrl::toolMenuCommand(Form f, QAction* item) {
    if (!SendAnalyzerSetup()) return;
    QWidget* w = toolWindow(f);
    if (!w) return;
    if (item->isChecked())
        w->hide();
    else
        w->show();
}

void TF_IIcCtrl::toolButtonCommand(Form f) {
    if (!SendAnalyzerSetup()) return;
    QWidget* w = toolWindow(f);
    if (!w) return;
    if (w->isVisible()) {
        w->raise();
        w->activateWindow();
        w->setFocus();
    } else {
        w->show();
    }
}

void TF_IIcCtrl::miScanToolClick() {
    toolMenuCommand(ScanForm, miScanTool);
}
void TF_IIcCtrl::miBusToolClick() {
    toolMenuCommand(BusForm, miBusTool);
}
void TF_IIcCtrl::miMemToolClick() {
    toolMenuCommand(MemoryForm, miMemTool);
}
void TF_IIcCtrl::TB_ScanToolClick() {
    toolButtonCommand(ScanForm);
}
void TF_IIcCtrl::TB_BusToolClick() {
    toolButtonCommand(BusForm);
}
void TF_IIcCtrl::TB_MemToolClick() {
    toolButtonCommand(MemoryForm);
}

// --- Search, print, exit, info ---

void TF_IIcCtrl::miSearchClick() {
    if (!searchWindow_) return;
    searchWindow_->show();
    searchWindow_->raise();
    searchWindow_->activateWindow();
}

void TF_IIcCtrl::printTrace(QPrinter& printer) {
    printer.setDocName(QString::fromUtf8(kPrintTitle));
    try {
        RE_I2CMonitor->printDocument()->print(&printer);
    } catch (...) {
        printer.abort();
        throw;
    }
}

void TF_IIcCtrl::miPrintClick() {
    std::unique_ptr<QPrinter> printer = choosePrinter();
    if (printer) printTrace(*printer);
}

void TF_IIcCtrl::miBeendenClick() {
    close();
}

void TF_IIcCtrl::miInfoClick() {
    if (F_Info) F_Info->exec();
}
// --- ProjectFileHost ---

int TF_IIcCtrl::formLeft(Form f) const {
    if (f == MainForm) return x();
    QWidget* w = toolWindow(f);
    return w ? w->x() : toolPos_[f][0];
}

int TF_IIcCtrl::formTop(Form f) const {
    if (f == MainForm) return y();
    QWidget* w = toolWindow(f);
    return w ? w->y() : toolPos_[f][1];
}

int TF_IIcCtrl::formWidth(Form f) const {
    if (f == MainForm) return width();
    QWidget* w = toolWindow(f);
    return w ? w->width() : 0;
}

int TF_IIcCtrl::formHeight(Form f) const {
    if (f == MainForm) return height();
    QWidget* w = toolWindow(f);
    return w ? w->height() : 0;
}

bool TF_IIcCtrl::formVisible(Form f) const {
    if (f == MainForm) return isVisible();
    QWidget* w = toolWindow(f);
    return w ? w->isVisible() : false;
}

void TF_IIcCtrl::setFormLeft(Form f, int left) {
    if (f == MainForm) {
        move(left, y());
        return;
    }
    if (QWidget* w = toolWindow(f))
        w->move(left, w->y());
    else
        toolPos_[f][0] = left;
}

void TF_IIcCtrl::setFormTop(Form f, int top) {
    if (f == MainForm) {
        move(x(), top);
        return;
    }
    if (QWidget* w = toolWindow(f))
        w->move(w->x(), top);
    else
        toolPos_[f][1] = top;
}

void TF_IIcCtrl::setFormWidth(Form f, int w) {
    if (f == MainForm && w > 0) resize(w, height());
}

void TF_IIcCtrl::setFormHeight(Form f, int h) {
    if (f == MainForm && h > 0) resize(width(), h);
}

void TF_IIcCtrl::setToolChecked(Form f, bool checked) {
    if (QAction* a = toolItem(f)) a->setChecked(checked);
}

bool TF_IIcCtrl::screenArea(int& left, int& top, int& width, int& height) const {
    const QScreen* s = screen();
    if (!s) return false;
    const QRect r = s->virtualGeometry();  // every screen of the desktop
    left = r.x(), top = r.y(), width = r.width(), height = r.height();
    return true;
}

std::string TF_IIcCtrl::shortSerial() const {
    return DeviceInfo.ShortSerial;
}
