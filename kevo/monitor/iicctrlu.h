// The main window TF_IIcCtrl: menus, tool bar, trace view and status bar; start-up (paths,
// configuration file, current project, link to the adapter), the recording control, the
// settings command, the log-file commands, printing, and closing. Its units: iicctrlu.cpp
// (behaviour), iicctrlu_layout.cpp (layout), iicctrlu_logcommands.cpp (log files), with
// the pure rules in statustexts and programpaths and the glyphs in commandglyphs.
//
// One instance, F_IIcCtrl, created first by the program entry. GUI thread only; the capture
// thread reaches the window only through its synchronous hand-overs. Paths are UTF-8 with
// "/" as separator; directories carry a trailing "/".
#pragma once

#include <QMainWindow>
#include <QPixmap>
#include <QPointer>
#include <QVector>
#include <cstdint>
#include <functional>
#include <string>

#include "configfile.h"
#include "docflags.h"
#include "programpaths.h"

class QAction;
class QLabel;
class QMenu;
class QMenuBar;
class QPrinter;
class QStatusBar;
class QToolBar;
class TraceView;
class CaptureStore;
class ThIIcWatch;

// The program's version text (about box): three lines, the first "KEVO 1.00a".
extern const std::string VersionText;

// Results of the settings dialog's modal run.
constexpr int SettingsChanged = 1;    // OK, something changed
constexpr int SettingsCancelled = 2;  // Cancel: nothing written
constexpr int SettingsUnchanged = 6;  // OK, nothing changed

class TF_IIcCtrl : public QMainWindow, public ProjectFileHost {
    Q_OBJECT
  public:
    explicit TF_IIcCtrl(QWidget* owner = nullptr);
    ~TF_IIcCtrl() override;

    // --- Components ---
    QMenuBar* Hauptmenu = nullptr;
    QMenu *mmDatei = nullptr, *mmProjekt = nullptr, *mmAnalyzer = nullptr, *mmTools = nullptr,
          *mmHilfe = nullptr;
    QAction *miNew = nullptr, *miOpen = nullptr, *miSave = nullptr, *miSaveAs = nullptr, *miSearch = nullptr,
            *miPrint = nullptr, *miBeenden = nullptr;
    QAction *miNewProjekt = nullptr, *miOpenProj = nullptr, *miSaveProj = nullptr, *miSaveProjAs = nullptr,
            *miSetup = nullptr;
    QAction *miAnlStart = nullptr, *miAnlStop = nullptr;
    QAction *miScanTool = nullptr, *miBusTool = nullptr, *miMemTool = nullptr;
    QAction* miInfo = nullptr;

    QToolBar* TB_Main = nullptr;
    QAction *TB_New = nullptr, *TB_Open = nullptr, *TB_Save = nullptr, *TB_Search = nullptr,
            *TB_Print = nullptr;
    QAction *TB_NewProjekt = nullptr, *TB_OpenProj = nullptr, *TB_SaveProj = nullptr, *TB_Setup = nullptr;
    QAction *TB_AnlStart = nullptr, *TB_AnlStop = nullptr;
    QAction *TB_ScanTool = nullptr, *TB_BusTool = nullptr, *TB_MemTool = nullptr;

    TraceView* RE_I2CMonitor = nullptr;
    QStatusBar* SBarMain = nullptr;
    QLabel* SBarPanels[5] = {nullptr, nullptr, nullptr, nullptr, nullptr};

    // The glyphs: one per command, normal, highlighted and disabled.
    QVector<QPixmap> IL_HMToolbar, IL_HMToolbarH, IL_HMToolbarD;

    // --- State ---
    std::string ConfigPath;   // the configuration file
    std::string ProgramDir;   // directory of the program, trailing "/"
    std::string ProjectDir;   // project base directory, trailing "/"
    std::string ProjectPath;  // current project file; empty = the default project
    std::string LogPath;      // current binary log; empty = not yet named
    std::int32_t DocFlags = 0;
    ThIIcWatch* CaptureThread = nullptr;  // only while a recording runs

    // The text of a status panel (0..4).
    QString panelText(int i) const;
    // Where message boxes of this window go: left + 150, top + 150.
    int boxX() const;
    int boxY() const;

