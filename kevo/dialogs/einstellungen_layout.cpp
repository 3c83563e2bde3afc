// The settings dialog's layout: the form, its five pages and their controls, with the
// handlers bound. What the handlers do is in einstellungen.cpp.
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTabWidget>

#include "checkbinding.h"
#include "einstellungen.h"
#include "numberedit.h"
#include "numbertext.h"
#include "traceview.h"
#include "vclcontrols.h"

namespace {

// The colour box: the sixteen standard colours and four extended ones (money green, sky
// blue, cream, medium grey), by plain German names.
struct NamedColor {
    const char* name;     // UTF-8
    std::uint32_t value;  // COLORREF
};
const NamedColor kColorBoxColors[] = {
    {"Schwarz", 0x000000},  {"Kastanienbraun", 0x000080}, {"Grün", 0x008000},
    {"Olivgrün", 0x008080}, {"Marineblau", 0x800000},     {"Purpur", 0x800080},
    {"Blaugrün", 0x808000}, {"Grau", 0x808080},           {"Silber", 0xC0C0C0},
    {"Rot", 0x0000FF},      {"Hellgrün", 0x00FF00},       {"Gelb", 0x00FFFF},
    {"Blau", 0xFF0000},     {"Fuchsia", 0xFF00FF},        {"Türkis", 0xFFFF00},
    {"Weiß", 0xFFFFFF},     {"Dollargrün", 0xC0DCC0},     {"Himmelblau", 0xF0CAA6},
    {"Creme", 0xF0FBFF},    {"Mittelgrau", 0xA4A0A0},
};

QLabel* label(const QString& text, QWidget* parent, int x, int y, int w, int h = 18) {
    auto* l = new QLabel(text, parent);
    l->setGeometry(x, y, w, h);
    return l;
}

template <typename W>
W* named(W* w, const char* name, const QRect& r, const char* hint = nullptr) {
    w->setObjectName(QString::fromLatin1(name));
    w->setGeometry(r);
    if (hint) w->setToolTip(QString::fromUtf8(hint));
    return w;
}

QGroupBox* group(const char* caption, QWidget* parent, const QRect& r, const char* hint = nullptr) {
    auto* g = new QGroupBox(QString::fromUtf8(caption), parent);
    g->setGeometry(r);
    if (hint) g->setToolTip(QString::fromUtf8(hint));
    return g;
}

// One radio button of a column: the member it goes into, its name and caption.
struct RadioSpec {
    QRadioButton** member;
    const char* name;
    const char* caption;  // UTF-8
};

// A column of radio buttons in parent, the first at first, each next one step lower;
// bind(i, button) binds the click of button i.
template <size_t N, typename Bind>
void radioColumn(QWidget* parent, const RadioSpec (&spec)[N], QRect first, int step, Bind bind) {
    for (size_t i = 0; i < N; ++i) {
        QRadioButton* b = named(new QRadioButton(QString::fromUtf8(spec[i].caption), parent), spec[i].name,
                                first.translated(0, int(i) * step));
        *spec[i].member = b;
        bind(int(i), b);
    }
}

void colorLabel(QLabel* l, const QColor& background, const QColor& text = Qt::black) {
    QPalette p = l->palette();
    p.setColor(QPalette::Window, background);
    p.setColor(QPalette::WindowText, text);
    l->setPalette(p);
    l->setAutoFillBackground(true);
    l->setAlignment(Qt::AlignCenter);
}

}  // namespace

