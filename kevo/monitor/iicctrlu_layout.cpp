// The main window's layout: client area, glyphs, menus, tool bar and status bar, built once
// by the constructor. The commands they run live in the other iicctrlu units.
#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>

#include "commandglyphs.h"
#include "iicctrlu.h"
#include "kevoapplication.h"
#include "statustexts.h"
#include "traceview.h"

// The client area below the menu bar: tool bar on top, status bar at the bottom, the trace
// view between them, placed by FormResize.
class TF_IIcCtrl::ClientArea : public QWidget {
  public:
    explicit ClientArea(TF_IIcCtrl* owner) : QWidget(owner), owner_(owner) {}

  protected:
    void resizeEvent(QResizeEvent* e) override {
        QWidget::resizeEvent(e);
        owner_->FormResize();
    }

  private:
    TF_IIcCtrl* owner_;
};

TF_IIcCtrl::TF_IIcCtrl(QWidget* owner) : QMainWindow(owner) {
    setObjectName(QStringLiteral("F_IIcCtrl"));
    setWindowTitle(QString::fromUtf8(MainCaption));
    QFont f(QStringLiteral("MS Sans Serif"));
    f.setFamilies(
        {QStringLiteral("MS Sans Serif"), QStringLiteral("DejaVu Sans"), QStringLiteral("Sans Serif")});
    f.setPixelSize(11);
    setFont(f);

    client_ = new ClientArea(this);
    setCentralWidget(client_);

    buildGlyphs();
    buildMenus();
    buildToolBar();

    RE_I2CMonitor = new TraceView(client_);
    RE_I2CMonitor->setObjectName(QStringLiteral("RE_I2CMonitor"));
    RE_I2CMonitor->setToolTip(QString::fromUtf8("Darstellungsfenster für Analyzer-Protokoll"));

    buildStatusBar();

    // Designed client area 592 x 378 at 571, 180; the project file may override both. The
    // window is never smaller than 600 x 412, which the designed size is widened to.
    const int menuHeight = Hauptmenu->sizeHint().height();
    setMinimumSize(600, 412);
    resize(592, 378 + menuHeight);
    move(571, 180);
}

void TF_IIcCtrl::buildGlyphs() {
    for (int i = 0; i < CommandGlyphCount; ++i) {
        const QPixmap pm = commandGlyph(i, style());
        IL_HMToolbar.append(pm);
        IL_HMToolbarH.append(highlightedGlyph(pm));
        IL_HMToolbarD.append(disabledGlyph(pm));
    }
}

