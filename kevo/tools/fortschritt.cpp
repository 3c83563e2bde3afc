#include "fortschritt.h"

#include <QProgressBar>

TF_Fortschritt* F_Fortschritt = nullptr;

TF_Fortschritt::TF_Fortschritt(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint) {
    setObjectName(QStringLiteral("F_Fortschritt"));
    setWindowTitle(QStringLiteral("F_Fortschritt"));
    setModal(false);
    setFixedSize(304, 64);
    PB_Fortschritt = new QProgressBar(this);
    PB_Fortschritt->setObjectName(QStringLiteral("PB_Fortschritt"));
    PB_Fortschritt->setGeometry(8, 16, 289, 33);
    PB_Fortschritt->setRange(0, 100);
    PB_Fortschritt->setValue(0);
    PB_Fortschritt->setTextVisible(false);
    // The caller blocks the event loop while it works: paint each new position at once.
    connect(PB_Fortschritt, &QProgressBar::valueChanged, PB_Fortschritt,
            [this] { PB_Fortschritt->repaint(); });
}

void TF_Fortschritt::showEvent(QShowEvent* e) {
    // Centred on the main window (the owner).
    if (QWidget* main = parentWidget()) {
        const QRect r = main->frameGeometry();
        move(r.center() - QPoint(width() / 2, height() / 2));
    }
    QDialog::showEvent(e);
}