TF_Einstellungen::TF_Einstellungen(QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("F_Einstellungen"));
    setWindowTitle(QStringLiteral("Einstellungen"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(466, 328);
    // The pages are laid out in pixels for an 8-point font; a larger desktop font would clip
    // their captions.
    QFont f = font();
    f.setPointSize(8);
    setFont(f);

    PC_Einstellungen = named(new QTabWidget(this), "PC_Einstellungen", QRect(4, 4, 458, 284));
    TS_Geraet = new QWidget;
    TS_Geraet->setObjectName(QStringLiteral("TS_Geraet"));
    TS_Probes = new QWidget;
    TS_Probes->setObjectName(QStringLiteral("TS_Probes"));
    TS_Analyzer = new QWidget;
    TS_Analyzer->setObjectName(QStringLiteral("TS_Analyzer"));
    TS_Monitor = new QWidget;
    TS_Monitor->setObjectName(QStringLiteral("TS_Monitor"));
    TS_Master = new QWidget;
    TS_Master->setObjectName(QStringLiteral("TS_Master"));
    PC_Einstellungen->addTab(TS_Geraet, QStringLiteral("Gerät / System"));
    PC_Einstellungen->addTab(TS_Probes, QStringLiteral("Probes"));
    PC_Einstellungen->addTab(TS_Analyzer, QStringLiteral("I²C-Analyzer"));
    PC_Einstellungen->addTab(TS_Monitor, QStringLiteral("I²C-Monitor"));
    PC_Einstellungen->addTab(TS_Master, QStringLiteral("Parvelo"));
    PC_Einstellungen->setCurrentIndex(0);
    connect(PC_Einstellungen, &QTabWidget::currentChanged, this, [this](int i) {
        if (PC_Einstellungen->widget(i) == TS_Geraet) TS_GeraetShow();
    });

    buildDevicePage();
    buildProbesPage();
    buildAnalyzerPage();
    buildMonitorPage();
    buildMasterPage();

    BB_Ok = named(new QPushButton(QStringLiteral("Ok"), this), "BB_Ok", QRect(206, 296, 80, 25),
                  "Einstellungen übernehmen und beenden");
    BB_Cancel = named(new QPushButton(QStringLiteral("Abbrechen"), this), "BB_Cancel",
                      QRect(292, 296, 80, 25), "Änderungen verwerfen und beenden");
    BB_help =
        named(new QPushButton(QStringLiteral("Hilfe"), this), "BB_help", QRect(378, 296, 80, 25), "Hilfe");
    // No button is the default one: Enter in a field presses nothing.
    for (QPushButton* b : findChildren<QPushButton*>()) {
        b->setAutoDefault(false);
        b->setDefault(false);
    }
    connect(BB_Ok, &QPushButton::clicked, this, [this] { BB_OkClick(); });
    connect(BB_Cancel, &QPushButton::clicked, this, [this] { BB_CancelClick(); });
}

void TF_Einstellungen::buildDevicePage() {
    QWidget* p = TS_Geraet;
    P_Device = named(new QFrame(p), "P_Device", QRect(8, 8, 300, 112));
    P_Device->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    const char* captions[] = {"Schnittstelle:", "Baudrate:", "Firmware:", "Seriennummer:", "Optionen:"};
    const char* names[] = {"L_VPort", "L_VBaud", "L_VFirmware", "L_VSernum", "L_VOptionen"};
    const char* placeholders[] = {"COM", "USB", "kein Gerät", "123456789", "keine"};
    QLabel** values[] = {&L_VPort, &L_VBaud, &L_VFirmware, &L_VSernum, &L_VOptionen};
    for (int i = 0; i < 5; ++i) {
        label(QString::fromUtf8(captions[i]), P_Device, 8, 8 + i * 20, 96);
        *values[i] = named(new QLabel(QString::fromUtf8(placeholders[i]), P_Device), names[i],
                           QRect(108, 8 + i * 20, 186, 18));
    }

    BB_Connection = named(new QPushButton(QStringLiteral("Verbindung"), p), "BB_Connection",
                          QRect(320, 8, 120, 25), "Schnittstelle zum DOSU auswählen");
    connect(BB_Connection, &QPushButton::clicked, this, [this] { BB_ConnectionClick(); });

    label(QStringLiteral("Projekt Basisverzeichnis"), p, 8, 134, 300);
    LE_ProjektDir =
        named(new QLineEdit(p), "LE_ProjektDir", QRect(8, 152, 400, 22), "Basisverzeichnis für Projekte");
    LE_ProjektDir->setReadOnly(true);
    BB_SetProjDir = named(new QPushButton(p), "BB_SetProjDir", QRect(412, 151, 28, 24),
                          "Datenverzeichnis für Projekt auswählen");
    BB_SetProjDir->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
    connect(BB_SetProjDir, &QPushButton::clicked, this, [this] { BB_SetProjDirClick(); });

    CB_PrjAutoSave =
        named(new QCheckBox(QStringLiteral("Projekt automatisch speichern"), p), "CB_PrjAutoSave",
              QRect(8, 186, 300, 20), "Projekteinstellungen werden vor dem Verlassen gesichert");
    vcl::onCheck(CB_PrjAutoSave, [this] { CB_PrjAutoSaveClick(); });
}

void TF_Einstellungen::buildProbesPage() {
    QWidget* p = TS_Probes;
    GBLogikpegel = group("Logikpegel", p, QRect(8, 2, 144, 106), "Logikpegel des Prüflings einstellen");
    GBLogikpegel->setObjectName(QStringLiteral("GBLogikpegel"));
    const RadioSpec levels[] = {{&RB5V, "RB5V", "5 Volt"},
                                {&RB3V3, "RB3V3", "3,3 Volt"},
                                {&RB2V5, "RB2V5", "2,5 Volt"},
                                {&RB1V8, "RB1V8", "1,8 Volt"}};
    radioColumn(GBLogikpegel, levels, QRect(10, 20, 124, 20), 21, [this](int i, QRadioButton* b) {
        vcl::onCheck(b, [this, b, i] { RBLevelClick(b, i + 1); });
    });

    RG_IICMaster = group("I²C-Master", p, QRect(8, 110, 144, 88), "Probes für I²C-Bus Tools wählen");
    RG_IICMaster->setObjectName(QStringLiteral("RG_IICMaster"));
    RB_MGruenGelb = named(new QRadioButton(QStringLiteral("Gelb/Grün"), RG_IICMaster), "RB_MGruenGelb",
                          QRect(10, 20, 124, 20), "Mastercontroller auf Analyzerprobes");
    RB_MasterAus = named(new QRadioButton(QStringLiteral("aus"), RG_IICMaster), "RB_MasterAus",
                         QRect(10, 42, 124, 20), "Mastercontroller abgeschaltet");
    RB_MBlauWeiss = named(new QRadioButton(QStringLiteral("Weiß/Blau"), RG_IICMaster), "RB_MBlauWeiss",
                          QRect(10, 64, 124, 20), "Mastercontroller belegt die Universalprobes");
    vcl::onCheck(RB_MGruenGelb, [this] { RB_MGruenGelbClick(); });
    vcl::onCheck(RB_MasterAus, [this] { RB_MasterAusClick(); });
    vcl::onCheck(RB_MBlauWeiss, [this] { RB_MBlauWeissClick(); });

    QGroupBox* alt = group("Altenativfunktionen", p, QRect(8, 200, 144, 48));
    ChB_PosInputLev = named(new QCheckBox(QStringLiteral("pos. Eingangslogik"), alt), "ChB_PosInputLev",
                            QRect(8, 20, 132, 20), "markieren wenn positive Eingangslogik");
    vcl::onCheck(ChB_PosInputLev, [this] { ChB_PosInputLevClick(); });

    QGroupBox* assign = group("Probebelegung", p, QRect(158, 2, 288, 252));
    QGroupBox* analyzer = group("Analyzer-Probes", assign, QRect(8, 20, 272, 48));
    colorLabel(label(QStringLiteral("Probe 8, SCL"), analyzer, 10, 20, 120, 20), QColor(255, 255, 0));
    colorLabel(label(QStringLiteral("Probe 9, SDA"), analyzer, 142, 20, 120, 20), QColor(0, 128, 0),
               Qt::white);

    QGroupBox* universal = group("Universal-Probes", assign, QRect(8, 72, 272, 98));
    colorLabel(label(QStringLiteral("Probe  6 (SCL)"), universal, 10, 21, 96, 20), Qt::white);
    colorLabel(label(QStringLiteral("Probe 7 (SDA)"), universal, 10, 47, 96, 20), QColor(0, 0, 255),
               Qt::white);
    colorLabel(label(QStringLiteral("Probe 10, I/O"), universal, 10, 73, 96, 20), QColor(255, 0, 0),
               Qt::white);
    CB_BelegungWeiss = named(new QComboBox(universal), "CB_BelegungWeiss", QRect(114, 20, 150, 22),
                             "Alternativbelegung für Universalprobe 1");
    CB_BelegungBlau = named(new QComboBox(universal), "CB_BelegungBlau", QRect(114, 46, 150, 22),
                            "Alternativbelegung für Universalprobe 2");
    CB_BelegungRot = named(new QComboBox(universal), "CB_BelegungRot", QRect(114, 72, 150, 22));
    // The lists offer their functions only: a typed text could name no entry.
    CB_BelegungWeiss->setPlaceholderText(QStringLiteral("Belegung-Weiß"));
    CB_BelegungBlau->setPlaceholderText(QStringLiteral("Belegung-Blau"));
    CB_BelegungRot->setPlaceholderText(QStringLiteral("Belegung-Rot"));
    vcl::onChoose(CB_BelegungBlau, [this] { CB_BelegungBlauChange(); });
    vcl::onChoose(CB_BelegungWeiss, [this] { CB_BelegungWeissChange(); });
    vcl::onChoose(CB_BelegungRot, [this] { CB_BelegungRotChange(); });

    QLabel* plus = label(QStringLiteral("+5V"), assign, 12, 178, 40);
    vcl::setFontColor(plus, Qt::red);
    QLabel* gnd = label(QStringLiteral("GND"), assign, 60, 178, 40);
    vcl::setFontColor(gnd, Qt::black);
    label(QStringLiteral("max. 50mA für Prüfadapter"), assign, 12, 198, 200);
    label(QStringLiteral("nicht  Potentialgetrennt"), assign, 12, 218, 200);
    QLabel* warn = label(QString(), assign, 230, 184, 40, 40);
    warn->setObjectName(QStringLiteral("Img_Warnung"));
    warn->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(32, 32));
    warn->setToolTip(QStringLiteral("Keine Potentialtrennung. Sicherheitshinweise im Handbuch lesen!"));
}

