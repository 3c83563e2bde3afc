#include "iicctrlu.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPainterPath>
#include <QPrintDialog>
#include <QPrinter>
#include <QShowEvent>
#include <QStandardPaths>
#include <QStatusBar>
#include <QStyle>
#include <QTextDocument>
#include <QToolBar>
#include <QToolButton>
#include <memory>

#include "capturestore.h"
#include "deviceinfo.h"
#include "dialogseam.h"
#include "einstellungen.h"
#include "iictexte.h"
#include "iicwatch.h"
#include "info.h"
#include "inifile.h"
#include "kevoapplication.h"
#include "logfiles.h"
#include "monitorview.h"
#include "numbertext.h"
#include "projectsettings.h"
#include "rtfwriter.h"
#include "tracedecoder.h"
#include "traceview.h"
#include "vl-com.h"
#include "vlcom.h"

const std::string VersionText =
    "KEVO 1.00a\n"
    "Copyright © Parvelo\n"
    "Alle Rechte vorbehalten";

TF_IIcCtrl* F_IIcCtrl = nullptr;

namespace {

const char* const kCaption = "KEVO - Parvelo/ -Monitor";
const char* const kLogFilter = "I²C Protokoll|*.I2P";
const char* const kDefaultLogName = "I2CWatch.i2p";
const char* const kPrintTitle = "I²C-Analyzer Protokoll";

QString q(const std::string& s) {
    return QString::fromUtf8(s.data(), int(s.size()));
}

// The printer dialog: the chosen printer, or null when it was cancelled.
std::unique_ptr<QPrinter> choosePrinter(QWidget* parent) {
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    // Named before the dialog, so that its PDF printer proposes the title as the file name.
    printer->setDocName(QString::fromUtf8(kPrintTitle));
    if (dialogs::hasResponder()) {
        dialogs::Request r;
        r.kind = dialogs::Kind::Printer;
        r.caption = "Drucken";
        const dialogs::Response a = dialogs::ask(r);
        if (a.result != dialogs::mrOk) return nullptr;
        if (!a.value.empty()) {
            printer->setOutputFormat(QPrinter::PdfFormat);
            printer->setOutputFileName(q(a.value));
        }
        return printer;
    }
    QPrintDialog dlg(printer.get(), parent);
    if (dlg.exec() != QDialog::Accepted) return nullptr;
    return printer;
}

std::string& programFileOverride() {
    static std::string path;
    return path;
}

std::string withSlash(std::string dir) {
    if (!dir.empty() && dir.back() != '/') dir += '/';
    return dir;
}

// The file name part of a path (after the last "/").
std::string fileNameOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The first n characters of a and b are equal (both must have them).
bool samePrefix(const std::string& a, const std::string& b, long n) {
    if (n < 0) n = 0;
    if (a.size() < size_t(n) || b.size() < size_t(n)) return false;
    return a.compare(0, size_t(n), b, 0, size_t(n)) == 0;
}

template <size_t N>
const std::string& tableEntry(const std::string (&table)[N], long i) {
    static const std::string empty;
    return (i >= 0 && size_t(i) < N) ? table[i] : empty;
}

// --- Glyphs ---

QPixmap drawGlyph(int index) {
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor ink(0x30, 0x30, 0x30);
    // Ink outline on white: pages and sheets.
    auto onPaper = [&p, &ink] {
        p.setPen(QPen(ink, 1));
        p.setBrush(Qt::white);
    };
    auto chip = [&p, &ink](QColor body) {
        p.setPen(QPen(ink, 1));
        for (int i = 0; i < 4; ++i) {
            p.drawLine(QPointF(4 + 2.5 * i, 1), QPointF(4 + 2.5 * i, 3));
            p.drawLine(QPointF(4 + 2.5 * i, 13), QPointF(4 + 2.5 * i, 15));
        }
        p.setBrush(body);
        p.drawRoundedRect(QRectF(2.5, 3.5, 11, 9), 1.5, 1.5);
    };
    switch (index) {
        case 0: {  // new: a blank page with a folded corner and a spark
            QPainterPath page;
            page.moveTo(2.5, 1.5);
            page.lineTo(9.5, 1.5);
            page.lineTo(12.5, 4.5);
            page.lineTo(12.5, 14.5);
            page.lineTo(2.5, 14.5);
            page.closeSubpath();
            onPaper();
            p.drawPath(page);
            p.drawLine(QPointF(9.5, 1.5), QPointF(9.5, 4.5));
            p.drawLine(QPointF(9.5, 4.5), QPointF(12.5, 4.5));
            p.setPen(QPen(QColor(0x70, 0x90, 0xC0), 1));
            for (int i = 0; i < 3; ++i) p.drawLine(QPointF(4.5, 7.5 + 2 * i), QPointF(10.5, 7.5 + 2 * i));
            p.setPen(QPen(QColor(0xE0, 0xA0, 0x00), 1.4));
            p.drawLine(QPointF(13, 0.5), QPointF(13, 5.5));
            p.drawLine(QPointF(10.5, 3), QPointF(15.5, 3));
            break;
        }
        case 3: {  // search: a magnifier over a page
            onPaper();
            p.drawRect(QRectF(1.5, 1.5, 9, 12));
            p.setPen(QPen(QColor(0x20, 0x50, 0xA0), 2));
            p.setBrush(QColor(0xD0, 0xE8, 0xFF));
            p.drawEllipse(QRectF(6, 6, 6, 6));
            p.drawLine(QPointF(11.5, 11.5), QPointF(15, 15));
            break;
        }
        case 4: {  // print: a printer with a sheet
            onPaper();
            p.drawRect(QRectF(4.5, 1.5, 7, 5));
            p.setBrush(QColor(0xA0, 0xA8, 0xB0));
            p.drawRoundedRect(QRectF(1.5, 6.5, 13, 6), 1, 1);
            p.setBrush(Qt::white);
            p.drawRect(QRectF(4.5, 10.5, 7, 4));
            p.setPen(QColor(0x20, 0xA0, 0x20));
            p.drawPoint(QPointF(12.5, 8.5));
            break;
        }
        case 8: {  // settings: three sliders
            p.setPen(QPen(ink, 1.2));
            for (int i = 0; i < 3; ++i) p.drawLine(QPointF(2, 3.5 + 4.5 * i), QPointF(14, 3.5 + 4.5 * i));
            p.setBrush(QColor(0x30, 0x70, 0xC0));
            const qreal knobs[3] = {10, 5, 8};
            for (int i = 0; i < 3; ++i) p.drawRect(QRectF(knobs[i] - 1.5, 1.5 + 4.5 * i, 3, 4));
            break;
        }
        case 9: {  // start: a green triangle
            p.setPen(QPen(QColor(0x10, 0x60, 0x10), 1));
            p.setBrush(QColor(0x30, 0xB0, 0x30));
            QPainterPath t;
            t.moveTo(4, 2);
            t.lineTo(14, 8);
            t.lineTo(4, 14);
            t.closeSubpath();
            p.drawPath(t);
            break;
        }
        case 10: {  // stop: a red square
            p.setPen(QPen(QColor(0x80, 0x10, 0x10), 1));
            p.setBrush(QColor(0xD0, 0x30, 0x30));
            p.drawRoundedRect(QRectF(3.5, 3.5, 9, 9), 1, 1);
            break;
        }
        case 11: {  // address scan: a chip with a magnifier
            chip(QColor(0x50, 0x50, 0x58));
            p.setPen(QPen(QColor(0xF0, 0xD0, 0x40), 1.5));
            p.setBrush(Qt::NoBrush);
            p.drawEllipse(QRectF(5, 5, 5, 5));
            p.drawLine(QPointF(9.5, 9.5), QPointF(12, 12));
            break;
        }
        case 12: {  // bus tool: arrows both ways
            p.setPen(QPen(QColor(0x20, 0x60, 0xC0), 1.6));
            p.drawLine(QPointF(2, 5), QPointF(13, 5));
            p.drawLine(QPointF(10, 2.5), QPointF(13, 5));
            p.drawLine(QPointF(10, 7.5), QPointF(13, 5));
            p.setPen(QPen(QColor(0x20, 0x90, 0x30), 1.6));
            p.drawLine(QPointF(3, 11), QPointF(14, 11));
            p.drawLine(QPointF(6, 8.5), QPointF(3, 11));
            p.drawLine(QPointF(6, 13.5), QPointF(3, 11));
            break;
        }
        case 13: {  // memory monitor: a chip with a grid
            chip(QColor(0x30, 0x50, 0x90));
            p.setPen(QPen(QColor(0xE0, 0xE8, 0xF0), 0.8));
            p.drawLine(QPointF(4, 8), QPointF(12, 8));
            p.drawLine(QPointF(8, 5), QPointF(8, 11));
            break;
        }
        default:
            break;
    }
    return pm;
}

QPixmap standardGlyph(QStyle* style, QStyle::StandardPixmap sp) {
    return style->standardIcon(sp).pixmap(16, 16);
}

// The highlighted look (under the mouse): a little more vivid than the normal one.
QPixmap highlighted(const QPixmap& pm) {
    QImage img = pm.toImage().convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < img.height(); ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            QColor c = QColor::fromRgba(line[x]);
            if (c.alpha() == 0) continue;
            float h, s, l, a;
            c.getHslF(&h, &s, &l, &a);
            c.setHslF(h, std::min(1.0f, s * 1.35f), std::min(0.92f, l * 1.06f), a);
            line[x] = c.rgba();
        }
    }
    return QPixmap::fromImage(img);
}

