#include "toolglyphs.h"

#include <QAction>
#include <QApplication>
#include <QPainter>
#include <QPixmap>
#include <QToolBar>

#include <exception>

#include "iicctrlu.h"
#include "kevoapplication.h"

QIcon styleGlyph(QStyle::StandardPixmap which) {
    return QApplication::style()->standardIcon(which);
}

QIcon helpGlyph() {
    // A blue disc with a white question mark: the styles draw no help glyph of their own.
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QColor(0x1F, 0x4E, 0x9A));
    p.setBrush(QColor(0x34, 0x65, 0xA4));
    p.drawEllipse(QRectF(0.5, 0.5, 15, 15));
    QFont f = p.font();
    f.setBold(true);
    f.setPixelSize(12);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QRect(0, 0, 16, 16), Qt::AlignCenter, QStringLiteral("?"));
    p.end();
    return QIcon(pm);
}

QIcon toolGlyph(int index, const QIcon& fallback) {
    if (F_IIcCtrl && index >= 0 && index < F_IIcCtrl->IL_HMToolbar.size()) {
        QIcon ic;
        ic.addPixmap(F_IIcCtrl->IL_HMToolbar[index], QIcon::Normal);
        ic.addPixmap(F_IIcCtrl->IL_HMToolbarH[index], QIcon::Active);
        ic.addPixmap(F_IIcCtrl->IL_HMToolbarD[index], QIcon::Disabled);
        return ic;
    }
    return fallback;
}

QAction* toolButton(QToolBar* bar, const char* name, const char* hint, const QIcon& icon,
                    std::function<void()> handler) {
    QAction* a = bar->addAction(icon, QString());
    a->setObjectName(QString::fromLatin1(name));
    a->setToolTip(QString::fromUtf8(hint));
    if (handler) QObject::connect(a, &QAction::triggered, bar, [handler] { guarded(handler); });
    return a;
}
