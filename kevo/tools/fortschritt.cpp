#include "fortschritt.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProgressBar>
#include <QThread>
#include <QWindow>

#include <algorithm>

TF_Fortschritt* F_Fortschritt = nullptr;

namespace {

// How long a run waits for the window system to put the dialog on screen.
constexpr int kAppearMs = 500;

}  // namespace

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

ProgressRun::ProgressRun(const char* caption, int minimum, int maximum) : dialog_(F_Fortschritt) {
    if (!dialog_) return;
    dialog_->setWindowTitle(QString::fromUtf8(caption));
    dialog_->PB_Fortschritt->setRange(minimum, std::max(minimum, maximum));
    dialog_->PB_Fortschritt->setValue(minimum);
    dialog_->show();
    // The window system puts the dialog on screen through the event loop, which the caller
    // is about to block: run it (without user input) until the dialog is exposed.
    QElapsedTimer waited;
    waited.start();
    auto exposed = [this] {
        return dialog_ && dialog_->windowHandle() && dialog_->windowHandle()->isExposed();
    };
    while (dialog_ && dialog_->isVisible() && !exposed() && waited.elapsed() < kAppearMs) {
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        if (!exposed()) QThread::msleep(1);
    }
}

ProgressRun::~ProgressRun() {
    close();
}

void ProgressRun::position(int p) {
    if (dialog_) dialog_->PB_Fortschritt->setValue(p);
}

void ProgressRun::close() {
    if (dialog_) dialog_->close();
    dialog_ = nullptr;
}
