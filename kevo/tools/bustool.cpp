#include "bustool.h"

#include <QAction>
#include <QGroupBox>
#include <QHideEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QShowEvent>
#include <QToolBar>

#include "bustelegrams.h"
#include "checkbinding.h"
#include "deviceinfo.h"
#include "dialogseam.h"
#include "iicctrlu.h"
#include "kevoapplication.h"
#include "numberedit.h"
#include "projectsettings.h"
#include "toolglyphs.h"
#include "utf8text.h"
#include "vclcontrols.h"
#include "vlcom.h"

TF_BusTool* F_BusTool = nullptr;

namespace {

QString hexByte(std::int32_t v) {
    return q(FormatNumberText(v, NumberFormat::hexByte()));
}
QString hexWord(std::int32_t v) {
    return q(FormatNumberText(v, NumberFormat::hexWord()));
}

const char kHexDigits[] = "0123456789ABCDEF";

QLineEdit* edit(QWidget* parent, const QString& name, const QRect& r, const char* hint = nullptr) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(name);
    e->setGeometry(r);
    if (hint) e->setToolTip(QString::fromUtf8(hint));
    return e;
}

QLabel* label(QWidget* parent, const QString& text, const QRect& r) {
    auto* l = new QLabel(text, parent);
    l->setGeometry(r);
    return l;
}

// Text set from code, as it stands, without the field's rules.
void assign(QLineEdit* e, const QString& text) {
    if (NumberEdit* n = NumberEdit::of(e))
        n->assign(text);
    else
        e->setText(text);
}

// A value of the settings record into its number field by the field's own rules, as if it had
// been typed and the field left: the typing rule cuts it to the field's maximum, the leave rule
// stores what remains and writes its text. So a value from a project file that lies outside the
// field is shown, stored and sent alike. Texts carry no sign: a negative value enters as 0.
void bringIn(QLineEdit* e, std::int32_t value, QString (*text)(std::int32_t)) {
    NumberEdit* n = NumberEdit::of(e);
    n->setText(text(value < 0 ? 0 : value));
    n->leave();
}

BusTelegramParams telegramParams() {
    const TProjectSettings& s = ProjectSettings;
    BusTelegramParams p;
    p.devAddr = s.BusDevAddr;
    p.subBytes = s.BusSubBytes;
    p.subAddr = s.BusSubAddr;
    p.dataBytes = s.BusDataBytes;
    p.sendData = s.BusSendData;
    return p;
}

}  // namespace

TF_BusTool::TF_BusTool(QWidget* owner) : QWidget(owner, Qt::Dialog) {
    setObjectName(QStringLiteral("F_BusTool"));
    setWindowTitle(QStringLiteral("I²C-Telegramme Schreiben/Lesen"));
    setFixedSize(345, 333);
    QFont small = font();  // the form's small dialog font, so that the designed layout fits
    small.setPointSize(8);
    setFont(small);
    move(25, 25);

    TB_BusTool = new QToolBar(this);
    TB_BusTool->setObjectName(QStringLiteral("TB_BusTool"));
    TB_BusTool->setGeometry(0, 0, 345, 28);
    TB_BusTool->setIconSize(QSize(16, 16));
    TB_Receive = toolButton(TB_BusTool, "TB_Receive", "Daten von I²C-Slave lesen",
                            toolGlyph(16, styleGlyph(QStyle::SP_ArrowDown)), [this] { TB_ReceiveClick(); });
    TB_Send = toolButton(TB_BusTool, "TB_Send", "Daten auf I²C-Slave schreiben",
                         toolGlyph(17, styleGlyph(QStyle::SP_ArrowUp)), [this] { TB_SendClick(); });
    TB_BusTool->addSeparator();
    ToolButton4 = toolButton(TB_BusTool, "ToolButton4", "Hilfe", toolGlyph(14, helpGlyph()), {});

    buildDevice();
    buildDataRows();
    // The table: send fields 0..15, then receive fields 0..15.
    BusToolEdits = {E_SByte0, E_SByte1, E_SByte2, E_SByte3, E_SByte4, E_SByte5, E_SByte6, E_SByte7,
                    E_SByte8, E_SByte9, E_SByteA, E_SByteB, E_SByteC, E_SByteD, E_SByteE, E_SByteF,
                    E_EByte0, E_EByte1, E_EByte2, E_EByte3, E_EByte4, E_EByte5, E_EByte6, E_EByte7,
                    E_EByte8, E_EByte9, E_EByteA, E_EByteB, E_EByteC, E_EByteD, E_EByteE, E_EByteF};
    for (int i = 0; i < kBusToolBytes; ++i) {
        BusToolEdits[size_t(i)]->setText(hexByte(i));
        QLineEdit* r = BusToolEdits[size_t(16 + i)];
        r->setReadOnly(true);
        r->setFocusPolicy(Qt::NoFocus);  // not in the tab order
    }
    bindNumberEdits();
}