void TF_Einstellungen::buildAnalyzerPage() {
    QWidget* p = TS_Analyzer;
    GBmaxI2CTakt = group("I²C Bustakt", p, QRect(8, 2, 136, 106), "Abtastfilter für Analyzer");
    GBmaxI2CTakt->setObjectName(QStringLiteral("GBmaxI2CTakt"));
    const RadioSpec clocks[] = {{&RBSysClk, "RBSysClk", "Sys-Takt"},
                                {&RBSysClk2, "RBSysClk2", "Sys-Takt /2"},
                                {&RBSysClk4, "RBSysClk4", "Sys-Takt /4"},
                                {&RBSysClk8, "RBSysClk8", "Sys-Takt /8"}};
    radioColumn(GBmaxI2CTakt, clocks, QRect(10, 20, 120, 20), 21,
                [this](int i, QRadioButton* b) { vcl::onCheck(b, [this, b, i] { RBSysClkClick(b, i); }); });

    QGroupBox* rec = group("Aufzeichnung", p, QRect(8, 112, 136, 88), "Triggerbedingung wählen");
    RB_keinTrigger = named(new QRadioButton(QStringLiteral("sofort"), rec), "RB_keinTrigger",
                           QRect(10, 20, 120, 20), "Aufzeichnung startet mit Analyzerstart");
    RB_nachTrigger = named(new QRadioButton(QStringLiteral("nachTrigger"), rec), "RB_nachTrigger",
                           QRect(10, 42, 120, 20), "Aufzeichnung startet nach dem Triggerereignis");
    RB_solangeTrigger = named(new QRadioButton(QStringLiteral("während Trigger"), rec), "RB_solangeTrigger",
                              QRect(10, 64, 120, 20), "Aufzeichnung nur solange das Triggersignal aktiv ist");
    vcl::onCheck(RB_keinTrigger, [this] { RBTriggerClick(RB_keinTrigger, 1); });
    vcl::onCheck(RB_nachTrigger, [this] { RBTriggerClick(RB_nachTrigger, 2); });
    vcl::onCheck(RB_solangeTrigger, [this] { RBTriggerClick(RB_solangeTrigger, 3); });

    QGroupBox* sig = group("I²C-Signal Filter", p, QRect(152, 2, 294, 88));
    CB_DelayFilter = named(new QCheckBox(QStringLiteral("keine Signalhalte Filter"), sig), "CB_DelayFilter",
                           QRect(10, 20, 270, 20));
    CB_StartFilter = named(new QCheckBox(QStringLiteral("kein Startsequence Filter"), sig), "CB_StartFilter",
                           QRect(10, 42, 270, 20));
    CB_StopFilter = named(new QCheckBox(QStringLiteral("kein Stopsequence Filter"), sig), "CB_StopFilter",
                          QRect(10, 64, 270, 20));
    vcl::onCheck(CB_DelayFilter, [this] { CB_FilterClick(CB_DelayFilter, 0x01); });
    vcl::onCheck(CB_StartFilter, [this] { CB_FilterClick(CB_StartFilter, 0x02); });
    vcl::onCheck(CB_StopFilter, [this] { CB_FilterClick(CB_StopFilter, 0x04); });

    QGroupBox* data = group("Daten-Filter", p, QRect(152, 94, 294, 160));
    label(QStringLiteral("Filter-Wert"), data, 10, 20, 80, 16)
        ->setObjectName(QStringLiteral("LE_FilterByteLabel"));
    LE_FilterByte = named(new QLineEdit(data), "LE_FilterByte", QRect(10, 36, 70, 22));
    NumberEdit::bind(LE_FilterByte, {NumberField::prefixed(NumberFormat::hexByte()),
                                     [] { return 255; },
                                     {},
                                     [this](std::int32_t v) { return LE_FilterByteExit(v); }});
    CB_AnlDatFilter = named(new QCheckBox(QStringLiteral("I²C-Telegramme filtern"), data), "CB_AnlDatFilter",
                            QRect(96, 37, 190, 20));
    vcl::onCheck(CB_AnlDatFilter, [this] { CB_AnlDatFilterClick(); });
    RG_FiNegation =
        new vcl::RadioGroup(QStringLiteral("Ereignis wenn"),
                            {QStringLiteral("Wert = Filter"), QStringLiteral("Wert <> Filter")}, data);
    named(RG_FiNegation, "RG_FiNegation", QRect(8, 64, 122, 92));
    RG_FiNegation->onClick = [this] { RG_FiNegationClick(); };
    RG_FiExtTrig = new vcl::RadioGroup(QStringLiteral("Triggersignal wenn"),
                                       {QStringLiteral("Wert = Adresse"), QStringLiteral("Wert = SubAdresse"),
                                        QStringLiteral("Wert = Datenbyte")},
                                       data);
    named(RG_FiExtTrig, "RG_FiExtTrig", QRect(136, 64, 150, 92));
    RG_FiExtTrig->onClick = [this] { RG_FiExtTrigClick(); };
}

