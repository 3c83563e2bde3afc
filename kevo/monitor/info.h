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

    QFrame* Panel1;
    QLabel* ProgramIcon;  // the logo, 320 x 81
    QLabel* ProductName;  // "KEVO I²C-Datenmonitor / Parvelo "
    QFrame* Bevel1;
    QLabel* L_Version;  // VersionText, three lines
    QLabel* L_Copyright;
    QLabel* L_Comment;
    QPushButton* BB_Ok;

    // Fills the version label; runs each time the box is shown.
    void FormShow();

  protected:
    void showEvent(QShowEvent* e) override;
};

extern TF_Info* F_Info;

// The logo of the about box (drawn, no picture file).
QPixmap kevoLogo(int width, int height);
