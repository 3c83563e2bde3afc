#include "toolglyphs.h"

#include <QAction>
#include <QApplication>
#include <QToolBar>

#include <exception>

#include "iicctrlu.h"
#include "kevoapplication.h"

QIcon toolGlyph(int index, QStyle::StandardPixmap fallback) {
    if (F_IIcCtrl && index >= 0 && index < F_IIcCtrl->IL_HMToolbar.size()) {
        QIcon ic;
        ic.addPixmap(F_IIcCtrl->IL_HMToolbar[index], QIcon::Normal);
        ic.addPixmap(F_IIcCtrl->IL_HMToolbarH[index], QIcon::Active);
        ic.addPixmap(F_IIcCtrl->IL_HMToolbarD[index], QIcon::Disabled);
        return ic;
    }
    return QApplication::style()->standardIcon(fallback);
}

QAction* toolButton(QToolBar* bar, const char* name, const char* hint, const QIcon& icon,
                    std::function<void()> handler) {
    QAction* a = bar->addAction(icon, QString());
    a->setObjectName(QString::fromLatin1(name));
    a->setToolTip(QString::fromUtf8(hint));
    if (handler)
        QObject::connect(a, &QAction::triggered, bar, [handler] {
            try {
                handler();
            } catch (...) {
                ShowException(std::current_exception());
            }
        });
    return a;
}
