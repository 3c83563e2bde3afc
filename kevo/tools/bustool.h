// The bus telegram tool F_BusTool: writes up to 16 bytes to an I2C device or reads up to 16
// bytes from it, directly or through a 1- or 2-byte sub-address, with the adapter as bus
// master. Every value the user edits lives in the settings record (BusDevAddr, BusSubBytes,
// BusSubAddr, BusDataBytes, BusSendData) and is stored as soon as its field is left.
//
// One instance, created by the program entry and registered with the main window, which
// shows and hides it and keeps its position and visibility in the project file. GUI thread
// only; a click blocks until the adapter has answered. Each click that opens the command
// link closes it again, so the link's nesting count is unchanged afterwards.
#pragma once

#include <QWidget>

#include <array>
#include <cstdint>

#include "projectsettings.h"

class QAction;
class QGroupBox;
class QLineEdit;
class QRadioButton;
class QToolBar;

class TF_BusTool : public QWidget, private SettingsFollower {
    Q_OBJECT
  public:
    explicit TF_BusTool(QWidget* owner = nullptr);

    // --- Components ---
    QToolBar* TB_BusTool;
    QAction *TB_Receive, *TB_Send, *ToolButton4;
    QGroupBox* GB_Device;
    QLineEdit* E_DevAdr;
    QGroupBox* RG_SubAdress;
    QRadioButton *RB_noSub, *RB_1ByteSub, *RB_2ByteSub;
    QLineEdit* E_SubAdress;
    QLineEdit* E_AnzBytes;
    QGroupBox* GB_Senddata;
    QLineEdit *E_SByte0, *E_SByte1, *E_SByte2, *E_SByte3, *E_SByte4, *E_SByte5, *E_SByte6, *E_SByte7,
        *E_SByte8, *E_SByte9, *E_SByteA, *E_SByteB, *E_SByteC, *E_SByteD, *E_SByteE, *E_SByteF;
    QGroupBox* GB_Receivedata;
    QLineEdit *E_EByte0, *E_EByte1, *E_EByte2, *E_EByte3, *E_EByte4, *E_EByte5, *E_EByte6, *E_EByte7,
        *E_EByte8, *E_EByte9, *E_EByteA, *E_EByteB, *E_EByteC, *E_EByteD, *E_EByteE, *E_EByteF;

    // The 16 send fields (entries 0-15), then the 16 receive fields (entries 16-31). Every
    // walk over send or receive fields goes through this table.
    std::array<QLineEdit*, 32> BusToolEdits{};

    // --- Handlers ---
    void FormShow();
    void FormHide();
    void RB_noSubClick();
    void RB_1ByteSubClick();
    void RB_2ByteSubClick();
    // Send field X (0..15): the typing rule now / the leaving rule now.
    void ClampSendByteText(int X);
    void StoreSendByte(int X);
    // Read and write telegrams. A reply status that is no number throws EConvertError (the
    // link is closed by then); the button bindings hand it to the event loop's error box.
    void TB_ReceiveClick();
    void TB_SendClick();

  protected:
    void showEvent(QShowEvent* e) override;
    void hideEvent(QHideEvent* e) override;

  private:
    void buildDevice();
    void buildDataRows();
    void bindNumberEdits();
    void applySubAddressEnabling();
    // The sub-address width's rule (0 "Nein", 1 or 2 bytes) on the settings and the field.
    void applyWidth(int width);
    void enableSendFields();
    void showMessage(const char* text);
    // Every field's text that the user (or an accessibility layer) changed goes through its
    // leave rule, whichever field has the focus: what the fields show is what a command sends.
    void takeShownFields();
    // Every control from the settings; the receive fields are emptied unless keepReceived.
    void loadSettings(bool keepReceived = false);
    // A change of the settings as a whole: what is typed goes into the settings it was typed
    // for; then the open window shows the new ones.
    void settingsLeaving() override;
    void settingsEntered() override;
    static std::array<std::int32_t, 3> settingsDevice();
    // The device and sub-address the receive fields were read from, as the settings left them.
    std::array<std::int32_t, 3> leftDevice_{};
};

extern TF_BusTool* F_BusTool;