void TF_Einstellungen::buildMonitorPage() {
    QWidget* p = TS_Monitor;
    GBDarstellung = group("Darstellung", p, QRect(8, 2, 146, 88),
                          "Globale Anwendungsfilter für Schrift- und Farbattribute wählen");
    GBDarstellung->setObjectName(QStringLiteral("GBDarstellung"));
    RBAttribOnline =
        named(new QRadioButton(QStringLiteral("Attribute Online"), GBDarstellung), "RBAttribOnline",
              QRect(10, 20, 130, 20), "Attribute während der Aufzeichnung und auf Dateien anwenden");
    RBAttribOffline = named(new QRadioButton(QStringLiteral("Attribute Offline"), GBDarstellung),
                            "RBAttribOffline", QRect(10, 42, 130, 20), "Attribute nur auf Dateien anwenden");
    RBkeineAttribute =
        named(new QRadioButton(QStringLiteral("keine Attribute"), GBDarstellung), "RBkeineAttribute",
              QRect(10, 64, 130, 20), "immer Standard Schrift und Farbe verwenden");
    vcl::onCheck(RBAttribOnline, [this] { RBAttribClick(RBAttribOnline, 0); });
    vcl::onCheck(RBAttribOffline, [this] { RBAttribClick(RBAttribOffline, 1); });
    vcl::onCheck(RBkeineAttribute, [this] { RBAttribClick(RBkeineAttribute, 2); });

    GB_PrtFile = group("Protokolldatei", p, QRect(8, 94, 146, 48));
    GB_PrtFile->setObjectName(QStringLiteral("GB_PrtFile"));
    CB_PrtkAutoSave =
        named(new QCheckBox(QStringLiteral("automatisch Sichern"), GB_PrtFile), "CB_PrtkAutoSave",
              QRect(4, 20, 138, 20), "das Analyzerprotokoll wird selbständig auf Datenträger geschrieben");
    vcl::onCheck(CB_PrtkAutoSave, [this] { CB_PrtkAutoSaveClick(); });

    GBFarbAttribute = group("Farb - Attribute", p, QRect(160, 2, 286, 134),
                            "Farbattribut mit rechter Maustaste dem Merkmal zuweisen");
    GBFarbAttribute->setObjectName(QStringLiteral("GBFarbAttribute"));
    CBTextfarbe =
        named(new QComboBox(GBFarbAttribute), "CBTextfarbe", QRect(6, 20, 140, 24), "Farbe auswählen");
    for (const NamedColor& c : kColorBoxColors) {
        QPixmap swatch(14, 14);
        swatch.fill(colorFromColorRef(c.value));
        CBTextfarbe->addItem(QIcon(swatch), QString::fromUtf8(c.name), QVariant::fromValue<uint>(c.value));
    }
    CBTextfarbe->setCurrentIndex(0);
    vcl::onChoose(CBTextfarbe, [this] { CBTextfarbeChange(); });
    vcl::onExit(CBTextfarbe, [this] { CBTextfarbeExit(); });
    LDefaultColor = named(new QLabel(QStringLiteral("Standard Textfarbe"), GBFarbAttribute), "LDefaultColor",
                          QRect(152, 23, 128, 18), "Farbe für Zeichen ohne besondere Eigenschaften ");
    CBStartStop = named(new QCheckBox(QStringLiteral("Start-Stopbedingung"), GBFarbAttribute), "CBStartStop",
                        QRect(6, 50, 142, 20), "Farbe für Start- und Stopzeichen");
    CBDeviceadresse =
        named(new QCheckBox(QStringLiteral("Bausteinadresse"), GBFarbAttribute), "CBDeviceadresse",
              QRect(6, 72, 142, 20), "Farbe zum hervorheben der Bausteinadressen");
    CBSubadresse = named(new QCheckBox(QStringLiteral("Subadr./Datenbyte"), GBFarbAttribute), "CBSubadresse",
                         QRect(6, 94, 142, 20), "Farbe zum Hervorheben der Register- Speicheradresse");
    CBWriteData = named(new QCheckBox(QStringLiteral("Daten vom Master"), GBFarbAttribute), "CBWriteData",
                        QRect(152, 50, 130, 20), "Farbe für vom Master gesendete Daten");
    CBReadData = named(new QCheckBox(QStringLiteral("Daten zum Master"), GBFarbAttribute), "CBReadData",
                       QRect(152, 72, 130, 20), "Farbe für vom Slave gelesene Daten");

    GBSchriftAttribute = group("Schrift - Attribute", p, QRect(160, 140, 286, 114),
                               "Schriftattribut mit rechter Maustaste dem Merkmal zuweisen");
    GBSchriftAttribute->setObjectName(QStringLiteral("GBSchriftAttribute"));
    CBTextStyle = named(new QComboBox(GBSchriftAttribute), "CBTextStyle", QRect(6, 20, 140, 24),
                        "Schriftattribut auswählen");
    vcl::onChoose(CBTextStyle, [this] { CBTextStyleChange(); });
    vcl::onExit(CBTextStyle, [this] { CBTextStyleExit(); });
    LDefaultStyle =
        named(new QLabel(QStringLiteral("Standard Schrifttyp"), GBSchriftAttribute), "LDefaultStyle",
              QRect(152, 23, 128, 18), "Schriftart für Zeichen ohne besondere Eigenschaften ");
    CBNak = named(new QCheckBox(QStringLiteral("NAK"), GBSchriftAttribute), "CBNak", QRect(6, 50, 142, 20),
                  "Schriftattribut zur Anzeige des nagative Acknowledge");
    CBProtokollfehler =
        named(new QCheckBox(QStringLiteral("Protokollfehler"), GBSchriftAttribute), "CBProtokollfehler",
              QRect(6, 72, 142, 20), "Attribut zur Anzeige ungültiger Werte");
    CBExtPort = named(new QCheckBox(QStringLiteral("Eingangsport"), GBSchriftAttribute), "CBExtPort",
                      QRect(152, 50, 130, 20), "Attribut zur Zustandsanzeige des Eingangsports");

    using W = TWorkingSettings;
    using S = TProjectSettings;
    using R = AttributeRole;
    auto color = [](R::Kind kind, QWidget* control, std::int32_t W::*working, COLORREF S::*setting,
                    std::int32_t bit) { return R{kind, control, working, setting, nullptr, nullptr, bit}; };
    auto style = [](QWidget* control, std::int8_t W::*working, std::int8_t S::*setting, std::int32_t bit) {
        return R{R::Style, control, nullptr, nullptr, working, setting, bit};
    };
    roles_ = {
        color(R::Background, GBFarbAttribute, &W::ColorBackground, &S::ColorBackground, 0),
        color(R::TextColor, LDefaultColor, &W::ColorText, &S::ColorText, 0),
        color(R::TextColor, CBStartStop, &W::ColorStartStop, &S::ColorStartStop, 0x01),
        color(R::TextColor, CBDeviceadresse, &W::ColorDevAddr, &S::ColorDevAddr, 0x02),
        color(R::TextColor, CBSubadresse, &W::ColorSubAddr, &S::ColorSubAddr, 0x04),
        color(R::TextColor, CBWriteData, &W::ColorFromMaster, &S::ColorFromMaster, 0x08),
        color(R::TextColor, CBReadData, &W::ColorToMaster, &S::ColorToMaster, 0x10),
        style(LDefaultStyle, &W::StyleDefault, &S::StyleDefault, 0),
        style(CBNak, &W::StyleNak, &S::StyleNak, 0x20),
        style(CBProtokollfehler, &W::StyleError, &S::StyleError, 0x40),
        style(CBExtPort, &W::StylePort, &S::StylePort, 0x80),
    };
    for (const AttributeRole& role : roles_) {
        QWidget* control = role.control;
        if (role.enableBit) {
            auto* box = static_cast<QCheckBox*>(control);
            const std::int32_t bit = role.enableBit;
            vcl::onCheck(box, [this, box, bit] { CBAttributeClick(box, bit); });
        }
        if (role.kind == R::Style)
            vcl::onRightPress(control, [this, control] { StyleRightPress(control); });
        else
            vcl::onRightPress(control, [this, control] { ColorRightPress(control); });
    }
}

