#include "einstellungen.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTabWidget>

#include <algorithm>
#include <exception>
#include <filesystem>
#include <stdexcept>

#include "deviceinfo.h"
#include "dialogseam.h"
#include "iictexte.h"
#include "kevoapplication.h"
#include "masterclock.h"
#include "numberedit.h"
#include "numbertext.h"
#include "projectsettings.h"
#include "vclcontrols.h"
#include "vl-com.h"

TF_Einstellungen* F_Einstellungen = nullptr;

const std::int8_t StyleByIndex[5] = {-1, 0, 1, 2, 3};
const std::int32_t MemSizesOneSubByte[8] = {16, 32, 64, 128, 256, 512, 1024, 2048};
const std::int32_t MemSizesTwoSubBytes[8] = {4096, 8192, 16384, 24576, 32768, 49152, 57344, 65536};

namespace {

constexpr int kResultChanged = 1;
constexpr int kResultCancel = 2;
constexpr int kResultUnchanged = 6;

QString q(const std::string& s) {
    return QString::fromUtf8(s.data(), static_cast<int>(s.size()));
}
std::string s8(const QString& s) {
    return s.toUtf8().toStdString();
}

QColor fromColorRef(std::uint32_t c) {
    return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

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

// Errors of a handler (the runtime's conversion error, a failing chooser) are reported as
// the event loop reports them, in its error box; the handler's change is then not made.
template <typename F>
void guarded(F&& fn) {
    try {
        fn();
    } catch (...) {
        ShowException(std::current_exception());
    }
}

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

void colorLabel(QLabel* l, const QColor& background, const QColor& text = Qt::black) {
    QPalette p = l->palette();
    p.setColor(QPalette::Window, background);
    p.setColor(QPalette::WindowText, text);
    l->setPalette(p);
    l->setAutoFillBackground(true);
    l->setAlignment(Qt::AlignCenter);
}

void setBackground(QWidget* w, const QColor& c) {
    QPalette p = w->palette();
    p.setColor(QPalette::Window, c);
    w->setPalette(p);
    w->setAutoFillBackground(true);
}

void setTextColor(QWidget* w, const QColor& c) {
    QPalette p = w->palette();
    p.setColor(QPalette::WindowText, c);
    p.setColor(QPalette::ButtonText, c);
    p.setColor(QPalette::Text, c);
    w->setPalette(p);
}

void setStyleFont(QWidget* w, std::int8_t style) {
    QFont f = w->font();
    f.setBold(style == 0);
    f.setItalic(style == 1);
    f.setUnderline(style == 2);
    f.setStrikeOut(style == 3);
    w->setFont(f);
}

void setBit(std::int32_t& word, std::int32_t bit, bool on) {
    if (on)
        word |= bit;
    else
        word &= ~bit;
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

TF_Einstellungen::~TF_Einstellungen() {
    if (F_Einstellungen == this) F_Einstellungen = nullptr;
}

// ---------------------------------------------------------------- pages

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
    connect(CB_PrjAutoSave, &QCheckBox::clicked, this, [this] { CB_PrjAutoSaveClick(); });
}

void TF_Einstellungen::buildProbesPage() {
    QWidget* p = TS_Probes;
    GBLogikpegel = group("Logikpegel", p, QRect(8, 2, 144, 106), "Logikpegel des Prüflings einstellen");
    GBLogikpegel->setObjectName(QStringLiteral("GBLogikpegel"));
    const char* levels[] = {"5 Volt", "3,3 Volt", "2,5 Volt", "1,8 Volt"};
    const char* levelNames[] = {"RB5V", "RB3V3", "RB2V5", "RB1V8"};
    QRadioButton** levelButtons[] = {&RB5V, &RB3V3, &RB2V5, &RB1V8};
    for (int i = 0; i < 4; ++i) {
        QRadioButton* b = named(new QRadioButton(QString::fromUtf8(levels[i]), GBLogikpegel), levelNames[i],
                                QRect(10, 20 + i * 21, 124, 20));
        *levelButtons[i] = b;
        connect(b, &QRadioButton::clicked, this, [this, b, i] { RBLevelClick(b, i + 1); });
    }

    RG_IICMaster = group("I²C-Master", p, QRect(8, 110, 144, 88), "Probes für I²C-Bus Tools wählen");
    RG_IICMaster->setObjectName(QStringLiteral("RG_IICMaster"));
    RB_MGruenGelb = named(new QRadioButton(QStringLiteral("Gelb/Grün"), RG_IICMaster), "RB_MGruenGelb",
                          QRect(10, 20, 124, 20), "Mastercontroller auf Analyzerprobes");
    RB_MasterAus = named(new QRadioButton(QStringLiteral("aus"), RG_IICMaster), "RB_MasterAus",
                         QRect(10, 42, 124, 20), "Mastercontroller abgeschaltet");
    RB_MBlauWeiss = named(new QRadioButton(QStringLiteral("Weiß/Blau"), RG_IICMaster), "RB_MBlauWeiss",
                          QRect(10, 64, 124, 20), "Mastercontroller belegt die Universalprobes");
    connect(RB_MGruenGelb, &QRadioButton::clicked, this, [this] { RB_MGruenGelbClick(); });
    connect(RB_MasterAus, &QRadioButton::clicked, this, [this] { RB_MasterAusClick(); });
    connect(RB_MBlauWeiss, &QRadioButton::clicked, this, [this] { RB_MBlauWeissClick(); });

    QGroupBox* alt = group("Altenativfunktionen", p, QRect(8, 200, 144, 48));
    ChB_PosInputLev = named(new QCheckBox(QStringLiteral("pos. Eingangslogik"), alt), "ChB_PosInputLev",
                            QRect(8, 20, 132, 20), "markieren wenn positive Eingangslogik");
    connect(ChB_PosInputLev, &QCheckBox::clicked, this, [this] { ChB_PosInputLevClick(); });

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
    connect(CB_BelegungBlau, QOverload<int>::of(&QComboBox::activated), this,
            [this] { CB_BelegungBlauChange(); });
    connect(CB_BelegungWeiss, QOverload<int>::of(&QComboBox::activated), this,
            [this] { CB_BelegungWeissChange(); });
    connect(CB_BelegungRot, QOverload<int>::of(&QComboBox::activated), this,
            [this] { CB_BelegungRotChange(); });

    QLabel* plus = label(QStringLiteral("+5V"), assign, 12, 178, 40);
    setTextColor(plus, Qt::red);
    QLabel* gnd = label(QStringLiteral("GND"), assign, 60, 178, 40);
    setTextColor(gnd, Qt::black);
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
    const char* clk[] = {"Sys-Takt", "Sys-Takt /2", "Sys-Takt /4", "Sys-Takt /8"};
    const char* clkNames[] = {"RBSysClk", "RBSysClk2", "RBSysClk4", "RBSysClk8"};
    QRadioButton** clkButtons[] = {&RBSysClk, &RBSysClk2, &RBSysClk4, &RBSysClk8};
    for (int i = 0; i < 4; ++i) {
        QRadioButton* b = named(new QRadioButton(QString::fromUtf8(clk[i]), GBmaxI2CTakt), clkNames[i],
                                QRect(10, 20 + i * 21, 120, 20));
        *clkButtons[i] = b;
        connect(b, &QRadioButton::clicked, this, [this, b, i] { RBSysClkClick(b, i); });
    }

    QGroupBox* rec = group("Aufzeichnung", p, QRect(8, 112, 136, 88), "Triggerbedingung wählen");
    RB_keinTrigger = named(new QRadioButton(QStringLiteral("sofort"), rec), "RB_keinTrigger",
                           QRect(10, 20, 120, 20), "Aufzeichnung startet mit Analyzerstart");
    RB_nachTrigger = named(new QRadioButton(QStringLiteral("nachTrigger"), rec), "RB_nachTrigger",
                           QRect(10, 42, 120, 20), "Aufzeichnung startet nach dem Triggerereignis");
    RB_solangeTrigger = named(new QRadioButton(QStringLiteral("während Trigger"), rec), "RB_solangeTrigger",
                              QRect(10, 64, 120, 20), "Aufzeichnung nur solange das Triggersignal aktiv ist");
    connect(RB_keinTrigger, &QRadioButton::clicked, this, [this] { RBTriggerClick(RB_keinTrigger, 1); });
    connect(RB_nachTrigger, &QRadioButton::clicked, this, [this] { RBTriggerClick(RB_nachTrigger, 2); });
    connect(RB_solangeTrigger, &QRadioButton::clicked, this,
            [this] { RBTriggerClick(RB_solangeTrigger, 3); });

    QGroupBox* sig = group("I²C-Signal Filter", p, QRect(152, 2, 294, 88));
    CB_DelayFilter = named(new QCheckBox(QStringLiteral("keine Signalhalte Filter"), sig), "CB_DelayFilter",
                           QRect(10, 20, 270, 20));
    CB_StartFilter = named(new QCheckBox(QStringLiteral("kein Startsequence Filter"), sig), "CB_StartFilter",
                           QRect(10, 42, 270, 20));
    CB_StopFilter = named(new QCheckBox(QStringLiteral("kein Stopsequence Filter"), sig), "CB_StopFilter",
                          QRect(10, 64, 270, 20));
    connect(CB_DelayFilter, &QCheckBox::clicked, this, [this] { CB_FilterClick(CB_DelayFilter, 0x01); });
    connect(CB_StartFilter, &QCheckBox::clicked, this, [this] { CB_FilterClick(CB_StartFilter, 0x02); });
    connect(CB_StopFilter, &QCheckBox::clicked, this, [this] { CB_FilterClick(CB_StopFilter, 0x04); });

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
    connect(CB_AnlDatFilter, &QCheckBox::clicked, this, [this] { CB_AnlDatFilterClick(); });
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
    connect(RBAttribOnline, &QRadioButton::clicked, this, [this] { RBAttribClick(RBAttribOnline, 0); });
    connect(RBAttribOffline, &QRadioButton::clicked, this, [this] { RBAttribClick(RBAttribOffline, 1); });
    connect(RBkeineAttribute, &QRadioButton::clicked, this, [this] { RBAttribClick(RBkeineAttribute, 2); });

    GB_PrtFile = group("Protokolldatei", p, QRect(8, 94, 146, 48));
    GB_PrtFile->setObjectName(QStringLiteral("GB_PrtFile"));
    CB_PrtkAutoSave =
        named(new QCheckBox(QStringLiteral("automatisch Sichern"), GB_PrtFile), "CB_PrtkAutoSave",
              QRect(4, 20, 138, 20), "das Analyzerprotokoll wird selbständig auf Datenträger geschrieben");
    connect(CB_PrtkAutoSave, &QCheckBox::clicked, this, [this] { CB_PrtkAutoSaveClick(); });

    GBFarbAttribute = group("Farb - Attribute", p, QRect(160, 2, 286, 134),
                            "Farbattribut mit rechter Maustaste dem Merkmal zuweisen");
    GBFarbAttribute->setObjectName(QStringLiteral("GBFarbAttribute"));
    CBTextfarbe =
        named(new QComboBox(GBFarbAttribute), "CBTextfarbe", QRect(6, 20, 140, 24), "Farbe auswählen");
    for (const NamedColor& c : kColorBoxColors) {
        QPixmap swatch(14, 14);
        swatch.fill(fromColorRef(c.value));
        CBTextfarbe->addItem(QIcon(swatch), QString::fromUtf8(c.name), QVariant::fromValue<uint>(c.value));
    }
    CBTextfarbe->setCurrentIndex(0);
    connect(CBTextfarbe, QOverload<int>::of(&QComboBox::activated), this, [this] { CBTextfarbeChange(); });
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
    connect(CBTextStyle, QOverload<int>::of(&QComboBox::activated), this, [this] { CBTextStyleChange(); });
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

    const std::pair<QCheckBox*, std::int32_t> bits[] = {
        {CBStartStop, 0x01}, {CBDeviceadresse, 0x02}, {CBSubadresse, 0x04},      {CBWriteData, 0x08},
        {CBReadData, 0x10},  {CBNak, 0x20},           {CBProtokollfehler, 0x40}, {CBExtPort, 0x80},
    };
    for (auto [box, bit] : bits) {
        QCheckBox* b = box;
        const std::int32_t v = bit;
        connect(b, &QCheckBox::clicked, this, [this, b, v] { CBAttributeClick(b, v); });
    }
    for (QWidget* role : {static_cast<QWidget*>(GBFarbAttribute), static_cast<QWidget*>(LDefaultColor),
                          static_cast<QWidget*>(CBStartStop), static_cast<QWidget*>(CBDeviceadresse),
                          static_cast<QWidget*>(CBSubadresse), static_cast<QWidget*>(CBWriteData),
                          static_cast<QWidget*>(CBReadData)})
        vcl::onRightPress(role, [this, role] { ColorRightPress(role); });
    for (QWidget* role : {static_cast<QWidget*>(LDefaultStyle), static_cast<QWidget*>(CBNak),
                          static_cast<QWidget*>(CBProtokollfehler), static_cast<QWidget*>(CBExtPort)})
        vcl::onRightPress(role, [this, role] { StyleRightPress(role); });
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
    connect(CBt_2Subbytes, &QCheckBox::clicked, this, [this] { CBt_2SubbytesClick(); });

    QGroupBox* type =
        group("Speichertyp", GB_Speichertool, QRect(8, 88, 120, 88), "Speichertype des Bausteins auswählen");
    RB_EEProm = named(new QRadioButton(QStringLiteral("EEProm"), type), "RB_EEProm", QRect(10, 20, 104, 20),
                      "Flash oder EEProm Speicher");
    RB_Ram = named(new QRadioButton(QStringLiteral("Ram"), type), "RB_Ram", QRect(10, 42, 104, 20),
                   "Ram Speicher");
    RB_Register = named(new QRadioButton(QStringLiteral("Register"), type), "RB_Register",
                        QRect(10, 64, 104, 20), "Special Funktion Baustein");
    connect(RB_EEProm, &QRadioButton::clicked, this, [this] { RBMemTypeClick(RB_EEProm, 0); });
    connect(RB_Ram, &QRadioButton::clicked, this, [this] { RBMemTypeClick(RB_Ram, 1); });
    connect(RB_Register, &QRadioButton::clicked, this, [this] { RBMemTypeClick(RB_Register, 2); });

    GB_PrgPage = group("Schreibpage", GB_Speichertool, QRect(132, 88, 144, 136),
                       "Schreibpagegröße für Flash und EEProm auswählen");
    GB_PrgPage->setObjectName(QStringLiteral("GB_PrgPage"));
    const char* pages[] = {"1 Byte", "2 Byte", "4 Byte", "8 Byte", "16 Byte und größer"};
    const char* pageNames[] = {"RB_1Byte", "RB_2Byte", "RB_4Byte", "RB_8Byte", "RB_16Byte"};
    QRadioButton** pageButtons[] = {&RB_1Byte, &RB_2Byte, &RB_4Byte, &RB_8Byte, &RB_16Byte};
    for (int i = 0; i < 5; ++i) {
        QRadioButton* b = named(new QRadioButton(QString::fromUtf8(pages[i]), GB_PrgPage), pageNames[i],
                                QRect(6, 20 + i * 22, 134, 20));
        *pageButtons[i] = b;
        const std::int32_t size = 1 << i;
        connect(b, &QRadioButton::clicked, this, [this, b, size] { RBWritePageClick(b, size); });
    }

    QGroupBox* mode = group("Darstellung", GB_Speichertool, QRect(8, 180, 120, 64),
                            "Darstellungsmode des Speichermonitors wählen");
    RB_HexMode = named(new QRadioButton(QStringLiteral("Hex"), mode), "RB_HexMode", QRect(10, 20, 104, 20));
    RB_DezMode =
        named(new QRadioButton(QStringLiteral("Dezimal"), mode), "RB_DezMode", QRect(10, 40, 104, 20));
    connect(RB_HexMode, &QRadioButton::clicked, this, [this] { RBNumberModeClick(RB_HexMode, 1); });
    connect(RB_DezMode, &QRadioButton::clicked, this, [this] { RBNumberModeClick(RB_DezMode, 0); });
}

// ---------------------------------------------------------------- showing and results

int TF_Einstellungen::ShowModal() {
    return exec();
}

void TF_Einstellungen::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    // Once per showing; windows that the dialog opens itself do not bring it here again.
    if (!activated_) {
        activated_ = true;
        setResult(0);
        FormActivate();
    }
}

void TF_Einstellungen::hideEvent(QHideEvent* e) {
    QDialog::hideEvent(e);
    if (!e->spontaneous()) activated_ = false;
}

void TF_Einstellungen::keyPressEvent(QKeyEvent* e) {
    // The form has no cancel and no default button: Escape does nothing, and Enter presses
    // only a button that has the focus.
    if (e->key() == Qt::Key_Escape) {
        e->accept();
        return;
    }
    if ((e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) && !e->modifiers()) {
        e->accept();
        if (auto* b = qobject_cast<QPushButton*>(focusWidget())) b->click();
        return;
    }
    QDialog::keyPressEvent(e);
}

// The close box.
void TF_Einstellungen::reject() {
    done(kResultCancel);
}

void TF_Einstellungen::BB_CancelClick() {
    done(kResultCancel);
}

void TF_Einstellungen::FormActivate() {
    TWorkingSettings& W = WorkingSettings;
    TProjectSettings& S = ProjectSettings;
    std::string& projectDir = ProjectDirRef ? *ProjectDirRef : ownProjectDir_;

    // 1. Link and path values.
    W.PortName = S.PortName;
    W.BaudRate = S.BaudRate;
    W.ProjectDir = projectDir;
    W.AutoSaveProject = S.AutoSaveProject;
    LE_ProjektDir->setText(q(projectDir));
    vcl::setChecked(CB_PrjAutoSave, S.AutoSaveProject != 0);

    // 2. Logic level.
    switch (S.LogicLevel) {
        case 2:
            vcl::setChecked(RB3V3, true);
            break;
        case 3:
            vcl::setChecked(RB2V5, true);
            break;
        case 4:
            vcl::setChecked(RB1V8, true);
            break;
        default:
            vcl::setChecked(RB5V, true);
            break;
    }

    // 3. Bus master probes.
    if (S.ProbeMaster == 1) {
        vcl::setChecked(RB_MGruenGelb, true);
    } else if (S.ProbeMaster == 2) {
        vcl::setChecked(RB_MBlauWeiss, true);
    } else {
        vcl::setChecked(RB_MasterAus, true);
    }
    const bool universalFree = S.ProbeMaster != 2;
    CB_BelegungBlau->setEnabled(universalFree);
    CB_BelegungWeiss->setEnabled(universalFree);
    ChB_PosInputLev->setEnabled(universalFree);
    vcl::setChecked(ChB_PosInputLev, S.PosInputLogic != 0);

    // 4. Probe lists.
    CB_BelegungBlau->clear();
    for (int i = 0; i < 3 && i < BlueProbeCount; ++i) CB_BelegungBlau->addItem(q(BlueProbeFunctions[i]));
    fillWhiteList(true);
    CB_BelegungRot->clear();
    for (int i = 0; i < RedProbeCount; ++i) CB_BelegungRot->addItem(q(RedProbeFunctions[i]));
    Trigger1Present = (S.ProbeRed == 1) || (S.ProbeRed == 2 && S.ProbeBlue == 2);
    if (!Trigger1Present) fillWhiteList(false);
    if (S.ProbeRed == 2) CB_BelegungBlau->setItemText(2, q(BlueProbeFunctions[3]));
    vcl::setItemIndex(CB_BelegungBlau, S.ProbeBlue);
    vcl::setItemIndex(CB_BelegungWeiss, S.ProbeWhite);
    vcl::setItemIndex(CB_BelegungRot, S.ProbeRed);

    // 5.
    W.LogicLevel = S.LogicLevel;
    W.ProbeMaster = S.ProbeMaster;
    W.ProbeBlue = S.ProbeBlue;
    W.ProbeWhite = S.ProbeWhite;
    W.ProbeRed = S.ProbeRed;
    W.PosInputLogic = S.PosInputLogic;

    // 6. Sampling clock. The captions need a clock mode the name table has a row for.
    const std::int32_t pll = DeviceInfo.PllMode;
    if (pll >= 0 && pll * 4 + 3 < ClockRangeCount) {
        QRadioButton* clk[] = {RBSysClk, RBSysClk2, RBSysClk4, RBSysClk8};
        for (int i = 0; i < 4; ++i) clk[i]->setText(q(ClockRangeNames[pll * 4 + i]));
    }
    switch (S.ClockDivider) {
        case 1:
            vcl::setChecked(RBSysClk2, true);
            break;
        case 2:
            vcl::setChecked(RBSysClk4, true);
            break;
        case 3:
            vcl::setChecked(RBSysClk8, true);
            break;
        default:
            vcl::setChecked(RBSysClk, true);
            break;
    }

    // 7. Trigger mode.
    switch (S.TriggerMode) {
        case 2:
            vcl::setChecked(RB_nachTrigger, true);
            break;
        case 3:
            vcl::setChecked(RB_solangeTrigger, true);
            break;
        default:
            vcl::setChecked(RB_keinTrigger, true);
            break;
    }

    // 8. Signal filters.
    vcl::setChecked(CB_DelayFilter, (S.BusFilter & 0x01) != 0);
    vcl::setChecked(CB_StartFilter, (S.BusFilter & 0x02) != 0);
    vcl::setChecked(CB_StopFilter, (S.BusFilter & 0x04) != 0);

    // 9. Filter byte.
    NumberEdit* filter = NumberEdit::of(LE_FilterByte);
    filter->assign(filter->canonical(S.DataFilter));

    // 10. Data filter switches.
    const std::int32_t sw = S.DataFilterSwitches;
    RG_FiExtTrig->setItemIndex((sw & 0x02) ? 1 : (sw & 0x04) ? 2 : 0);
    RG_FiNegation->setItemIndex((sw & 0x08) ? 1 : 0);
    vcl::setChecked(CB_AnlDatFilter, (sw & 0x10) != 0);
    RG_FiExtTrig->setEnabled(!CB_AnlDatFilter->isChecked());

    // 11.
    W.ClockDivider = S.ClockDivider;
    W.TriggerMode = S.TriggerMode;
    W.BusFilter = S.BusFilter;
    W.DataFilter = S.DataFilter;
    W.DataFilterSwitches = S.DataFilterSwitches;

    // 12. Page "I²C-Monitor".
    vcl::setChecked(CB_PrtkAutoSave, S.LogAutoSave != 0);
    switch (S.AttributeMode) {
        case 1:
            vcl::setChecked(RBAttribOffline, true);
            break;
        case 2:
            vcl::setChecked(RBkeineAttribute, true);
            break;
        default:
            vcl::setChecked(RBAttribOnline, true);
            break;
    }
    const std::pair<QCheckBox*, std::int32_t> bits[] = {
        {CBStartStop, 0x01}, {CBDeviceadresse, 0x02}, {CBSubadresse, 0x04},      {CBWriteData, 0x08},
        {CBReadData, 0x10},  {CBNak, 0x20},           {CBProtokollfehler, 0x40}, {CBExtPort, 0x80},
    };
    for (auto [box, bit] : bits) vcl::setChecked(box, (S.AttributeEnable & bit) != 0);
    W.ColorBackground = static_cast<std::int32_t>(S.ColorBackground);
    W.ColorText = static_cast<std::int32_t>(S.ColorText);
    W.ColorStartStop = static_cast<std::int32_t>(S.ColorStartStop);
    W.ColorDevAddr = static_cast<std::int32_t>(S.ColorDevAddr);
    W.ColorSubAddr = static_cast<std::int32_t>(S.ColorSubAddr);
    W.ColorFromMaster = static_cast<std::int32_t>(S.ColorFromMaster);
    W.ColorToMaster = static_cast<std::int32_t>(S.ColorToMaster);
    W.StyleDefault = S.StyleDefault;
    W.StyleNak = S.StyleNak;
    W.StyleError = S.StyleError;
    W.StylePort = S.StylePort;
    showColorPreview();
    showStylePreview();
    CBTextStyle->clear();
    for (int i = 0; i < FontStyleCount; ++i) CBTextStyle->addItem(q(FontStyleNames[i]));
    vcl::setItemIndex(CBTextStyle, 0);
    W.LogAutoSave = S.LogAutoSave;
    W.AttributeMode = S.AttributeMode;
    W.AttributeEnable = S.AttributeEnable;

    // 13. Master clock list.
    std::vector<std::string> items;
    masterClockIndex_ = MasterClockList(items, DeviceInfo.SystemClock, S.MasterClockHz);
    CB_MasterClock->clear();
    for (const std::string& it : items) CB_MasterClock->addItem(q(it));

    // 14. Memory-monitor group.
    NumberEdit* devAddr = NumberEdit::of(LE_DevAdr);
    devAddr->assign(devAddr->canonical(S.MemDevAddr));
    vcl::setChecked(CBt_2Subbytes, S.MemTwoSubBytes != 0);
    fillMemSizes(S.MemTwoSubBytes != 0);
    NumberEdit::of(CB_MemBytes->lineEdit())->assign(QString::number(S.MemBytes));
    switch (S.MemType) {
        case 1:
            vcl::setChecked(RB_Ram, true);
            break;
        case 2:
            vcl::setChecked(RB_Register, true);
            break;
        default:
            vcl::setChecked(RB_EEProm, true);
            break;
    }
    switch (S.MemWritePage) {
        case 1:
            vcl::setChecked(RB_1Byte, true);
            break;
        case 2:
            vcl::setChecked(RB_2Byte, true);
            break;
        case 4:
            vcl::setChecked(RB_4Byte, true);
            break;
        case 8:
            vcl::setChecked(RB_8Byte, true);
            break;
        case 16:
            vcl::setChecked(RB_16Byte, true);
            break;
        default:
            vcl::setChecked(RB_1Byte, true);
            S.MemWritePage = 1;
            break;
    }
    setPrgPageEnabled(S.MemType == 0);
    vcl::setChecked(S.MemHex != 0 ? RB_HexMode : RB_DezMode, true);

    // 15.
    vcl::setItemIndex(CB_MasterClock, masterClockIndex_ < CB_MasterClock->count() ? masterClockIndex_ : -1);

    // 16.
    W.MasterClockHz = S.MasterClockHz;
    W.MemDevAddr = S.MemDevAddr;
    W.MemBytes = S.MemBytes;
    W.MemType = S.MemType;
    W.MemWritePage = S.MemWritePage;
    W.MemHex = S.MemHex;
    W.MemTwoSubBytes = S.MemTwoSubBytes;

    // 17.
    ShowDeviceInfo();
}

void TF_Einstellungen::BB_OkClick() {
    TWorkingSettings& W = WorkingSettings;
    TProjectSettings& S = ProjectSettings;
    std::string& projectDir = ProjectDirRef ? *ProjectDirRef : ownProjectDir_;
    bool changed = false;
    auto take = [&changed](auto& setting, const auto& working) {
        using T = std::decay_t<decltype(setting)>;
        const T value = static_cast<T>(working);
        if (setting != value) {
            setting = value;
            changed = true;
        }
    };
    take(S.PortName, W.PortName);
    take(S.BaudRate, W.BaudRate);
    take(projectDir, W.ProjectDir);
    take(S.AutoSaveProject, W.AutoSaveProject);
    take(S.LogicLevel, W.LogicLevel);
    take(S.ProbeMaster, W.ProbeMaster);
    take(S.PosInputLogic, W.PosInputLogic);
    take(S.ProbeBlue, W.ProbeBlue);
    take(S.ProbeWhite, W.ProbeWhite);
    take(S.ProbeRed, W.ProbeRed);
    take(S.ClockDivider, W.ClockDivider);
    take(S.TriggerMode, W.TriggerMode);
    take(S.BusFilter, W.BusFilter);
    take(S.DataFilter, W.DataFilter);
    take(S.DataFilterSwitches, W.DataFilterSwitches);
    take(S.LogAutoSave, W.LogAutoSave);
    take(S.AttributeMode, W.AttributeMode);
    take(S.ColorBackground, W.ColorBackground);
    take(S.ColorText, W.ColorText);
    take(S.ColorStartStop, W.ColorStartStop);
    take(S.ColorDevAddr, W.ColorDevAddr);
    take(S.ColorSubAddr, W.ColorSubAddr);
    take(S.ColorFromMaster, W.ColorFromMaster);
    take(S.ColorToMaster, W.ColorToMaster);
    take(S.StyleDefault, W.StyleDefault);
    take(S.StyleNak, W.StyleNak);
    take(S.StyleError, W.StyleError);
    take(S.StylePort, W.StylePort);
    take(S.AttributeEnable, W.AttributeEnable);
    take(S.MasterClockHz, W.MasterClockHz);
    take(S.MemDevAddr, W.MemDevAddr);
    take(S.MemBytes, W.MemBytes);
    take(S.MemType, W.MemType);
    take(S.MemWritePage, W.MemWritePage);
    take(S.MemHex, W.MemHex);
    take(S.MemTwoSubBytes, W.MemTwoSubBytes);
    ColorAssignArmed = 0;
    StyleAssignArmed = 0;
    done(changed ? kResultChanged : kResultUnchanged);
}

// ---------------------------------------------------------------- "Gerät / System"

void TF_Einstellungen::ShowDeviceInfo() {
    TWorkingSettings& W = WorkingSettings;
    if (W.PortName.empty()) {
        W.PortName = ProjectSettings.PortName;
        W.BaudRate = ProjectSettings.BaudRate;
    }
    L_VPort->setText(q(W.PortName));
    L_VBaud->setText(W.BaudRate == 921600 ? QStringLiteral("USB Verbindung") : QString::number(W.BaudRate));
    L_VFirmware->setText(q(DeviceInfo.FirmwareText));
    L_VSernum->setText(q(DeviceInfo.SerialNumber));
    L_VOptionen->setText(q(DeviceInfo.OptionsText));
}

void TF_Einstellungen::TS_GeraetShow() {
    ShowDeviceInfo();
}

void TF_Einstellungen::BB_ConnectionClick() {
    TWorkingSettings& W = WorkingSettings;
    BSTR port = SysAllocStringByteLen(W.PortName.data(), static_cast<std::uint32_t>(W.PortName.size()));
    std::int32_t baud = W.BaudRate;
    VlCOMPortSetup(&port, &baud);
    W.PortName = port ? std::string(port, SysStringByteLen(port)) : std::string();
    SysFreeString(port);
    W.BaudRate = baud;
    ShowDeviceInfo();
}

// The chooser: a directory that does not exist yet is created once the user confirms it;
// one that cannot be created is the chooser's error.
void TF_Einstellungen::chooseProjectDir() {
    dialogs::Request r;
    r.kind = dialogs::Kind::SelectDir;
    r.value = WorkingSettings.ProjectDir;
    const dialogs::Response a = dialogs::ask(r);
    if (a.result != dialogs::mrOk || a.value.empty()) return;
    std::string dir = a.value;
    std::error_code ec;
    if (!std::filesystem::is_directory(dir, ec)) {
        if (dialogs::messageDlgPos(
                "Das Verzeichnis \"" + dir + "\" existiert nicht.\nSoll es angelegt werden?",
                dialogs::MsgType::Confirmation, dialogs::mbYes | dialogs::mbNo) != dialogs::mrYes)
            return;
        std::filesystem::create_directories(dir, ec);
        if (!std::filesystem::is_directory(dir, ec))
            throw std::runtime_error("Das Verzeichnis \"" + dir + "\" kann nicht angelegt werden.");
    }
    if (dir.back() != '/') dir += '/';
    WorkingSettings.ProjectDir = dir;
    LE_ProjektDir->setText(q(dir));
}

void TF_Einstellungen::BB_SetProjDirClick() {
    try {
        chooseProjectDir();
    } catch (const std::exception&) {
        // Once more from the program's own data folder; that one is shown at once, so the
        // field never hides what OK would store.
        WorkingSettings.ProjectDir = (ProgramDirRef ? *ProgramDirRef : std::string()) + "Data/";
        LE_ProjektDir->setText(q(WorkingSettings.ProjectDir));
        guarded([this] { chooseProjectDir(); });
    }
}

void TF_Einstellungen::CB_PrjAutoSaveClick() {
    WorkingSettings.AutoSaveProject = CB_PrjAutoSave->isChecked() ? 1 : 0;
}

// ---------------------------------------------------------------- "Probes"

void TF_Einstellungen::RBLevelClick(QRadioButton* button, std::int32_t level) {
    if (button->isChecked()) WorkingSettings.LogicLevel = level;
}

void TF_Einstellungen::RB_MGruenGelbClick() {
    if (!RB_MGruenGelb->isChecked()) return;
    WorkingSettings.ProbeMaster = 1;
    CB_BelegungBlau->setEnabled(true);
    CB_BelegungWeiss->setEnabled(true);
    ChB_PosInputLev->setEnabled(true);
}

void TF_Einstellungen::RB_MasterAusClick() {
    if (!RB_MasterAus->isChecked()) return;
    WorkingSettings.ProbeMaster = 0;
    CB_BelegungBlau->setEnabled(true);
    CB_BelegungWeiss->setEnabled(true);
    ChB_PosInputLev->setEnabled(true);
}

void TF_Einstellungen::RB_MBlauWeissClick() {
    if (!RB_MBlauWeiss->isChecked()) return;
    WorkingSettings.ProbeMaster = 2;
    CB_BelegungBlau->setEnabled(false);
    CB_BelegungWeiss->setEnabled(false);
    ChB_PosInputLev->setEnabled(false);
}

void TF_Einstellungen::ChB_PosInputLevClick() {
    WorkingSettings.PosInputLogic = ChB_PosInputLev->isChecked() ? 1 : 0;
}

void TF_Einstellungen::fillWhiteList(bool all) {
    const int n = all ? WhiteProbeCount : 2;
    if (all) {
        CB_BelegungWeiss->clear();
        for (int i = 0; i < n; ++i) CB_BelegungWeiss->addItem(q(WhiteProbeFunctions[i]));
    } else {
        while (CB_BelegungWeiss->count() > n) CB_BelegungWeiss->removeItem(CB_BelegungWeiss->count() - 1);
    }
}

// The Trigger-2 entries of the white list are there only while a Trigger 1 is assigned.
void TF_Einstellungen::adjustWhiteList(bool trigger1) {
    if (!trigger1 && CB_BelegungWeiss->count() == WhiteProbeCount) {
        fillWhiteList(false);
    } else if (trigger1 && CB_BelegungWeiss->count() < 3) {
        fillWhiteList(true);
        vcl::setItemIndex(CB_BelegungWeiss, WorkingSettings.ProbeWhite);
    }
}

void TF_Einstellungen::CB_BelegungBlauChange() {
    TWorkingSettings& W = WorkingSettings;
    const std::int32_t n = CB_BelegungBlau->currentIndex();
    if (n == W.ProbeBlue) return;
    const bool t = (n == 2 && W.ProbeRed == 2) || W.ProbeRed == 1;
    if (W.ProbeWhite > 1 && !t) {
        vcl::setItemIndex(CB_BelegungBlau, W.ProbeBlue);
        return;
    }
    Trigger1Present = t;
    adjustWhiteList(t);
    W.ProbeBlue = n;
}

void TF_Einstellungen::CB_BelegungWeissChange() {
    WorkingSettings.ProbeWhite = CB_BelegungWeiss->currentIndex();
}

void TF_Einstellungen::CB_BelegungRotChange() {
    TWorkingSettings& W = WorkingSettings;
    const std::int32_t n = CB_BelegungRot->currentIndex();
    if (n == W.ProbeRed) return;
    const bool t = n == 1 || (n == 2 && W.ProbeBlue == 2);
    if (W.ProbeWhite > 1 && !t) {
        vcl::setItemIndex(CB_BelegungRot, W.ProbeRed);
        return;
    }
    Trigger1Present = t;
    if (CB_BelegungBlau->count() > 2)
        CB_BelegungBlau->setItemText(2, q(n == 2 ? BlueProbeFunctions[3] : BlueProbeFunctions[2]));
    vcl::setItemIndex(CB_BelegungBlau, W.ProbeBlue);
    adjustWhiteList(t);
    W.ProbeRed = n;
}

// ---------------------------------------------------------------- "I²C-Analyzer"

void TF_Einstellungen::RBSysClkClick(QRadioButton* button, std::int32_t divider) {
    if (button->isChecked()) WorkingSettings.ClockDivider = divider;
}

void TF_Einstellungen::RBTriggerClick(QRadioButton* button, std::int32_t mode) {
    if (button->isChecked()) WorkingSettings.TriggerMode = mode;
}

void TF_Einstellungen::CB_FilterClick(QCheckBox* box, std::int32_t bit) {
    setBit(WorkingSettings.BusFilter, bit, box->isChecked());
}

QString TF_Einstellungen::LE_FilterByteExit(std::int32_t value) {
    WorkingSettings.DataFilter = value;
    return NumberEdit::of(LE_FilterByte)->canonical(value);
}

void TF_Einstellungen::RG_FiNegationClick() {
    setBit(WorkingSettings.DataFilterSwitches, 0x08, RG_FiNegation->itemIndex() == 1);
}

void TF_Einstellungen::RG_FiExtTrigClick() {
    std::int32_t& sw = WorkingSettings.DataFilterSwitches;
    sw &= ~0x07;
    switch (RG_FiExtTrig->itemIndex()) {
        case 1:
            sw |= 0x02;
            break;
        case 2:
            sw |= 0x04;
            break;
        default:
            sw |= 0x01;
            break;
    }
}

void TF_Einstellungen::CB_AnlDatFilterClick() {
    if (CB_AnlDatFilter->isChecked()) {
        RG_FiExtTrig->setItemIndex(0);
        WorkingSettings.DataFilterSwitches |= 0x10;
        RG_FiExtTrig->setEnabled(false);
    } else {
        WorkingSettings.DataFilterSwitches &= ~0x10;
        RG_FiExtTrig->setEnabled(true);
    }
}

void TF_Einstellungen::CB_MasterClockExit() {
    guarded([this] { WorkingSettings.MasterClockHz = MasterClockItemHz(s8(CB_MasterClock->currentText())); });
}

// ---------------------------------------------------------------- "I²C-Monitor"

void TF_Einstellungen::RBAttribClick(QRadioButton* button, std::int32_t mode) {
    if (button->isChecked()) WorkingSettings.AttributeMode = mode;
}

void TF_Einstellungen::CB_PrtkAutoSaveClick() {
    WorkingSettings.LogAutoSave = CB_PrtkAutoSave->isChecked() ? 1 : 0;
}

void TF_Einstellungen::CBAttributeClick(QCheckBox* box, std::int32_t bit) {
    setBit(WorkingSettings.AttributeEnable, bit, box->isChecked());
}

void TF_Einstellungen::CBTextfarbeChange() {
    ColorAssignArmed = 1;
}
void TF_Einstellungen::CBTextfarbeExit() {
    ColorAssignArmed = 0;
}
void TF_Einstellungen::CBTextStyleChange() {
    StyleAssignArmed = 1;
}
void TF_Einstellungen::CBTextStyleExit() {
    StyleAssignArmed = 0;
}

std::int32_t* TF_Einstellungen::colorRole(QWidget* role) {
    TWorkingSettings& W = WorkingSettings;
    if (role == GBFarbAttribute) return &W.ColorBackground;
    if (role == LDefaultColor) return &W.ColorText;
    if (role == CBStartStop) return &W.ColorStartStop;
    if (role == CBDeviceadresse) return &W.ColorDevAddr;
    if (role == CBSubadresse) return &W.ColorSubAddr;
    if (role == CBWriteData) return &W.ColorFromMaster;
    if (role == CBReadData) return &W.ColorToMaster;
    return nullptr;
}

std::int8_t* TF_Einstellungen::styleRole(QWidget* role) {
    TWorkingSettings& W = WorkingSettings;
    if (role == LDefaultStyle) return &W.StyleDefault;
    if (role == CBNak) return &W.StyleNak;
    if (role == CBProtokollfehler) return &W.StyleError;
    if (role == CBExtPort) return &W.StylePort;
    return nullptr;
}

void TF_Einstellungen::ColorRightPress(QWidget* role) {
    std::int32_t* target = colorRole(role);
    if (!ColorAssignArmed || !target || CBTextfarbe->currentIndex() < 0) return;
    const std::uint32_t c = CBTextfarbe->currentData().toUInt();
    *target = static_cast<std::int32_t>(c);
    if (role == GBFarbAttribute) {
        for (QWidget* w : {static_cast<QWidget*>(GBFarbAttribute), static_cast<QWidget*>(LDefaultColor),
                           static_cast<QWidget*>(CBStartStop), static_cast<QWidget*>(CBDeviceadresse),
                           static_cast<QWidget*>(CBSubadresse), static_cast<QWidget*>(CBWriteData),
                           static_cast<QWidget*>(CBReadData)})
            setBackground(w, fromColorRef(c));
    } else {
        setTextColor(role, fromColorRef(c));
    }
}

void TF_Einstellungen::StyleRightPress(QWidget* role) {
    std::int8_t* target = styleRole(role);
    const int i = CBTextStyle->currentIndex();
    if (!StyleAssignArmed || !target || i < 0 || i >= 5) return;
    *target = StyleByIndex[i];
    setStyleFont(role, *target);
}

void TF_Einstellungen::showColorPreview() {
    const TProjectSettings& S = ProjectSettings;
    const QColor bg = fromColorRef(S.ColorBackground);
    for (QWidget* w : {static_cast<QWidget*>(GBFarbAttribute), static_cast<QWidget*>(LDefaultColor),
                       static_cast<QWidget*>(CBStartStop), static_cast<QWidget*>(CBDeviceadresse),
                       static_cast<QWidget*>(CBSubadresse), static_cast<QWidget*>(CBWriteData),
                       static_cast<QWidget*>(CBReadData)})
        setBackground(w, bg);
    setTextColor(LDefaultColor, fromColorRef(S.ColorText));
    setTextColor(CBStartStop, fromColorRef(S.ColorStartStop));
    setTextColor(CBDeviceadresse, fromColorRef(S.ColorDevAddr));
    setTextColor(CBSubadresse, fromColorRef(S.ColorSubAddr));
    setTextColor(CBWriteData, fromColorRef(S.ColorFromMaster));
    setTextColor(CBReadData, fromColorRef(S.ColorToMaster));
}

void TF_Einstellungen::showStylePreview() {
    const TProjectSettings& S = ProjectSettings;
    setStyleFont(LDefaultStyle, S.StyleDefault);
    setStyleFont(CBNak, S.StyleNak);
    setStyleFont(CBProtokollfehler, S.StyleError);
    setStyleFont(CBExtPort, S.StylePort);
}

// ---------------------------------------------------------------- "Speichermonitor"

QString TF_Einstellungen::LE_DevAdrExit(std::int32_t value) {
    WorkingSettings.MemDevAddr = value;
    return NumberEdit::of(LE_DevAdr)->canonical(value);
}

// An empty or zero size becomes 256; any other text stays as typed.
QString TF_Einstellungen::CB_MemBytesExit(std::int32_t value) {
    if (value == 0) {
        value = 256;
        WorkingSettings.MemBytes = value;
        return QStringLiteral("256");
    }
    WorkingSettings.MemBytes = value;
    return CB_MemBytes->currentText();
}

void TF_Einstellungen::fillMemSizes(bool twoSubBytes) {
    // The shown size stays as it is whatever the list offers.
    const QString shown = CB_MemBytes->currentText();
    CB_MemBytes->clear();
    for (std::int32_t size : twoSubBytes ? MemSizesTwoSubBytes : MemSizesOneSubByte)
        CB_MemBytes->addItem(QString::number(size));
    CB_MemBytes->setCurrentIndex(-1);
    CB_MemBytes->setEditText(shown);
}

void TF_Einstellungen::CBt_2SubbytesClick() {
    const bool two = CBt_2Subbytes->isChecked();
    WorkingSettings.MemTwoSubBytes = two ? 1 : 0;
    fillMemSizes(two);
}

void TF_Einstellungen::setPrgPageEnabled(bool on) {
    GB_PrgPage->setEnabled(on);
    for (QRadioButton* b : {RB_1Byte, RB_2Byte, RB_4Byte, RB_8Byte, RB_16Byte}) b->setEnabled(on);
}

void TF_Einstellungen::RBMemTypeClick(QRadioButton* button, std::int32_t type) {
    if (!button->isChecked()) return;
    WorkingSettings.MemType = type;
    setPrgPageEnabled(type == 0);
}

void TF_Einstellungen::RBWritePageClick(QRadioButton* button, std::int32_t page) {
    if (button->isChecked()) WorkingSettings.MemWritePage = page;
}

void TF_Einstellungen::RBNumberModeClick(QRadioButton* button, std::int32_t hex) {
    if (button->isChecked()) WorkingSettings.MemHex = hex;
}