    // --- Window events ---
    void FormShow();
    void FormPaint();
    void FormResize();
    void FormCloseQuery(bool& CanClose);
    void FormClose();

    // --- Commands ---
    void UpdateStatus();
    // Enables every command's item and button as its state allows (the log and project
    // commands, start and stop, the tools).
    void UpdateFileCommands();
    // Whether the command of this item or button may run in the present state. Its handler
    // refuses it otherwise, by whatever door it comes; the enabling reads the same rules.
    bool commandAllowed(const QAction* command) const;
    void UpdateToolCommands();
    void StartAnalyzer();
    void StopAnalyzer();

    void miNewClick();
    void miOpenClick();
    void miSaveClick();
    void miSaveAsClick();
    void miAnlStartClick();
    void miAnlStopClick();
    void miSetupClick();
    // Project commands (projekte.cpp).
    void miNewProjektClick();
    void miOpenProjClick();
    void miSaveProjClick();
    void miSaveProjAsClick();
    void miScanToolClick();
    void miBusToolClick();
    void miMemToolClick();
    void TB_ScanToolClick();
    void TB_BusToolClick();
    void TB_MemToolClick();
    void miSearchClick();
    void miPrintClick();
    void miBeendenClick();
    void miInfoClick();

    // --- Log files ---
    void SaveProtokoll(std::string path);
    void LoadProtokoll(const std::string& path);

    // The tool windows (created by the program entry); null while there is none.
    void setToolWindow(Form f, QWidget* window);
    QWidget* toolWindow(Form f) const;
    // The search window (shown modeless by the search command); null while there is none.
    void setSearchWindow(QWidget* window) { searchWindow_ = window; }

    // Runs the settings dialog modally: 1 OK with changes, 6 OK without, 2 Cancel.
    int runSettingsDialog();
    // Prints the whole trace on printer under the job title "I²C-Analyzer Protokoll".
    void printTrace(QPrinter& printer);
    // Whether the latest SaveProtokoll wrote the binary log.
    bool lastSaveOk() const { return lastSaveOk_; }

    // --- ProjectFileHost ---
    int formLeft(Form f) const override;
    int formTop(Form f) const override;
    int formWidth(Form f) const override;
    int formHeight(Form f) const override;
    bool formVisible(Form f) const override;
    void setFormLeft(Form f, int left) override;
    void setFormTop(Form f, int top) override;
    void setFormWidth(Form f, int width) override;
    void setFormHeight(Form f, int height) override;
    void setToolChecked(Form f, bool checked) override;
    bool screenArea(int& left, int& top, int& width, int& height) const override;
    std::string configPath() const override { return ConfigPath; }
    std::string projectDir() const override { return ProjectDir; }
    std::string projectPath() const override { return ProjectPath; }
    void setProjectPath(const std::string& path) override { ProjectPath = path; }
    std::string shortSerial() const override;

  protected:
    void showEvent(QShowEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

  private:
    class ClientArea;
    friend class ClientArea;

    void buildMenus();
    void buildToolBar();
    void buildGlyphs();
    void buildStatusBar();
    void adapterLinkLoop();
    bool portTest();
    void setMenuEnabled(QMenu* menu, bool enabled);
    unsigned commandStates() const;
    // Enables the items and buttons of the commands that need one of the states among.
    void enableCommands(unsigned among);
    // Runs handler as the command of command, unless its state does not allow it.
    void runCommand(const QAction* command, void (TF_IIcCtrl::*handler)());
    void toolMenuCommand(Form f, QAction* item);
    void toolButtonCommand(Form f);
    QAction* toolItem(Form f) const;

    QWidget* client_ = nullptr;
    bool shown_ = false;
    bool closed_ = false;
    CaptureStore* store_ = nullptr;
    // Windows of their own, which may go before this one: held so that a gone one reads null.
    QPointer<QWidget> tools_[4];
    QPointer<QWidget> searchWindow_;
    int toolPos_[4][2] = {{0, 0}, {25, 25}, {25, 25}, {25, 25}};  // tool windows not built yet
    bool lastSaveOk_ = false;
    // The tools as the master setting last made them available; until then (offline start-up)
    // they keep their initial state.
    bool toolsAvailable_ = true;
    void saveLogAndMark();
};

extern TF_IIcCtrl* F_IIcCtrl;