void TF_BusTool::buildDevice() {
    GB_Device = new QGroupBox(QStringLiteral("Baustein"), this);
    GB_Device->setObjectName(QStringLiteral("GB_Device"));
    GB_Device->setGeometry(4, 30, 337, 94);
    label(GB_Device, QStringLiteral("Adresse"), QRect(10, 24, 60, 16));
    E_DevAdr = edit(GB_Device, QStringLiteral("E_DevAdr"), QRect(10, 42, 52, 22), "Baustein-Adresse");

    RG_SubAdress = new QGroupBox(QStringLiteral("Subadressierung"), GB_Device);
    RG_SubAdress->setObjectName(QStringLiteral("RG_SubAdress"));
    RG_SubAdress->setToolTip(QStringLiteral("wird eine Register- Speicheradresse benötigt"));
    RG_SubAdress->setGeometry(72, 12, 112, 76);
    auto radio = [this](const char* name, const char* caption, const char* hint, int y) {
        auto* b = new QRadioButton(QString::fromUtf8(caption), RG_SubAdress);
        b->setObjectName(QString::fromLatin1(name));
        b->setToolTip(QString::fromUtf8(hint));
        b->setGeometry(8, y, 100, 18);
        return b;
    };
    RB_noSub = radio("RB_noSub", "Nein", "Daten direkt in/aus Baustein übertragen", 18);
    RB_1ByteSub = radio("RB_1ByteSub", "1 Byte", "Register/Speierplatz über 1 Byte-Zeiger adressieren", 36);
    RB_2ByteSub = radio("RB_2ByteSub", "2 Byte", "Register/Speierplatz über 2 Byte-Zeiger adressieren", 54);
    // Each rule acts only when its button becomes the selected one, however it is selected.
    vcl::onCheck(RB_noSub, [this] { RB_noSubClick(); });
    vcl::onCheck(RB_1ByteSub, [this] { RB_1ByteSubClick(); });
    vcl::onCheck(RB_2ByteSub, [this] { RB_2ByteSubClick(); });

    label(GB_Device, QStringLiteral("Subadresse"), QRect(194, 24, 64, 16));
    E_SubAdress =
        edit(GB_Device, QStringLiteral("E_SubAdress"), QRect(194, 42, 60, 22), "Register/Speicherzeiger");
    E_SubAdress->setText(QStringLiteral("0xFFFF"));
    label(GB_Device, QStringLiteral("Datenbytes"), QRect(264, 24, 66, 16));
    E_AnzBytes = edit(GB_Device, QStringLiteral("E_AnzBytes"), QRect(264, 42, 52, 22),
                      "Anzahl Datenbytes aus/in Datenmonitor");
    E_AnzBytes->setText(QStringLiteral("0x10"));
}

