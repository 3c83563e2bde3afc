// The about box: product name, logo and the program's version text. Shown modally by the
// main window's Info command; created once at program start (global F_Info). GUI thread.
#pragma once

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;

class TF_Info : public QDialog {
    Q_OBJECT
  public:
    explicit TF_Info(QWidget* owner = nullptr);
    ~TF_Info() override;  // F_Info reads null once the box is gone

    QFrame* Panel1 = nullptr;
    QLabel* ProgramIcon = nullptr;  // the logo, 320 x 81
    QLabel* ProductName = nullptr;  // "KEVO I²C-Datenmonitor / Parvelo "
    QFrame* Bevel1 = nullptr;
    QLabel* L_Version = nullptr;  // VersionText, three lines
    QLabel* L_Copyright = nullptr;
    QLabel* L_Comment = nullptr;
    QPushButton* BB_Ok = nullptr;

    // Fills the version label; runs each time the box is shown.
    void FormShow();

  protected:
    void showEvent(QShowEvent* e) override;
};

extern TF_Info* F_Info;

// The logo of the about box (drawn, no picture file).
QPixmap kevoLogo(int width, int height);
