#include "iicsearch.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>

#include "dialogseam.h"
#include "iicctrlu.h"
#include "numberedit.h"
#include "searchpattern.h"
#include "traceview.h"
#include "utf8text.h"
#include "vclcontrols.h"

TF_Search* F_Search = nullptr;

namespace {

const char* const kNoMatch = "Keine Übereinstimmung gefunden";

template <class W>
W* placed(W* w, const char* name, const QRect& r, const char* hint = nullptr) {
    w->setObjectName(QString::fromLatin1(name));
    w->setGeometry(r);
    if (hint) w->setToolTip(QString::fromUtf8(hint));
    return w;
}

QString hexText(std::int32_t value, int digits) {
    return QString::fromStdString(FormatNumberText(value, NumberFormat::bareHex(digits)));
}

}  // namespace

TF_Search::TF_Search(QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("F_Search"));
    setWindowTitle(QStringLiteral("Suchen nach"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setModal(false);
    setFixedSize(239, 222);
    QFont f = font();
    f.setPointSize(8);
    setFont(f);

    // Addressing: device, register, written or read back.
    GB_Adress =
        placed(new QGroupBox(QStringLiteral("Adressierung"), this), "GB_Adress", QRect(4, 2, 231, 86));
    L_DevAdr = placed(new QLabel(QStringLiteral("Baustein"), GB_Adress), "L_DevAdr", QRect(8, 18, 48, 14));
    LE_DevAdr =
        placed(new QLineEdit(GB_Adress), "LE_DevAdr", QRect(8, 33, 36, 21), "Hardwareadresse des Bausteins");
    L_SubAdr = placed(new QLabel(QStringLiteral("Register"), GB_Adress), "L_SubAdr", QRect(58, 18, 48, 14));
    LE_SubAdr =
        placed(new QLineEdit(GB_Adress), "LE_SubAdr", QRect(58, 33, 44, 21), "Speicher- Registeradresse");
    RG_RdWr =
        placed(new vcl::RadioGroup(QStringLiteral("Daten wurden"),
                                   {QStringLiteral("geschrieben"), QStringLiteral("gelesen")}, GB_Adress),
               "RG_RdWr", QRect(110, 10, 115, 70), "wurde Baustein beschrieben oder ausgelesen?");
    RG_RdWr->setItemIndex(0);
    L_DevAdr->setBuddy(LE_DevAdr);
    L_SubAdr->setBuddy(LE_SubAdr);

    // Up to five data bytes.
    GB_Data = placed(new QGroupBox(QStringLiteral("Daten"), this), "GB_Data", QRect(4, 92, 231, 62),
                     "gelesene oder geschriebene Datenbytes");
    for (int i = 0; i < 5; ++i) {
        const int x = 8 + 44 * i;
        const QByteArray edit = "LE_Byte" + QByteArray::number(i + 1);
        const QByteArray label = "L_Byte" + QByteArray::number(i + 1);
        L_Byte[i] = placed(new QLabel(QStringLiteral("%1. Byte").arg(i + 1), GB_Data), label.constData(),
                           QRect(x, 18, 43, 14));
        LE_Byte[i] = placed(new QLineEdit(GB_Data), edit.constData(), QRect(x, 33, 36, 21));
        L_Byte[i]->setBuddy(LE_Byte[i]);
    }

    CB_StopCond = placed(new QCheckBox(QStringLiteral("Stopzeichen"), this), "CB_StopCond",
                         QRect(8, 160, 96, 18), "Suchmaske mit Stopzeichen beenden");
    CB_Repeat = placed(new QCheckBox(QStringLiteral("Suche wiederholen"), this), "CB_Repeat",
                       QRect(106, 160, 131, 18), "Suche ab Position fortsetzen");

    BB_Search = placed(new QPushButton(QStringLiteral("Suchen"), this), "BB_Search", QRect(4, 190, 75, 27),
                       "Suchvorgang starten/wiederholen");
    BB_Cancel = placed(new QPushButton(QStringLiteral("Abbrechen"), this), "BB_Cancel",
                       QRect(82, 190, 75, 27), "Suchfenster schließen");
    BB_Help = placed(new QPushButton(QStringLiteral("Hilfe"), this), "BB_Help", QRect(160, 190, 75, 27));
    // No default button: Enter in a field presses nothing.
    for (QPushButton* b : {BB_Search, BB_Cancel, BB_Help}) {
        b->setAutoDefault(false);
        b->setDefault(false);
    }
    connect(BB_Search, &QPushButton::clicked, this, [this] { BB_SearchClick(); });
    connect(BB_Cancel, &QPushButton::clicked, this, [this] { BB_CancelClick(); });

    // The seven fields: hex digits only, "0x" implied; change and leave rules per field.
    auto bind = [](QLineEdit* edit, std::int32_t max, std::function<void()> change,
                   std::function<void()> exit) {
        NumberEdit::Rules rules;
        rules.field = NumberField::impliedHex(2);
        rules.maximum = [max] { return max; };
        rules.changed = std::move(change);
        rules.leave = [edit, exit = std::move(exit)](std::int32_t) {
            exit();
            return edit->text();
        };
        NumberEdit::bind(edit, std::move(rules));
    };
    bind(
        LE_DevAdr, 0xFF, [this] { LE_DevAdrChange(); }, [this] { LE_DevAdrExit(); });
    bind(
        LE_SubAdr, 0xFFFF, [this] { LE_SubAdrChange(); }, [this] { LE_SubAdrExit(); });
    for (int i = 0; i < 5; ++i)
        bind(
            LE_Byte[i], 0xFF, [this, i] { byteChange(i); }, [this, i] { byteExit(i); });
}

NumberEdit* TF_Search::numberOf(QLineEdit* edit) const {
    return NumberEdit::of(edit);
}

void TF_Search::setFieldText(QLineEdit* edit, const QString& text) {
    if (NumberEdit* n = numberOf(edit)) n->setText(text);
}

// --- Change rules (enabling) ---

void TF_Search::LE_DevAdrChange() {
    const std::int32_t value = numberOf(LE_DevAdr)->value();
    if (LE_DevAdr->text().isEmpty() || (value & 1)) {
        RG_RdWr->setEnabled(false);
        LE_SubAdr->setEnabled(false);
    } else {
        LE_SubAdr->setEnabled(true);
    }
}

void TF_Search::LE_SubAdrChange() {
    RG_RdWr->setEnabled(numberOf(LE_SubAdr)->value() != 0);
}

void TF_Search::byteChange(int i) {
    if (i < 4) LE_Byte[i + 1]->setEnabled(!LE_Byte[i]->text().isEmpty());
}

// --- Leave rules ---

void TF_Search::LE_DevAdrExit() {
    const std::int32_t value = numberOf(LE_DevAdr)->value();
    setFieldText(LE_DevAdr, value != 0 ? hexText(value, 2) : QString());
    if (value & 1) {
        RG_RdWr->setItemIndex(1);
        setFieldText(LE_SubAdr, QString());
    }
    BuildSearchPattern();
}

void TF_Search::LE_SubAdrExit() {
    if (!LE_SubAdr->text().isEmpty()) {
        const std::int32_t value = numberOf(LE_SubAdr)->value();
        setFieldText(LE_SubAdr, hexText(value, value >= 0x100 ? 4 : 2));
    } else {
        RG_RdWr->setItemIndex(0);
    }
    BuildSearchPattern();
}

void TF_Search::byteExit(int i) {
    QLineEdit* edit = LE_Byte[i];
    if (!edit->text().isEmpty()) setFieldText(edit, hexText(numberOf(edit)->value(), 2));
    if (i == 0) BuildSearchPattern();
}

// --- Pattern and search ---

QString TF_Search::BuildSearchPattern() {
    SearchFields fields;
    fields.DevAdr = s8(LE_DevAdr->text());
    fields.SubAdr = s8(LE_SubAdr->text());
    fields.Read = RG_RdWr->itemIndex() != 0;
    for (int i = 0; i < 5; ++i) fields.Bytes[i] = s8(LE_Byte[i]->text());
    fields.StopCond = CB_StopCond->isChecked();
    const QString pattern = QString::fromStdString(::BuildSearchPattern(fields));
    BB_Search->setEnabled(!pattern.isEmpty());
    return pattern;
}

void TF_Search::BB_SearchClick() {
    // A field still being typed in is committed by its leave rule first.
    if (qobject_cast<QLineEdit*>(focusWidget())) NumberEdit::commitPending(this);
    const QString pattern = BuildSearchPattern();
    TF_IIcCtrl* main = F_IIcCtrl;
    if (pattern.isEmpty() || !main) return;
    TraceView* view = main->RE_I2CMonitor;
    // The text as it stands now; a recording may have added to it since the last search. Its
    // plain form has the document's positions (one character per line break).
    const QString text = view->document()->toPlainText();
    int start = CB_Repeat->isChecked() ? view->textCursor().selectionEnd() : 0;
    start = std::clamp(start, 0, int(text.size()));
    // Forwards, not case-sensitive, not whole words.
    const int at = int(text.indexOf(pattern, start, Qt::CaseInsensitive));
    if (at < 0) {
        dialogs::messageBox(s8(QApplication::applicationName()), kNoMatch, dialogs::MsgType::Custom,
                            dialogs::mbOK, {"OK"});
        return;
    }
    QTextCursor found(view->document());
    found.setPosition(at);
    found.setPosition(at + int(pattern.size()), QTextCursor::KeepAnchor);
    view->setTextCursor(found);
    main->activateWindow();
    view->setFocus();
    view->ensureCursorVisible();
    view->viewport()->update();
}

void TF_Search::BB_CancelClick() {
    hide();
}

// --- Showing ---

void TF_Search::showEvent(QShowEvent* e) {
    if (!e->spontaneous()) {
        centreOnMainWindow();
        FormShow();
    }
    QDialog::showEvent(e);
}

void TF_Search::centreOnMainWindow() {
    const QWidget* main = F_IIcCtrl ? static_cast<QWidget*>(F_IIcCtrl) : parentWidget();
    if (!main) return;
    const QRect frame = frameGeometry();
    const QPoint centre = main->frameGeometry().center();
    move(centre.x() - frame.width() / 2, centre.y() - frame.height() / 2);
}

void TF_Search::FormShow() {
    setFieldText(LE_DevAdr, QString());
    setFieldText(LE_SubAdr, QString());
    for (QLineEdit* e : LE_Byte) setFieldText(e, QString());
    LE_SubAdr->setEnabled(false);
    RG_RdWr->setEnabled(false);
    RG_RdWr->setItemIndex(0);
    for (int i = 1; i < 5; ++i) LE_Byte[i]->setEnabled(false);
    LE_Byte[0]->setEnabled(true);
    LE_DevAdr->setFocus();
    BB_Search->setEnabled(false);
}