void TF_BusTool::buildDataRows() {
    GB_Senddata = new QGroupBox(QStringLiteral("zu schreibende Daten"), this);
    GB_Senddata->setObjectName(QStringLiteral("GB_Senddata"));
    GB_Senddata->setToolTip(QStringLiteral("Datenmonitor Sendebytes"));
    GB_Senddata->setGeometry(4, 128, 337, 100);
    GB_Receivedata = new QGroupBox(QStringLiteral("gelesene Daten"), this);
    GB_Receivedata->setObjectName(QStringLiteral("GB_Receivedata"));
    GB_Receivedata->setToolTip(QStringLiteral("Datenmonitor Empfangene Bytes"));
    GB_Receivedata->setGeometry(4, 230, 337, 100);

    QLineEdit** send[16] = {&E_SByte0, &E_SByte1, &E_SByte2, &E_SByte3, &E_SByte4, &E_SByte5,
                            &E_SByte6, &E_SByte7, &E_SByte8, &E_SByte9, &E_SByteA, &E_SByteB,
                            &E_SByteC, &E_SByteD, &E_SByteE, &E_SByteF};
    QLineEdit** receive[16] = {&E_EByte0, &E_EByte1, &E_EByte2, &E_EByte3, &E_EByte4, &E_EByte5,
                               &E_EByte6, &E_EByte7, &E_EByte8, &E_EByte9, &E_EByteA, &E_EByteB,
                               &E_EByteC, &E_EByteD, &E_EByteE, &E_EByteF};
    for (int i = 0; i < 16; ++i) {
        const int x = 8 + (i % 8) * 41, y = i < 8 ? 18 : 58;
        const QString digit = QString(QChar(kHexDigits[i]));
        label(GB_Senddata, QStringLiteral("Byte ") + digit, QRect(x, y, 40, 16));
        *send[i] = edit(GB_Senddata, QStringLiteral("E_SByte") + digit, QRect(x, y + 16, 37, 22));
        label(GB_Receivedata, QStringLiteral("Byte ") + digit, QRect(x, y, 40, 16));
        *receive[i] = edit(GB_Receivedata, QStringLiteral("E_EByte") + digit, QRect(x, y + 16, 37, 22));
    }
}

void TF_BusTool::bindNumberEdits() {
    TProjectSettings& s = ProjectSettings;
    const NumberField hex2 = NumberField::prefixed(NumberFormat::hexByte());
    // Row 1: the device address, 16..239.
    NumberEdit::bind(E_DevAdr, {hex2,
                                [] { return 239; },
                                {},
                                [this, &s](std::int32_t v) {
                                    s.BusDevAddr = v < 16 ? 16 : v;
                                    applySubAddressEnabling();
                                    return hexByte(s.BusDevAddr);
                                }});
    // Row 2: the sub-address, one or two bytes.
    NumberEdit::bind(E_SubAdress, {hex2,
                                   [&s] { return s.BusSubBytes == 2 ? 65535 : 255; },
                                   {},
                                   [&s](std::int32_t v) {
                                       s.BusSubAddr = v;
                                       return s.BusSubBytes == 2 ? hexWord(v) : hexByte(v);
                                   }});
    // Row 3: the byte count, 0..16; the send fields follow it.
    NumberEdit::bind(E_AnzBytes, {hex2,
                                  [] { return kBusToolBytes; },
                                  {},
                                  [this, &s](std::int32_t v) {
                                      s.BusDataBytes = v;
                                      enableSendFields();
                                      return hexByte(v);
                                  }});
    // Row 4: the send bytes.
    for (int X = 0; X < kBusToolBytes; ++X)
        NumberEdit::bind(BusToolEdits[size_t(X)], {hex2,
                                                   [] { return 255; },
                                                   {},
                                                   [&s, X](std::int32_t v) {
                                                       s.BusSendData[size_t(X)] = std::uint8_t(v & 0xFF);
                                                       return hexByte(s.BusSendData[size_t(X)]);
                                                   }});
}

void TF_BusTool::ClampSendByteText(int X) {
    if (X < 0 || X >= kBusToolBytes) return;
    QLineEdit* e = BusToolEdits[size_t(X)];
    NumberEdit::of(e)->setText(e->text());
}