// The disabled look: grey and faded, so that it stands apart from the normal look even for
// glyphs that are grey already.
QPixmap disabledLook(const QPixmap& pm) {
    QImage img = pm.toImage().convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < img.height(); ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            const QRgb c = line[x];
            const int g = 96 + qGray(c) * 5 / 8;
            line[x] = qRgba(g, g, g, qAlpha(c) * 2 / 5);
        }
    }
    return QPixmap::fromImage(img);
}

}  // namespace

// --- Program paths ---

std::string programFilePath() {
    if (!programFileOverride().empty()) return programFileOverride();
    return QCoreApplication::applicationFilePath().toStdString();
}

void setProgramFilePath(const std::string& path) {
    programFileOverride() = path;
}

std::string programDirectory() {
    const QFileInfo exe(q(programFilePath()));
    const QFileInfo dir(exe.absolutePath());
    if (dir.isDir() && dir.isWritable()) return withSlash(exe.absolutePath().toStdString());
    // An installed program: its data go to the user's data folder.
    QString data = qEnvironmentVariable("XDG_DATA_HOME");
    if (data.isEmpty()) data = QDir::homePath() + "/.local/share";
    const QString own = data + "/kevo";
    QDir().mkpath(own);
    return withSlash(own.toStdString());
}

std::string configFilePath() {
    return programDirectory() + QFileInfo(q(programFilePath())).completeBaseName().toStdString() + ".cfg";
}

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
    setWindowTitle(QString::fromUtf8(kCaption));
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

    // Designed client area 592 x 378 at 571, 180; the project file may override both.
    const int menuHeight = Hauptmenu->sizeHint().height();
    setMinimumSize(592, 380);
    resize(592, 378 + menuHeight);
    move(571, 180);
}

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

