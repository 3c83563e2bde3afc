#include "info.h"

#include <QFont>
#include <QFrame>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QShowEvent>

#include "iicctrlu.h"

TF_Info* F_Info = nullptr;

QPixmap kevoLogo(int width, int height) {
    QPixmap pm(width, height);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    // An SDA/SCL pair with a start condition, then the name.
    const qreal h = height;
    QPen scl(QColor(0x00, 0x60, 0xC0), 2.0);
    QPen sda(QColor(0xD0, 0x20, 0x20), 2.0);
    const qreal x0 = 6, x1 = width * 0.42;
    QPainterPath clk;
    clk.moveTo(x0, h * 0.30);
    const int n = 6;
    const qreal step = (x1 - x0) / n;
    for (int i = 0; i < n; ++i) {
        const qreal x = x0 + i * step;
        clk.lineTo(x + step * 0.25, h * 0.30);
        clk.lineTo(x + step * 0.25, h * 0.15);
        clk.lineTo(x + step * 0.75, h * 0.15);
        clk.lineTo(x + step * 0.75, h * 0.30);
    }
    clk.lineTo(x1, h * 0.30);
    p.setPen(scl);
    p.drawPath(clk);
    QPainterPath dat;
    dat.moveTo(x0, h * 0.45);
    bool high = true;
    const bool bits[n] = {false, true, false, true, true, false};
    for (int i = 0; i < n; ++i) {
        const qreal x = x0 + i * step;
        const qreal y = bits[i] ? h * 0.45 : h * 0.60;
        if (bits[i] != high) {
            dat.lineTo(x + step * 0.05, high ? h * 0.45 : h * 0.60);
            dat.lineTo(x + step * 0.15, y);
            high = bits[i];
        }
        dat.lineTo(x + step, y);
    }
    p.setPen(sda);
    p.drawPath(dat);

    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(int(h * 0.62));
    f.setBold(true);
    p.setFont(f);
    QLinearGradient g(0, 0, 0, h);
    g.setColorAt(0, QColor(0x20, 0x40, 0x90));
    g.setColorAt(1, QColor(0x10, 0x20, 0x50));
    p.setPen(QPen(QBrush(g), 1));
    p.drawText(QRectF(x1 + 8, 0, width - x1 - 8, h * 0.8), Qt::AlignVCenter | Qt::AlignLeft,
               QStringLiteral("KEVO"));
    QFont s(QStringLiteral("DejaVu Sans"));
    s.setPixelSize(int(h * 0.16));
    p.setFont(s);
    p.setPen(QColor(0x40, 0x40, 0x40));
    p.drawText(QRectF(x0, h * 0.72, width - x0, h * 0.26), Qt::AlignVCenter | Qt::AlignLeft,
               QString::fromUtf8("I²C-Bus  ·  RAFU"));
    return pm;
}

TF_Info::TF_Info(QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("F_Info"));
    setWindowTitle(QStringLiteral("Info"));
    setFixedSize(360, 273);
    setModal(true);

    Panel1 = new QFrame(this);
    Panel1->setFrameShape(QFrame::Panel);
    Panel1->setFrameShadow(QFrame::Raised);
    Panel1->setGeometry(8, 8, 344, 222);

    ProgramIcon = new QLabel(Panel1);
    ProgramIcon->setGeometry(12, 8, 320, 81);
    ProgramIcon->setPixmap(kevoLogo(320, 81));
    ProgramIcon->setScaledContents(false);
    ProgramIcon->setAlignment(Qt::AlignCenter);

    ProductName = new QLabel(QString::fromUtf8("KEVO I²C-Datenmonitor / Parvelo "), Panel1);
    QFont pf = ProductName->font();
    pf.setPixelSize(16);
    ProductName->setFont(pf);
    ProductName->setAlignment(Qt::AlignCenter);
    ProductName->setGeometry(8, 94, 328, 22);

    Bevel1 = new QFrame(Panel1);
    Bevel1->setFrameShape(QFrame::Box);
    Bevel1->setFrameShadow(QFrame::Sunken);
    Bevel1->setGeometry(24, 120, 296, 56);
    L_Version = new QLabel(Bevel1);
    L_Version->setAlignment(Qt::AlignCenter);
    L_Version->setGeometry(2, 2, 292, 52);

    L_Copyright = new QLabel(QString::fromUtf8("Analyzer, Bus-Tools und Speichermonitor"), Panel1);
    L_Copyright->setAlignment(Qt::AlignCenter);
    L_Copyright->setGeometry(8, 180, 328, 16);
    L_Comment = new QLabel(QString::fromUtf8("für den RAFU I²C-Adapter"), Panel1);
    L_Comment->setAlignment(Qt::AlignCenter);
    L_Comment->setGeometry(8, 198, 328, 16);

    BB_Ok = new QPushButton(QStringLiteral("Ok"), this);
    BB_Ok->setObjectName(QStringLiteral("BB_Ok"));
    BB_Ok->setGeometry(142, 238, 76, 27);
    connect(BB_Ok, &QPushButton::clicked, this, [this] { done(QDialog::Accepted); });
}

TF_Info::~TF_Info() {
    if (F_Info == this) F_Info = nullptr;
}

void TF_Info::FormShow() {
    L_Version->setText(QString::fromStdString(VersionText));
}

void TF_Info::showEvent(QShowEvent* e) {
    if (!e->spontaneous()) {
        FormShow();
        // Centred on the main window.
        if (QWidget* w = parentWidget()) {
            const QRect r = w->frameGeometry();
            move(r.center() - QPoint(width() / 2, height() / 2));
        }
    }
    QDialog::showEvent(e);
}