void TF_IIcCtrl::buildMenus() {
    Hauptmenu = menuBar();
    Hauptmenu->setObjectName(QStringLiteral("Hauptmenu"));
    auto icon = [this](int i) {
        QIcon ic;
        ic.addPixmap(IL_HMToolbar[i], QIcon::Normal);
        ic.addPixmap(IL_HMToolbarH[i], QIcon::Active);
        ic.addPixmap(IL_HMToolbarD[i], QIcon::Disabled);
        return ic;
    };
    auto menu = [this](const char* name, const char* caption) {
        QMenu* m = Hauptmenu->addMenu(QString::fromUtf8(caption));
        m->setObjectName(QString::fromLatin1(name));
        m->setToolTipsVisible(true);
        return m;
    };
    auto item = [&icon](QMenu* m, const char* name, const char* caption, const char* hint, int glyph,
                        auto handler, TF_IIcCtrl* self) {
        QAction* a = m->addAction(QString::fromUtf8(caption));
        a->setObjectName(QString::fromLatin1(name));
        if (hint) a->setToolTip(QString::fromUtf8(hint));
        if (glyph >= 0) a->setIcon(icon(glyph));
        // Every command runs guarded: its exception is shown at the command, not in Qt's menu
        // code; and only where its state allows it.
        if (handler)
            QObject::connect(a, &QAction::triggered, self,
                             [self, a, handler] { self->runCommand(a, handler); });
        return a;
    };
    using H = void (TF_IIcCtrl::*)();
    const H none = nullptr;

    mmDatei = menu("mmDatei", "&Datei");
    miNew =
        item(mmDatei, "miNew", "&Neu", "Neues Protokoll-Dokument erzeugen", 0, &TF_IIcCtrl::miNewClick, this);
    miOpen = item(mmDatei, "miOpen", "Ö&ffnen", "Protokolldatei laden", 1, &TF_IIcCtrl::miOpenClick, this);
    miSave = item(mmDatei, "miSave", "&Speichern", "Analyzerprotokoll in Datei speichern", 2,
                  &TF_IIcCtrl::miSaveClick, this);
    miSaveAs = item(mmDatei, "miSaveAs", "Speichern &unter", nullptr, -1, &TF_IIcCtrl::miSaveAsClick, this);
    mmDatei->addSeparator();
    miSearch = item(mmDatei, "miSearch", "&Suchen", "Eintrag im Protokoll suchen", 3,
                    &TF_IIcCtrl::miSearchClick, this);
    mmDatei->addSeparator();
    miPrint =
        item(mmDatei, "miPrint", "Protokoll&druck", "Protokoll drucken", 4, &TF_IIcCtrl::miPrintClick, this);
    mmDatei->addSeparator();
    miBeenden = item(mmDatei, "miBeenden", "&Beenden", nullptr, -1, &TF_IIcCtrl::miBeendenClick, this);

    // The project commands live in their own unit (projekte.cpp).
    mmProjekt = menu("mmProjekt", "&Projekt");
    miNewProjekt = item(mmProjekt, "miNewProjekt", "&Neues Projekt", "Neues Projekt erzeugen", 5,
                        &TF_IIcCtrl::miNewProjektClick, this);
    miOpenProj = item(mmProjekt, "miOpenProj", "Pr&ojekt öffnen", "Projekt öffnen", 6,
                      &TF_IIcCtrl::miOpenProjClick, this);
    miSaveProj = item(mmProjekt, "miSaveProj", "Projekt &speichern", "Projektdatei speichern", 7,
                      &TF_IIcCtrl::miSaveProjClick, this);
    miSaveProjAs = item(mmProjekt, "miSaveProjAs", "Projekt speichern &unter", nullptr, -1,
                        &TF_IIcCtrl::miSaveProjAsClick, this);
    mmProjekt->addSeparator();
    miSetup = item(mmProjekt, "miSetup", "&Einstellungen", "Projekteigenschaften einstellen", 8,
                   &TF_IIcCtrl::miSetupClick, this);

    mmAnalyzer = menu("mmAnalyzer", "&Analyzer");
    miAnlStart = item(mmAnalyzer, "miAnlStart", "&Start", "I²C-Analyzer starten", 9,
                      &TF_IIcCtrl::miAnlStartClick, this);
    miAnlStop =
        item(mmAnalyzer, "miAnlStop", "Sto&p", "I²C-Analyzer stoppen", 10, &TF_IIcCtrl::miAnlStopClick, this);

    mmTools = menu("mmTools", "&Tools");
    miScanTool = item(mmTools, "miScanTool", "&Adress-Scan",
                      "I²C-Bus auf vergebene Bausteinadressen durchsuchen", 11, none, this);
    miBusTool = item(mmTools, "miBusTool", "Schreiben/&Lesen",
                     "Daten auf I²C-Adresse schreiben, aus I²C-Adresse lesen", 12, none, this);
    miMemTool =
        item(mmTools, "miMemTool", "&Speichermonitor", "Monitor für I²C Speichebausteine", 13, none, this);
    // The tool items carry check marks set by the tool windows; a click must not toggle
    // them by itself, so the handler sees the mark as it was.
    for (QAction* a : {miScanTool, miBusTool, miMemTool}) {
        a->setCheckable(true);
        a->setChecked(false);
    }
    connect(miScanTool, &QAction::triggered, this, [this] {
        miScanTool->setChecked(!miScanTool->isChecked());
        runCommand(miScanTool, &TF_IIcCtrl::miScanToolClick);
    });
    connect(miBusTool, &QAction::triggered, this, [this] {
        miBusTool->setChecked(!miBusTool->isChecked());
        runCommand(miBusTool, &TF_IIcCtrl::miBusToolClick);
    });
    connect(miMemTool, &QAction::triggered, this, [this] {
        miMemTool->setChecked(!miMemTool->isChecked());
        runCommand(miMemTool, &TF_IIcCtrl::miMemToolClick);
    });

    mmHilfe = menu("mmHilfe", "&Hilfe");
    miInfo = item(mmHilfe, "miInfo", "&Info", nullptr, -1, &TF_IIcCtrl::miInfoClick, this);
}

