// The address-scan tool F_ScanTool: probes every even address of the chosen range with an
// empty write telegram and lists the addresses that acknowledge. The scan runs at a bus clock
// chosen here (ScanClockDivider), and the master clock of the settings is sent again at its
// end; MasterClockHz is never changed. A double click on a found address hands it to the bus
// telegram tool while that window is visible.
//
// One instance, created by the program entry and registered with the main window. GUI thread
// only; a scan blocks the thread until the last address is done and holds one reference on
// the command link from its start to its end.
#pragma once

#include <QWidget>

#include <cstdint>

#include "projectsettings.h"

class QAction;
class QComboBox;
class QGroupBox;
class QLabel;
class QListWidget;
class QToolBar;

class TF_ScanTool : public QWidget, private SettingsFollower {
    Q_OBJECT
  public:
    explicit TF_ScanTool(QWidget* owner = nullptr);

    // --- Components ---
    QToolBar* TB_ScanTool;
    QAction *TB_Clear, *TB_Scan, *TB_Help;
    QGroupBox* GB_DeviceScan;
    QListWidget* LB_DeviceList;
    QLabel *L_BusClk, *L_von, *L_bis;
    QComboBox *CB_MClk, *CB_vonAdresse, *CB_bisAdresse;

    // The adapter's clock divisor for the scan; the bus clock is SystemClock / (5 * (n + 1)).
    std::uint32_t ScanClockDivider = 0;

    // --- Handlers ---
    void FormShow();
    void FormHide();
    void FormActivate() {}
    void CB_MClkChange();
    void CB_vonAdresseChange();
    void CB_bisAdresseChange();
    void LB_DeviceListDblClick();
    void TB_ClearClick();
    void TB_ScanClick();

  protected:
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void hideEvent(QHideEvent* e) override;

  private:
    void fillFromList();
    void fillToList();
    // The range each address list shows, however its entry was set, is the range scanned.
    void takeShownLists();
    // The lists take a range as it changes as a whole (a project loaded); nothing is typed here.
    void settingsLeaving() override {}
    void settingsEntered() override;
};

extern TF_ScanTool* F_ScanTool;
