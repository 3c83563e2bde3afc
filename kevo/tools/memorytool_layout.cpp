// The memory monitor's layout: tool bar with its glyphs and hints, the dump grid, its scroll
// bar and the status bar.
#include <QAction>
#include <QFont>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>

#include "kevoapplication.h"
#include "memorytool.h"
#include "stringgride.h"
#include "toolglyphs.h"

namespace {

// Designed client area; a grid cell is its designed size plus the one-pixel grid line that the
// class library's grid keeps between cells, drawn or not.
constexpr int kClientW = 609, kClientH = 366;
constexpr int kRowPitch = 17 + 1;

void drawChip(QPainter& p) {
    p.setPen(QPen(Qt::black, 1));
    for (int x = 4; x <= 11; x += 3) {
        p.drawLine(x, 1, x, 3);
        p.drawLine(x, 12, x, 14);
    }
    p.setBrush(QColor(40, 40, 40));
    p.drawRect(2, 4, 11, 7);
}

void drawArrow(QPainter& p, bool up, const QColor& c) {
    QPainterPath a;
    if (up) {
        a.moveTo(12, 6);
        a.lineTo(16, 11);
        a.lineTo(13.5, 11);
        a.lineTo(13.5, 16);
        a.lineTo(10.5, 16);
        a.lineTo(10.5, 11);
        a.lineTo(8, 11);
    } else {
        a.moveTo(12, 16);
        a.lineTo(16, 11);
        a.lineTo(13.5, 11);
        a.lineTo(13.5, 6);
        a.lineTo(10.5, 6);
        a.lineTo(10.5, 11);
        a.lineTo(8, 11);
    }
    a.closeSubpath();
    p.setPen(QPen(Qt::black, 0.8));
    p.setBrush(c);
    p.drawPath(a);
}

QPixmap glyph(int which) {
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    switch (which) {
        case 0:  // clear: a blank sheet with a red cross
            p.setPen(Qt::black);
            p.setBrush(Qt::white);
            p.drawRect(QRectF(2.5, 1.5, 10, 13));
            p.setPen(QPen(QColor(200, 0, 0), 2));
            p.drawLine(5, 5, 11, 12);
            p.drawLine(11, 5, 5, 12);
            break;
        case 3:  // read the device: data come out of the chip
            drawChip(p);
            drawArrow(p, true, QColor(0, 160, 0));
            break;
        case 4:  // write the device: data go into the chip
            drawChip(p);
            drawArrow(p, false, QColor(200, 0, 0));
            break;
        case 5: {  // online: a flash
            QPainterPath f;
            f.moveTo(9, 0.5);
            f.lineTo(3, 9);
            f.lineTo(7.5, 9);
            f.lineTo(5.5, 15.5);
            f.lineTo(13, 6);
            f.lineTo(8.5, 6);
            f.closeSubpath();
            p.setPen(QPen(Qt::black, 0.8));
            p.setBrush(QColor(255, 210, 0));
            p.drawPath(f);
            break;
        }
        case 6:  // write all: a stack of sheets
            p.setPen(Qt::black);
            for (int i = 2; i >= 0; --i) {
                p.setBrush(i ? QColor(225, 225, 225) : QColor(Qt::white));
                p.drawRect(QRectF(1.5 + 2 * i, 5.5 - 2 * i, 9, 10));
            }
            break;
        default:
            break;
    }
    return pm;
}

}  // namespace