void TF_IIcCtrl::buildToolBar() {
    TB_Main = new QToolBar(client_);
    TB_Main->setObjectName(QStringLiteral("TB_Main"));
    TB_Main->setMovable(false);
    TB_Main->setFloatable(false);
    TB_Main->setIconSize(QSize(16, 16));
    TB_Main->setToolButtonStyle(Qt::ToolButtonIconOnly);
    TB_Main->setFixedHeight(24);

    // A bound button takes its item's caption, hint, glyph and enabled state once, and runs
    // the item's command.
    auto bound = [this](const char* name, QAction* item) {
        QAction* b = new QAction(item->icon(), item->text(), this);
        b->setObjectName(QString::fromLatin1(name));
        b->setToolTip(item->toolTip());
        b->setEnabled(item->isEnabled());
        connect(b, &QAction::triggered, item, &QAction::trigger);
        TB_Main->addAction(b);
        return b;
    };
    auto own = [this](const char* name, const char* caption, const char* hint, int glyph) {
        QIcon ic;
        ic.addPixmap(IL_HMToolbar[glyph], QIcon::Normal);
        ic.addPixmap(IL_HMToolbarH[glyph], QIcon::Active);
        ic.addPixmap(IL_HMToolbarD[glyph], QIcon::Disabled);
        QAction* b = new QAction(ic, QString::fromUtf8(caption), this);
        b->setObjectName(QString::fromLatin1(name));
        b->setToolTip(QString::fromUtf8(hint));
        TB_Main->addAction(b);
        return b;
    };
    TB_New = bound("TB_New", miNew);
    TB_Open = bound("TB_Open", miOpen);
    TB_Save = bound("TB_Save", miSave);
    TB_Search = bound("TB_Search", miSearch);
    TB_Print = bound("TB_Print", miPrint);
    TB_Main->addSeparator();
    TB_NewProjekt = bound("TB_NewProjekt", miNewProjekt);
    TB_OpenProj = bound("TB_OpenProj", miOpenProj);
    TB_SaveProj = bound("TB_SaveProj", miSaveProj);
    TB_Setup = bound("TB_Setup", miSetup);
    TB_Main->addSeparator();
    TB_AnlStart = bound("TB_AnlStart", miAnlStart);
    TB_AnlStop = bound("TB_AnlStop", miAnlStop);
    TB_Main->addSeparator();
    TB_ScanTool =
        own("TB_ScanTool", "&Adress-Scan",
            "Tool um I²C-Bus auf vergebene Bausteinadressen durchsuchen aktivieren bzw. öffnen", 11);
    TB_BusTool =
        own("TB_BusTool", "Senden/&Empfangen",
            "Tool um Daten auf I²C-Adresse schreiben, aus I²C-Adresse lesen aktivieren bzw. öffnen", 12);
    TB_MemTool =
        own("TB_MemTool", "&Speichermonitor", "Tool  I²C-Speicher bearbeiten aktivieren bzw. öffnen", 13);
    connect(TB_ScanTool, &QAction::triggered, this,
            [this] { runCommand(TB_ScanTool, &TF_IIcCtrl::TB_ScanToolClick); });
    connect(TB_BusTool, &QAction::triggered, this,
            [this] { runCommand(TB_BusTool, &TF_IIcCtrl::TB_BusToolClick); });
    connect(TB_MemTool, &QAction::triggered, this,
            [this] { runCommand(TB_MemTool, &TF_IIcCtrl::TB_MemToolClick); });
}

void TF_IIcCtrl::buildStatusBar() {
    SBarMain = new QStatusBar(client_);
    SBarMain->setObjectName(QStringLiteral("SBarMain"));
    SBarMain->setSizeGripEnabled(false);
    SBarMain->setFixedHeight(19);
    SBarMain->setContentsMargins(0, 0, 0, 0);
    const int widths[5] = {90, 80, 150, 120, 200};
    const char* const texts[5] = {"Gerät", "Pegel", "Tasttakt", "Mastertakt", "Projekt"};
    for (int i = 0; i < 5; ++i) {
        SBarPanels[i] = new QLabel(QString::fromUtf8(texts[i]), SBarMain);
        SBarPanels[i]->setObjectName(QStringLiteral("SBarPanel%1").arg(i));
        SBarPanels[i]->setFrameShape(QFrame::Panel);
        SBarPanels[i]->setFrameShadow(QFrame::Sunken);
        // The designed widths; the first four grow to their text when the desktop's font
        // needs more room and are never squeezed below it. The project panel takes what is
        // left and is cut at the window's edge when that is too little.
        SBarPanels[i]->setMinimumWidth(i == 4 ? 0 : widths[i]);
        SBarPanels[i]->setSizePolicy(i == 4 ? QSizePolicy::Ignored : QSizePolicy::Minimum,
                                     QSizePolicy::Fixed);
        SBarPanels[i]->setMinimumHeight(17);
        SBarMain->addWidget(SBarPanels[i], i == 4 ? 1 : 0);
    }
}

QString TF_IIcCtrl::panelText(int i) const {
    return (i >= 0 && i < 5) ? SBarPanels[i]->text() : QString();
}