void TF_Einstellungen::buildMasterPage() {
    QWidget* p = TS_Master;
    GB_MasterClock = group("Mastertakt", p, QRect(8, 2, 150, 56));
    GB_MasterClock->setObjectName(QStringLiteral("GB_MasterClock"));
    CB_MasterClock = named(new QComboBox(GB_MasterClock), "CB_MasterClock", QRect(10, 22, 130, 22),
                           "I²C SCL-Clock für Masterbetrieb auswählen");
    vcl::onExit(CB_MasterClock, [this] { CB_MasterClockExit(); });

    GB_Speichertool = group("Speichermonitor", p, QRect(164, 2, 282, 252),
                            "Baustein-Einstellungen für Speichermonitor Tool");
    GB_Speichertool->setObjectName(QStringLiteral("GB_Speichertool"));
    label(QStringLiteral("Adresse"), GB_Speichertool, 10, 20, 70, 16)
        ->setObjectName(QStringLiteral("LE_DevAdrLabel"));
    LE_DevAdr =
        named(new QLineEdit(GB_Speichertool), "LE_DevAdr", QRect(10, 36, 70, 22), "Basis Bausteinadresse");
    NumberEdit::bind(LE_DevAdr, {NumberField::prefixed(NumberFormat::hexByte()),
                                 [] { return 255; },
                                 {},
                                 [this](std::int32_t v) { return LE_DevAdrExit(v); }});
    label(QStringLiteral("Bytes"), GB_Speichertool, 90, 20, 70, 16);
    CB_MemBytes = named(new QComboBox(GB_Speichertool), "CB_MemBytes", QRect(90, 36, 96, 22),
                        "Speicherkapazität des Bausteins eingeben/auswählen");
    CB_MemBytes->setEditable(true);
    CB_MemBytes->setInsertPolicy(QComboBox::NoInsert);
    NumberEdit::bind(CB_MemBytes->lineEdit(), {NumberField::prefixed(NumberFormat::decimal()),
                                               [] { return 65536; },
                                               {},
                                               [this](std::int32_t v) { return CB_MemBytesExit(v); }});
    CBt_2Subbytes = named(new QCheckBox(QStringLiteral("2 Byte Subadresse"), GB_Speichertool),
                          "CBt_2Subbytes", QRect(10, 64, 176, 20));
    vcl::onCheck(CBt_2Subbytes, [this] { CBt_2SubbytesClick(); });

    QGroupBox* type =
        group("Speichertyp", GB_Speichertool, QRect(8, 88, 120, 88), "Speichertype des Bausteins auswählen");
    RB_EEProm = named(new QRadioButton(QStringLiteral("EEProm"), type), "RB_EEProm", QRect(10, 20, 104, 20),
                      "Flash oder EEProm Speicher");
    RB_Ram = named(new QRadioButton(QStringLiteral("Ram"), type), "RB_Ram", QRect(10, 42, 104, 20),
                   "Ram Speicher");
    RB_Register = named(new QRadioButton(QStringLiteral("Register"), type), "RB_Register",
                        QRect(10, 64, 104, 20), "Special Funktion Baustein");
    vcl::onCheck(RB_EEProm, [this] { RBMemTypeClick(RB_EEProm, 0); });
    vcl::onCheck(RB_Ram, [this] { RBMemTypeClick(RB_Ram, 1); });
    vcl::onCheck(RB_Register, [this] { RBMemTypeClick(RB_Register, 2); });

    GB_PrgPage = group("Schreibpage", GB_Speichertool, QRect(132, 88, 144, 136),
                       "Schreibpagegröße für Flash und EEProm auswählen");
    GB_PrgPage->setObjectName(QStringLiteral("GB_PrgPage"));
    const RadioSpec pages[] = {{&RB_1Byte, "RB_1Byte", "1 Byte"},
                               {&RB_2Byte, "RB_2Byte", "2 Byte"},
                               {&RB_4Byte, "RB_4Byte", "4 Byte"},
                               {&RB_8Byte, "RB_8Byte", "8 Byte"},
                               {&RB_16Byte, "RB_16Byte", "16 Byte und größer"}};
    radioColumn(GB_PrgPage, pages, QRect(6, 20, 134, 20), 22, [this](int i, QRadioButton* b) {
        const std::int32_t size = 1 << i;
        vcl::onCheck(b, [this, b, size] { RBWritePageClick(b, size); });
    });

    QGroupBox* mode = group("Darstellung", GB_Speichertool, QRect(8, 180, 120, 64),
                            "Darstellungsmode des Speichermonitors wählen");
    RB_HexMode = named(new QRadioButton(QStringLiteral("Hex"), mode), "RB_HexMode", QRect(10, 20, 104, 20));
    RB_DezMode =
        named(new QRadioButton(QStringLiteral("Dezimal"), mode), "RB_DezMode", QRect(10, 40, 104, 20));
    vcl::onCheck(RB_HexMode, [this] { RBNumberModeClick(RB_HexMode, 1); });
    vcl::onCheck(RB_DezMode, [this] { RBNumberModeClick(RB_DezMode, 0); });
}
