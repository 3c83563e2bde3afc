// The progress dialog F_Fortschritt that the memory transfers and the address scan show while
// they run. It has no behaviour of its own: each user sets its caption, shows it modelessly,
// moves the bar and closes it at the end. The operations run on the GUI thread, so the bar
// repaints itself at once whenever its position changes. GUI thread only.
#pragma once

#include <QDialog>

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
