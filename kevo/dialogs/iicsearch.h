// The search dialog TF_Search ("Suchen nach"): finds a telegram in the main window's trace
// view. The user describes it by device address, sub-address, write or read-back, up to
// five data bytes and the stop mark; the dialog writes that as a pattern in the trace's line
// format (searchpattern.h) and searches the trace text for it, from the start or onwards
// from the current selection.
//
// Modeless, created once by the program entry (instance F_Search) and shown by the main
// window's search command. The seven fields take bare hex digits ("0x" implied, never shown)
// through the number-field helper. GUI thread only.
#pragma once

#include <QDialog>
#include <QString>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class NumberEdit;
namespace vcl {
class RadioGroup;
}

class TF_Search : public QDialog {
  public:
    explicit TF_Search(QWidget* owner = nullptr);

    // --- Components ---
    QGroupBox* GB_Adress;
    QLineEdit *LE_DevAdr, *LE_SubAdr;
    QLabel *L_DevAdr, *L_SubAdr;
    vcl::RadioGroup* RG_RdWr;
    QGroupBox* GB_Data;
    QLineEdit* LE_Byte[5];  // LE_Byte1 .. LE_Byte5
    QLabel* L_Byte[5];
    QCheckBox *CB_StopCond, *CB_Repeat;
    QPushButton *BB_Search, *BB_Cancel, *BB_Help;

    // --- Handlers ---
    void FormShow();
    // Field change rule: the typing rule has run; the enabling that follows the text.
    void LE_DevAdrChange();
    void LE_SubAdrChange();
    void LE_Byte1Change() { byteChange(0); }
    void LE_Byte2Change() { byteChange(1); }
    void LE_Byte3Change() { byteChange(2); }
    void LE_Byte4Change() { byteChange(3); }
    void LE_Byte5Change() { byteChange(4); }
    // Field leave rules.
    void LE_DevAdrExit();
    void LE_SubAdrExit();
    void LE_Byte1Exit() { byteExit(0); }
    void LE_Byte2Exit() { byteExit(1); }
    void LE_Byte3Exit() { byteExit(2); }
    void LE_Byte4Exit() { byteExit(3); }
    void LE_Byte5Exit() { byteExit(4); }
    // The pattern of the fields as they stand; enables BB_Search exactly when it is not empty.
    QString BuildSearchPattern();
    void BB_SearchClick();
    void BB_CancelClick();

  protected:
    void showEvent(QShowEvent* e) override;

  private:
    void byteChange(int i);
    void byteExit(int i);
    NumberEdit* numberOf(QLineEdit* edit) const;
    // Sets a field's text from code; its change rule runs as on typing.
    void setFieldText(QLineEdit* edit, const QString& text);
    void centreOnMainWindow();
};

extern TF_Search* F_Search;