void TF_BusTool::StoreSendByte(int X) {
    if (X < 0 || X >= kBusToolBytes) return;
    NumberEdit::of(BusToolEdits[size_t(X)])->leave();
}

// --- Showing and hiding ---

void TF_BusTool::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    if (!e->spontaneous()) FormShow();
}

void TF_BusTool::hideEvent(QHideEvent* e) {
    QWidget::hideEvent(e);
    if (!e->spontaneous()) FormHide();
}

void TF_BusTool::FormShow() {
    if (F_IIcCtrl) F_IIcCtrl->setToolChecked(ProjectFileHost::BusForm, true);
    loadSettings();
}

std::array<std::int32_t, 3> TF_BusTool::settingsDevice() {
    const TProjectSettings& s = ProjectSettings;
    return {s.BusDevAddr, s.BusSubBytes, s.BusSubAddr};
}

void TF_BusTool::settingsLeaving() {
    if (!isVisible()) return;
    guarded([this] { takeShownFields(); });
    leftDevice_ = settingsDevice();
}

// The bytes read stay while they still belong to the device and sub-address shown.
void TF_BusTool::settingsEntered() {
    if (isVisible()) guarded([this] { loadSettings(settingsDevice() == leftDevice_); });
}

void TF_BusTool::takeShownFields() {
    NumberEdit::of(E_DevAdr)->takeTyped();
    NumberEdit::of(E_SubAdress)->takeTyped();
    NumberEdit::of(E_AnzBytes)->takeTyped();
    for (int X = 0; X < kBusToolBytes; ++X) NumberEdit::of(BusToolEdits[size_t(X)])->takeTyped();
}

void TF_BusTool::loadSettings(bool keepReceived) {
    TProjectSettings& s = ProjectSettings;
    bringIn(E_DevAdr, s.BusDevAddr, hexByte);
    // The stored width's rule applies whatever was selected before, so the same stored values
    // always show (and send) the same sub-address.
    const int width = s.BusSubBytes == 1 || s.BusSubBytes == 2 ? s.BusSubBytes : 0;
    {
        const vcl::QuietLoad quiet(RG_SubAdress);
        vcl::setChecked(width == 1 ? RB_1ByteSub : width == 2 ? RB_2ByteSub : RB_noSub, true);
    }
    if (width != 0) {
        applyWidth(width);
    } else {
        // Not in use: shown as stored, and kept for a later width.
        E_SubAdress->setEnabled(false);
        s.BusSubBytes = 0;
        assign(E_SubAdress, hexByte(s.BusSubAddr));
    }
    applySubAddressEnabling();
    for (int i = 0; i < kBusToolBytes; ++i) {
        assign(BusToolEdits[size_t(i)], hexByte(s.BusSendData[size_t(i)]));
        if (!keepReceived) BusToolEdits[size_t(16 + i)]->clear();
    }
    bringIn(E_AnzBytes, s.BusDataBytes, hexByte);
    enableSendFields();
}

void TF_BusTool::FormHide() {
    if (F_IIcCtrl) F_IIcCtrl->setToolChecked(ProjectFileHost::BusForm, false);
}

// --- Sub-address rules ---

void TF_BusTool::applySubAddressEnabling() {
    const bool even = ProjectSettings.BusDevAddr % 2 == 0;
    for (QRadioButton* b : {RB_noSub, RB_1ByteSub, RB_2ByteSub}) b->setEnabled(even);
    E_SubAdress->setEnabled(even && !RB_noSub->isChecked());
}

// A width chosen by the user first takes the sub-address being typed, as leaving the field
// would: a screen reader's toggle moves no focus, a click does.
void TF_BusTool::RB_noSubClick() {
    if (!RB_noSub->isChecked()) return;
    NumberEdit::of(E_SubAdress)->takeTyped();
    applyWidth(0);
}

void TF_BusTool::RB_1ByteSubClick() {
    if (!RB_1ByteSub->isChecked()) return;
    NumberEdit::of(E_SubAdress)->takeTyped();
    applyWidth(1);
}

