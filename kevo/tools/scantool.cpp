#include "scantool.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QHideEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QShowEvent>
#include <QToolBar>

#include <string>
#include <thread>
#include <vector>

#include "bustelegrams.h"
#include "bustool.h"
#include "checkbinding.h"
#include "deviceinfo.h"
#include "dialogseam.h"
#include "fortschritt.h"
#include "iicctrlu.h"
#include "masterclock.h"
#include "numberedit.h"
#include "numbertext.h"
#include "projectsettings.h"
#include "toolglyphs.h"
#include "utf8text.h"
#include "vclcontrols.h"
#include "vlcom.h"

TF_ScanTool* F_ScanTool = nullptr;

namespace {

void fill(QComboBox* box, const std::vector<std::string>& items, int select) {
    box->clear();
    for (const std::string& t : items) box->addItem(q(t));
    vcl::setItemIndex(box, select < box->count() ? select : -1);
}

QComboBox* dropDown(QWidget* parent, const char* name, const QRect& r, const char* hint = nullptr) {
    auto* b = new QComboBox(parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setGeometry(r);
    b->setMaxVisibleItems(16);
    if (hint) b->setToolTip(QString::fromUtf8(hint));
    return b;
}

QLabel* label(QWidget* parent, const char* name, const char* text, const QRect& r) {
    auto* l = new QLabel(QString::fromUtf8(text), parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setGeometry(r);
    return l;
}

// The scan's end on every path: progress dialog closed, the master clock of the settings
// sent again, the scan's reference on the link given back.
void finishScan(ProgressRun& progress) {
    progress.close();
    SendAnalyzerSetup();
    ComClose();
}

}  // namespace

TF_ScanTool::TF_ScanTool(QWidget* owner) : QWidget(owner, Qt::Dialog) {
    setObjectName(QStringLiteral("F_ScanTool"));
    setWindowTitle(QStringLiteral("I²C Bus Adress-Scan"));
    setFixedSize(177, 232);
    QFont small = font();  // the form's small dialog font, so that the designed layout fits
    small.setPointSize(8);
    setFont(small);
    move(25, 25);

    TB_ScanTool = new QToolBar(this);
    TB_ScanTool->setObjectName(QStringLiteral("TB_ScanTool"));
    TB_ScanTool->setGeometry(0, 0, 177, 28);
    TB_ScanTool->setIconSize(QSize(16, 16));
    TB_Clear =
        toolButton(TB_ScanTool, "TB_Clear", "Adress-Ergebnisliste löschen",
                   toolGlyph(-1, styleGlyph(QStyle::SP_DialogResetButton)), [this] { TB_ClearClick(); });
    TB_Scan = toolButton(TB_ScanTool, "TB_Scan", "Adress-Scan starten",
                         toolGlyph(-1, styleGlyph(QStyle::SP_BrowserReload)), [this] { TB_ScanClick(); });
    TB_ScanTool->addSeparator();
    TB_Help = toolButton(TB_ScanTool, "TB_Help", "Hilfe", toolGlyph(14, helpGlyph()), {});

    GB_DeviceScan = new QGroupBox(QStringLiteral("I²C-Bus AdressScan"), this);
    GB_DeviceScan->setObjectName(QStringLiteral("GB_DeviceScan"));
    GB_DeviceScan->setGeometry(4, 30, 169, 198);
    LB_DeviceList = new QListWidget(GB_DeviceScan);
    LB_DeviceList->setObjectName(QStringLiteral("LB_DeviceList"));
    LB_DeviceList->setGeometry(8, 20, 64, 170);
    LB_DeviceList->setToolTip(
        QStringLiteral("Doppelclick auf Eintrag zum Übertragen in  Sende/Empfangstool "));
    connect(LB_DeviceList, &QListWidget::itemDoubleClicked, this, [this] { LB_DeviceListDblClick(); });

    L_BusClk = label(GB_DeviceScan, "L_BusClk", "Bustakt", QRect(80, 20, 80, 16));
    CB_MClk = dropDown(GB_DeviceScan, "CB_MClk", QRect(80, 36, 82, 24));
    L_von = label(GB_DeviceScan, "L_von", "von Adresse", QRect(80, 70, 80, 16));
    CB_vonAdresse =
        dropDown(GB_DeviceScan, "CB_vonAdresse", QRect(80, 86, 82, 24), "erste Adresse auswählen");
    L_bis = label(GB_DeviceScan, "L_bis", "bis Adresse", QRect(80, 120, 80, 16));
    CB_bisAdresse =
        dropDown(GB_DeviceScan, "CB_bisAdresse", QRect(80, 136, 82, 24), "letze Adresse auswählen");
    // Change handlers follow the shown entry, never a selection made in code.
    vcl::onChoose(CB_MClk, [this] { CB_MClkChange(); });
    vcl::onChoose(CB_vonAdresse, [this] { CB_vonAdresseChange(); });
    vcl::onChoose(CB_bisAdresse, [this] { CB_bisAdresseChange(); });
}

void TF_ScanTool::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    if (!e->spontaneous()) FormShow();
}

void TF_ScanTool::closeEvent(QCloseEvent* e) {
    if (BlockingRun::closeWaits(this))
        e->ignore();
    else
        QWidget::closeEvent(e);
}

void TF_ScanTool::hideEvent(QHideEvent* e) {
    QWidget::hideEvent(e);
    if (!e->spontaneous()) FormHide();
}

void TF_ScanTool::FormShow() {
    const TProjectSettings& s = ProjectSettings;
    std::vector<std::string> clocks;
    const int k = MasterClockList(clocks, DeviceInfo.SystemClock, s.MasterClockHz);
    fill(CB_MClk, clocks, k);
    if (F_IIcCtrl) F_IIcCtrl->setToolChecked(ProjectFileHost::ScanForm, true);
    // The master clock's own divisor, whichever item the list shows.
    ScanClockDivider = ScanDivisor(DeviceInfo.SystemClock, s.MasterClockHz);
    fillFromList();
    fillToList();
}

void TF_ScanTool::FormHide() {
    if (F_IIcCtrl) F_IIcCtrl->setToolChecked(ProjectFileHost::ScanForm, false);
}

void TF_ScanTool::fillFromList() {
    const TProjectSettings& s = ProjectSettings;
    fill(CB_vonAdresse, ScanAddressItems(kScanFirstAddress, s.ScanTo), ScanFromIndex(s.ScanFrom, s.ScanTo));
}

void TF_ScanTool::fillToList() {
    const TProjectSettings& s = ProjectSettings;
    fill(CB_bisAdresse, ScanAddressItems(s.ScanFrom, kScanLastAddress), ScanToIndex(s.ScanFrom, s.ScanTo));
}

void TF_ScanTool::settingsEntered() {
    if (!isVisible()) return;
    fillFromList();
    fillToList();
}

void TF_ScanTool::takeShownLists() {
    const auto differs = [](QComboBox* list, std::int32_t stored) {
        return list->currentIndex() >= 0 && ParseNumberText(s8(list->currentText())) != stored;
    };
    if (differs(CB_vonAdresse, ProjectSettings.ScanFrom)) CB_vonAdresseChange();
    if (differs(CB_bisAdresse, ProjectSettings.ScanTo)) CB_bisAdresseChange();
}

void TF_ScanTool::CB_MClkChange() {
    const std::int32_t hz = MasterClockItemHz(s8(CB_MClk->currentText()));
    ScanClockDivider = ScanDivisor(DeviceInfo.SystemClock, hz);
}

void TF_ScanTool::CB_vonAdresseChange() {
    if (CB_vonAdresse->currentIndex() < 0) return;
    ProjectSettings.ScanFrom = ParseNumberText(s8(CB_vonAdresse->currentText()));
    fillToList();
}

void TF_ScanTool::CB_bisAdresseChange() {
    if (CB_bisAdresse->currentIndex() < 0) return;
    ProjectSettings.ScanTo = ParseNumberText(s8(CB_bisAdresse->currentText()));
    fillFromList();
}

void TF_ScanTool::LB_DeviceListDblClick() {
    QListWidgetItem* item = LB_DeviceList->currentItem();
    if (!item || !item->isSelected() || !F_BusTool || !F_BusTool->isVisible()) return;
    // The address goes in through the field's typing rule; the setting takes what the field
    // then shows.
    NumberEdit* n = NumberEdit::of(F_BusTool->E_DevAdr);
    n->setText(item->text());
    ProjectSettings.BusDevAddr = n->value();
}

void TF_ScanTool::TB_ClearClick() {
    LB_DeviceList->clear();
}

void TF_ScanTool::TB_ScanClick() {
    takeShownLists();
    if (!ComOpen()) return;
    const std::int32_t from = ProjectSettings.ScanFrom, to = ProjectSettings.ScanTo;
    ProgressRun progress("I²C Adress-Scan", 0, 100);
    try {
        const std::int32_t total = ScanAddressCount(from, to);
        ComSend(ScanClockTelegram(ScanClockDivider));
        for (std::int32_t a : ScanAddresses(from, to)) {
            progress.position(ScanProgress(a, from, total));
            const std::string probe = ScanProbeTelegram(a);
            for (int attempt = 0; attempt < 3; ++attempt) {
                const ProbeVerdict v = ScanProbeVerdict(ComQuery(probe));
                if (v == ProbeVerdict::Retry) continue;
                if (v == ProbeVerdict::Found) {
                    LB_DeviceList->addItem(q(FormatNumberText(a, NumberFormat::hexByte())));
                    std::this_thread::yield();
                }
                break;
            }
            if (ComPortGone()) break;  // the adapter was unplugged: no further address can answer
        }
    } catch (...) {
        // A reply the runtime cannot convert: the link and the clock are put right before the
        // error reaches the event loop's box.
        finishScan(progress);
        throw;
    }
    finishScan(progress);
    if (ComPortGone())
        dialogs::messageDlgPos("Datenübertragung fehlgeschlagen!\nVerbindung prüfen.",
                               dialogs::MsgType::Error, dialogs::mbOK, x() + 150, y() + 150);
}