void TF_IIcCtrl::buildGlyphs() {
    QStyle* st = style();
    const QPixmap normal[14] = {
        drawGlyph(0),
        standardGlyph(st, QStyle::SP_DialogOpenButton),
        standardGlyph(st, QStyle::SP_DialogSaveButton),
        drawGlyph(3),
        drawGlyph(4),
        standardGlyph(st, QStyle::SP_FileDialogNewFolder),
        standardGlyph(st, QStyle::SP_DirOpenIcon),
        standardGlyph(st, QStyle::SP_DriveFDIcon),
        drawGlyph(8),
        drawGlyph(9),
        drawGlyph(10),
        drawGlyph(11),
        drawGlyph(12),
        drawGlyph(13),
    };
    for (const QPixmap& pm : normal) {
        IL_HMToolbar.append(pm);
        IL_HMToolbarH.append(highlighted(pm));
        IL_HMToolbarD.append(disabledLook(pm));
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
        if (handler) QObject::connect(a, &QAction::triggered, self, [self, handler] { (self->*handler)(); });
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
        miScanToolClick();
    });
    connect(miBusTool, &QAction::triggered, this, [this] {
        miBusTool->setChecked(!miBusTool->isChecked());
        miBusToolClick();
    });
    connect(miMemTool, &QAction::triggered, this, [this] {
        miMemTool->setChecked(!miMemTool->isChecked());
        miMemToolClick();
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
    connect(TB_ScanTool, &QAction::triggered, this, &TF_IIcCtrl::TB_ScanToolClick);
    connect(TB_BusTool, &QAction::triggered, this, &TF_IIcCtrl::TB_BusToolClick);
    connect(TB_MemTool, &QAction::triggered, this, &TF_IIcCtrl::TB_MemToolClick);
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

bool TF_IIcCtrl::menuEnabled(QMenu* menu) const {
    return menu->menuAction()->isEnabled();
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
    ProjectDir = ProgramDir + "Data/";
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
    }
    // 6.-8. The current project.
    LoadProjectFile(startProject, *this);
    DocFlags = DocStarting;
    if (ProjectSettings.DataDir.empty()) ProjectSettings.DataDir = ProjectDir;

    // 9. The adapter.
    OfflineMode = false;
    adapterLinkLoop();

    // 10. No recording runs.
    miAnlStop->setEnabled(false);
    TB_AnlStop->setEnabled(false);
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
                                       dialogs::mbOK | dialogs::mbRetry | dialogs::mbIgnore, boxX(), boxY());
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
    const int answer =
        dialogs::messageDlgPos("I²C-Analyzer ist gestartet, Analyzer stoppen und Programm beenden?",
                               dialogs::MsgType::Warning, dialogs::mbYes | dialogs::mbCancel, boxX(), boxY());
    if (answer == dialogs::mrYes)
        StopAnalyzer();
    else
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

void TF_IIcCtrl::UpdateFileCommands() {
    const CaptureStore* store = captureStore();
    const std::int32_t used = store ? store->BytesUsed.load() : 0;
    if (menuEnabled(mmDatei)) {
        TB_Open->setEnabled(true);
        const bool any = used != 0;
        for (QAction* a : {miNew, miPrint, miSaveAs, miSearch, TB_New, TB_Print, TB_Search})
            a->setEnabled(any);
        const bool save = any && (DocFlags & DocLogModified);
        miSave->setEnabled(save);
        TB_Save->setEnabled(save);
    } else {
        for (QAction* a : {TB_New, TB_Open, TB_Print, TB_Save, TB_Search}) a->setEnabled(false);
    }
    if (menuEnabled(mmProjekt)) {
        TB_NewProjekt->setEnabled(true);
        TB_OpenProj->setEnabled(true);
        TB_Setup->setEnabled(true);
        const bool save = DocFlags & DocProjectModified;
        TB_SaveProj->setEnabled(save);
        miSaveProj->setEnabled(save);
    } else {
        for (QAction* a : {TB_NewProjekt, TB_OpenProj, TB_Setup, TB_SaveProj}) a->setEnabled(false);
    }
}

void TF_IIcCtrl::UpdateToolCommands() {
    const Form forms[3] = {ScanForm, BusForm, MemoryForm};
    const bool master = ProjectSettings.ProbeMaster != 0;
    setMenuEnabled(mmTools, master);
    TB_ScanTool->setEnabled(master);
    TB_BusTool->setEnabled(master);
    TB_MemTool->setEnabled(master);
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
    const TProjectSettings& s = ProjectSettings;
    // 1. Device.
    if (!OfflineMode)
        SBarPanels[0]->setText(q(" RAFU Sn.: " + DeviceInfo.ShortSerial));
    else
        SBarPanels[0]->setText(QString::fromUtf8(" RAFU offline"));
    // 2. Level.
    SBarPanels[1]->setText(q(" " + tableEntry(LevelNames, s.LogicLevel) + " Logik"));
    // 3. Sampling clock range.
    SBarPanels[2]->setText(
        q(" Aufzeichnung " + tableEntry(ClockRangeNames, long(DeviceInfo.PllMode) * 4 + s.ClockDivider)));
    // 4. Master clock in kHz, truncated.
    SBarPanels[3]->setText(
        q(" Mastertakt: " + std::to_string(std::uint32_t(s.MasterClockHz) / 1000u) + " kHz"));
    // 5.-6. Project.
    std::string prefix = "[";
    if (DocFlags & DocProjectModified) {
        prefix = "*[";
        miSaveProj->setEnabled(true);
        TB_SaveProj->setEnabled(true);
    }
    const long n = long(ProjectDir.size()) - 1;
    std::string project;
    if (!ProjectPath.empty() && samePrefix(ProjectPath, ProjectDir, n))
        project = " Projekt: " + prefix + fileNameOf(ProjectPath) + "]";
    else if (!ProjectPath.empty())
        project = " Projekt: " + prefix + ProjectPath + "]";
    else
        project = "Projekt: " + prefix + "Default]";
    SBarPanels[4]->setText(q(project));
    // 7.-8. Caption with the log.
    const std::string logPrefix = (DocFlags & DocLogModified) ? "*[" : "[";
    const std::string& dataDir = s.DataDir;
    const long m = long(dataDir.size()) - 1;
    std::string caption = std::string(kCaption) + " - " + logPrefix;
    if (!LogPath.empty() && samePrefix(LogPath, dataDir, m))
        caption += fileNameOf(LogPath) + "]";
    else if (!LogPath.empty())
        caption += LogPath + "]";
    else
        caption += std::string(kDefaultLogName) + "]";
    const QString title = q(caption);
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
    CaptureThread->Resume();
    setMenuEnabled(mmDatei, false);
    setMenuEnabled(mmProjekt, false);
    miAnlStart->setEnabled(false);
    TB_AnlStart->setEnabled(false);
    miAnlStop->setEnabled(true);
    TB_AnlStop->setEnabled(true);
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
        miAnlStart->setEnabled(true);
        TB_AnlStart->setEnabled(true);
        miAnlStop->setEnabled(false);
        TB_AnlStop->setEnabled(false);
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
        RE_I2CMonitor->print(&printer);
    } catch (...) {
        printer.abort();
        throw;
    }
}

