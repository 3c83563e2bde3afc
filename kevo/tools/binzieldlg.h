// The modal transfer dialog F_BinZielDlg ("Datentransfer") of the memory image load: the user
// picks the offset in the file, the offset in the buffer and the number of bytes to move.
//
// Contract with the load command: the caller sets the texts of L_DevBytes, L_FileBytes,
// LE_FileOffset and LE_BufferOffset, runs exec(), and on 1 (OK) reads the three edits' texts,
// which the dialog leaves in canonical form. Texts are in the memory monitor's number base
// without a prefix (F_MemoryTool's MemNumberFormat and MemInputPrefix). Results: 1 OK,
// 2 Cancel (also the close box); Enter and Esc do not close it. GUI thread only.
#pragma once

#include <QDialog>
#include <cstdint>

class QLabel;
class QLineEdit;
class QPushButton;

class TF_BinZielDlg : public QDialog {
    Q_OBJECT
  public:
    explicit TF_BinZielDlg(QWidget* owner = nullptr);
    ~TF_BinZielDlg() override;

    QLabel *L_DevText, *L_DevBytes, *L_Filetext, *L_FileBytes;
    QLabel *L_FileOffset, *L_BufferOffset, *L_Bytes;  // the captions of the labelled edits
    QLineEdit *LE_FileOffset, *LE_BufferOffset, *LE_Bytes;
    QPushButton *B_Ok, *B_Cancel, *B_Help;

    std::int32_t BinDevBytes = 0;
    std::int32_t BinFileBytes = 0;
    std::int32_t BinFileOffset = 0;
    std::int32_t BinBufferOffset = 0;
    std::int32_t BinByteAnzahl = 0;

    void FormShow();
    // The typing rule of each edit runs through its number-field binding (numberedit.h); these
    // are the leaving rules.
    void LE_FileOffsetExit();
    void LE_BufferOffsetExit();
    void LE_BytesExit();
    void B_OkClick();
    void B_CancelClick();
    // Stores and returns the largest byte count the offsets leave (never below 0).
    std::int32_t CalkByteAnzahl();

  public slots:
    void reject() override;  // the close box: Cancel (2)

  protected:
    void showEvent(QShowEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

  private:
    bool hex() const;
    QString text(std::int32_t value) const;
    std::int32_t readText(const QString& t) const;
};

extern TF_BinZielDlg* F_BinZielDlg;
