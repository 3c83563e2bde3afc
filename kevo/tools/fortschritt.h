// The progress dialog F_Fortschritt that the memory transfers and the address scan show while
// they run, and ProgressRun, the one way they use it. GUI thread only.
#pragma once

#include <QDialog>
#include <QPointer>

#include "kevoapplication.h"

class QProgressBar;

class TF_Fortschritt : public QDialog {
    Q_OBJECT
  public:
    explicit TF_Fortschritt(QWidget* owner = nullptr);

    QProgressBar* PB_Fortschritt = nullptr;  // range 0 to 100, position 0 as designed

  protected:
    void showEvent(QShowEvent* e) override;
};

extern TF_Fortschritt* F_Fortschritt;

// One run of the progress dialog by an operation that blocks the event loop: sets the caption
// and the range, shows the dialog and lets it appear on screen (a window that the event loop
// has not yet put on screen drops every repaint), paints each new position at once, and
// closes the dialog at close() or at the end of its scope. Letting the dialog appear runs
// pending events other than user input: the caller must expect its own windows to have been
// closed or hidden meanwhile. Does nothing without F_Fortschritt.
class ProgressRun {
  public:
    ProgressRun(const char* caption, int minimum, int maximum);
    ~ProgressRun();
    ProgressRun(const ProgressRun&) = delete;
    ProgressRun& operator=(const ProgressRun&) = delete;

    void position(int p);
    void close();

  private:
    BlockingRun blocking_;  // window closes wait for the operation's end
    QPointer<TF_Fortschritt> dialog_;
};