void TF_IIcCtrl::miPrintClick() {
    std::unique_ptr<QPrinter> printer = choosePrinter(this);
    if (printer) printTrace(*printer);
}

void TF_IIcCtrl::miBeendenClick() {
    close();
}

void TF_IIcCtrl::miInfoClick() {
    if (F_Info) F_Info->exec();
}

// --- Log files ---

void TF_IIcCtrl::miNewClick() {
    if (DocFlags & DocLogModified) {
        const int answer = dialogs::messageDlgPos("Änderungen nicht gespeichert!  Dateien speichern?",
                                                  dialogs::MsgType::Warning,
                                                  dialogs::mbYes | dialogs::mbNo | dialogs::mbCancel);
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
            dialogs::MsgType::Warning, dialogs::mbYes | dialogs::mbNo | dialogs::mbCancel, boxX(), boxY());
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

void TF_IIcCtrl::SaveProtokoll(std::string path) {
    lastSaveOk_ = false;
    try {
        if (path.empty()) path = ProjectSettings.DataDir + kDefaultLogName;
        MakeBackupFile(path);
        const CaptureStore* store = captureStore();
        const LogWriteResult written = store ? writeBinaryLog(path, *store) : LogWriteResult::CannotCreate;
        if (written == LogWriteResult::CannotCreate) {
            dialogs::errorBoxCancel("Binäre Protokolldatei konnte nicht geöffnet werden");
        } else if (written == LogWriteResult::WriteFailed) {
            // Nothing half-written stays under the name: the older log comes back.
            restoreBackupFile(path);
            throw std::runtime_error("write failed");
        } else {
            lastSaveOk_ = true;
        }
        const std::string rtfPath = rtfPathOf(path);
        MakeBackupFile(rtfPath);
        rtf::Options opt;
        opt.fontFamily = QStringLiteral("Courier New");
        opt.fontHalfPoints = 20;  // 13 pixels
        opt.leftIndentTwips = RE_I2CMonitor->leftIndent() * 15;
        if (!rtf::saveDocument(*RE_I2CMonitor->document(), q(rtfPath), opt)) {
            restoreBackupFile(rtfPath);
            throw std::runtime_error("rtf failed");
        }
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

std::string TF_IIcCtrl::shortSerial() const {
    return DeviceInfo.ShortSerial;
}