void TF_MemoryTool::buildLayout() {
    setFixedSize(kClientW, kClientH);
    QFont small = font();  // the form's small dialog font, so that the designed layout fits
    small.setPointSize(8);
    setFont(small);
    move(25, 25);

    TB_MemoryTool = new QToolBar(this);
    TB_MemoryTool->setObjectName(QStringLiteral("TB_MemoryTool"));
    TB_MemoryTool->setIconSize(QSize(16, 16));
    TB_MemoryTool->setGeometry(0, 0, kClientW, 28);
    // Commands run guarded: an exception (a reply that is no number) goes to the error box.
    auto button = [this](const char* name, const QIcon& icon, const char* hint,
                         void (TF_MemoryTool::*handler)()) {
        return toolButton(TB_MemoryTool, name, hint, icon,
                          handler ? std::function<void()>([this, handler] { (this->*handler)(); })
                                  : std::function<void()>());
    };
    TB_Clear = button("TB_Clear", QIcon(glyph(0)), "Datenpuffer löschen", &TF_MemoryTool::TB_ClearClick);
    TB_MemoryTool->addSeparator();
    TB_ReadFile = button("TB_ReadFile", styleGlyph(QStyle::SP_DialogOpenButton),
                         "Datenpuffer aus Datei laden", &TF_MemoryTool::TB_ReadFileClick);
    TB_WriteFile = button("TB_WriteFile", styleGlyph(QStyle::SP_DialogSaveButton),
                          "Datenpuffer in Datei speichern", &TF_MemoryTool::TB_WriteFileClick);
    TB_MemoryTool->addSeparator();
    TB_ReadDevice = button("TB_ReadDevice", QIcon(glyph(3)), "Speicherbaustein auslesen",
                           &TF_MemoryTool::TB_ReadDeviceClick);
    TB_WriteDevice = button("TB_WriteDevice", QIcon(glyph(4)), "Daten in Speicherbaustein schreiben",
                            &TF_MemoryTool::TB_WriteDeviceClick);
    TB_MemoryTool->addSeparator();
    TB_WrDevOnline = button("TB_WrDevOnline", QIcon(glyph(5)),
                            "Änderungen im Datenpuffer sofort in Speicherbaustein schreiben", nullptr);
    TB_WrDevOnline->setCheckable(true);
    TB_WriteAll =
        button("TB_WriteAll", QIcon(glyph(6)), "auch unveränderte Daten in Baustein schreiben", nullptr);
    TB_WriteAll->setCheckable(true);
    TB_MemoryTool->addSeparator();
    TB_Help = button("TB_Help", helpGlyph(), "Hilfe", nullptr);

    SG_MemDump = new TStringGridE(18, 17, this);
    SG_MemDump->setObjectName(QStringLiteral("SG_MemDump"));
    QFont mono(QStringLiteral("Courier New"));
    mono.setStyleHint(QFont::TypeWriter);
    mono.setFixedPitch(true);
    mono.setPixelSize(12);
    SG_MemDump->setFont(mono);
    for (int c = 0; c < 18; ++c) SG_MemDump->setColumnWidth(c, 24 + 1);
    SG_MemDump->setColumnWidth(17, 134 + 1);
    for (int r = 0; r < 17; ++r) SG_MemDump->setRowHeight(r, kRowPitch);
    int gridW = 2 * SG_MemDump->frameWidth(), gridH = 2 * SG_MemDump->frameWidth() + 17 * kRowPitch;
    for (int c = 0; c < 18; ++c) gridW += c == 0 ? 40 + 1 : SG_MemDump->columnWidth(c);
    SG_MemDump->setGeometry(4, 32, gridW, gridH);
    // The ASCII column is never current: Home, End and the page keys stop before it.
    for (int r = 1; r < 17; ++r) SG_MemDump->item(r, 17)->setFlags(Qt::ItemIsEnabled);

    SB_DeviceMon = new QScrollBar(Qt::Vertical, this);
    SB_DeviceMon->setObjectName(QStringLiteral("SB_DeviceMon"));
    SB_DeviceMon->setGeometry(4 + gridW + 2, 32, 17, gridH);
    SB_DeviceMon->setFocusPolicy(Qt::StrongFocus);  // a scroll bar takes the focus, as designed
    connect(SB_DeviceMon, &QScrollBar::valueChanged, this, [this] { SB_DeviceMonChange(); });

    SB_SpTool = new QStatusBar(this);
    SB_SpTool->setObjectName(QStringLiteral("SB_SpTool"));
    SB_SpTool->setSizeGripEnabled(false);
    const int panelW[4] = {120, 120, 120, 100};
    const char* designed[4] = {"Device", "Kapazität", "Page", "Darstellung"};
    for (int i = 0; i < 4; ++i) {
        SB_SpToolPanels[i] = new QLabel(QString::fromUtf8(designed[i]), SB_SpTool);
        SB_SpToolPanels[i]->setMinimumWidth(panelW[i]);  // wider where this system's font needs it
        SB_SpToolPanels[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        SB_SpTool->addWidget(SB_SpToolPanels[i], i == 3 ? 1 : 0);
    }
    SB_SpTool->setGeometry(0, kClientH - 22, kClientW, 22);

    // The grid's handlers run guarded too: a conversion error shows its box right there, and
    // the grid then carries on with the move or key that raised it.
    SG_MemDump->onSelectCell = [this](int c, int r, bool& can) {
        guarded([&] { SG_MemDumpSelectCell(c, r, can); });
    };
    SG_MemDump->onSetEditText = [this](int c, int r, const QString& v) {
        guarded([&] { SG_MemDumpSetEditText(c, r, v); });
    };
    SG_MemDump->onKeyPress = [this](char& k) { guarded([&] { SG_MemDumpKeyPress(k); }); };
    SG_MemDump->onExit = [this] { guarded([this] { SG_MemDumpExit(); }); };
}