void TF_BusTool::RB_2ByteSubClick() {
    if (!RB_2ByteSub->isChecked()) return;
    NumberEdit::of(E_SubAdress)->takeTyped();
    applyWidth(2);
}

void TF_BusTool::applyWidth(int width) {
    TProjectSettings& s = ProjectSettings;
    if (width == 0) {
        // Disabled before its text is replaced: disabling the focused field moves the focus,
        // and the leave rule that follows must see the user's text, not "0x00".
        E_SubAdress->setEnabled(false);
        s.BusSubBytes = 0;
        assign(E_SubAdress, QStringLiteral("0x00"));
        return;
    }
    s.BusSubBytes = width;
    E_SubAdress->setEnabled(true);
    if (width == 1) {
        s.BusSubAddr %= 256;
        assign(E_SubAdress, hexByte(s.BusSubAddr));
    } else {
        // A value kept behind "Nein" may lie beyond two bytes: the field's rules bring it in.
        bringIn(E_SubAdress, s.BusSubAddr, hexWord);
    }
}

void TF_BusTool::enableSendFields() {
    for (int i = 0; i < kBusToolBytes; ++i)
        BusToolEdits[size_t(i)]->setEnabled(i < ProjectSettings.BusDataBytes);
}

// --- Transfers ---

void TF_BusTool::showMessage(const char* text) {
    dialogs::messageDlgPos(text, dialogs::MsgType::Error, dialogs::mbOK, x() + 150, y() + 150);
}

void TF_BusTool::TB_ReceiveClick() {
    NumberEdit::commitPending(this);
    takeShownFields();
    const BusTelegramParams p = telegramParams();
    if (BusTelegramCount(p.dataBytes) == 0) return;
    if (BusReadNeedsSubAddress(p)) {
        showMessage("Baustein Leseadresse (+0x01) oder Subadresse angeben!");
        return;
    }
    const std::string telegram = BusReadTelegram(p);
    if (!SendAnalyzerSetup()) return;
    const bool opened = ComOpen();
    const std::string reply = ComQuery(telegram);
    if (opened) ComClose();

    switch (BusReplyVerdict(reply, 'r')) {
        case ReplyVerdict::NoEcho:
            showMessage("Datenübertragung fehlgeschlagen!\nVerbindung prüfen.");
            return;
        case ReplyVerdict::NoAck:
            showMessage("Acknowledgefehler!\nBaustein antwortet nicht");
            return;
        case ReplyVerdict::Failed:
            showMessage("Lesen des Bausteines fehlgeschlagen!");
            return;
        case ReplyVerdict::Ok:
            break;
    }
    const std::vector<std::string> fields = BusReplyFields(reply);
    for (size_t k = 0; k < size_t(kBusToolBytes); ++k) {
        QLineEdit* e = BusToolEdits[16 + k];
        if (k < fields.size())
            e->setText(QStringLiteral("0x") + q(fields[k]));
        else
            e->clear();
    }
}

void TF_BusTool::TB_SendClick() {
    NumberEdit::commitPending(this);
    takeShownFields();
    const std::string telegram = BusWriteTelegram(telegramParams());
    if (telegram.empty()) return;  // an odd (read) address
    if (!ComOpen()) return;
    if (!SendAnalyzerSetup()) {
        ComClose();  // the link this click opened goes back, whatever the user chose
        return;
    }
    const std::string reply = ComQuery(telegram);
    ComClose();

    switch (BusReplyVerdict(reply, 'w')) {
        case ReplyVerdict::NoEcho:
            showMessage("Datenübertragung fehlgeschlagen!\nVerbindung prüfen.");
            break;
        case ReplyVerdict::NoAck:
            showMessage("Acknowledgefehler!\nBaustein antwortet nicht");
            break;
        case ReplyVerdict::Failed:
            showMessage("Schreiben des Bausteines fehlgeschlagen!");
            break;
        case ReplyVerdict::Ok:
            break;
    }
}
