#include "binzieldlg.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>

#include "memorylogic.h"
#include "memorytool.h"
#include "numberedit.h"
#include "numbertext.h"

TF_BinZielDlg* F_BinZielDlg = nullptr;

TF_BinZielDlg::TF_BinZielDlg(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint) {
    setObjectName(QStringLiteral("F_BinZielDlg"));
    setWindowTitle(QStringLiteral("Datentransfer"));
    setModal(true);
    setFixedSize(217, 140);

    auto label = [this](const char* name, const char* caption, int x, int y, int w) {
        auto* l = new QLabel(QString::fromUtf8(caption), this);
        l->setObjectName(QString::fromLatin1(name));
        l->setGeometry(x, y, w, 17);
        return l;
    };
    auto sizeLabel = [&](const char* name, int y) {
        QLabel* l = label(name, "", 112, y, 97);
        l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        l->setAutoFillBackground(true);
        QPalette pal = l->palette();
        pal.setColor(QPalette::Window, pal.color(QPalette::Highlight));
        pal.setColor(QPalette::WindowText, pal.color(QPalette::HighlightedText));
        l->setPalette(pal);
        return l;
    };
    L_DevText = label("L_DevText", "Bausteingröße:", 8, 8, 100);
    L_DevBytes = sizeLabel("L_DevBytes", 8);
    L_Filetext = label("L_Filetext", "Dateigröße:", 8, 30, 100);
    L_FileBytes = sizeLabel("L_FileBytes", 30);
    L_FileOffset = label("L_FileOffsetLabel", "Dateioffset", 8, 54, 68);
    L_BufferOffset = label("L_BufferOffsetLabel", "Pufferoffset", 76, 54, 68);
    L_Bytes = label("L_BytesLabel", "Datenbytes", 144, 54, 68);
    QFont small = font();
    small.setPixelSize(11);  // the captions fit above their edits
    for (QLabel* l : {L_FileOffset, L_BufferOffset, L_Bytes}) l->setFont(small);

    auto edit = [this](const char* name, QLabel* caption, int x) {
        auto* e = new QLineEdit(this);
        e->setObjectName(QString::fromLatin1(name));
        e->setGeometry(x, 72, 65, 21);
        caption->setBuddy(e);
        return e;
    };
    LE_FileOffset = edit("LE_FileOffset", L_FileOffset, 8);
    LE_BufferOffset = edit("LE_BufferOffset", L_BufferOffset, 76);
    LE_Bytes = edit("LE_Bytes", L_Bytes, 144);

    auto button = [this](const char* name, const char* caption, int x) {
        auto* b = new QPushButton(QString::fromUtf8(caption), this);
        b->setObjectName(QString::fromLatin1(name));
        b->setGeometry(x, 106, 65, 25);
        b->setAutoDefault(false);  // Enter closes nothing
        b->setDefault(false);
        return b;
    };
    B_Ok = button("B_Ok", "Ok", 8);
    B_Cancel = button("B_Cancel", "Abbruch", 76);
    B_Help = button("B_Help", "Hilfe", 144);
    connect(B_Ok, &QPushButton::clicked, this, [this] { B_OkClick(); });
    connect(B_Cancel, &QPushButton::clicked, this, [this] { B_CancelClick(); });
    setTabOrder(LE_FileOffset, LE_BufferOffset);
    setTabOrder(LE_BufferOffset, LE_Bytes);
    setTabOrder(LE_Bytes, B_Ok);
    setTabOrder(B_Ok, B_Cancel);
    setTabOrder(B_Cancel, B_Help);

    const NumberField field = NumberField::memoryBase(true, true);
    NumberEdit::bind(LE_FileOffset, {field,
                                     [this] { return BinFileBytes - 1; },
                                     {},
                                     [this](std::int32_t) {
                                         LE_FileOffsetExit();
                                         return LE_FileOffset->text();
                                     }});
    NumberEdit::bind(LE_BufferOffset, {field,
                                       [this] { return BinDevBytes - 1; },
                                       {},
                                       [this](std::int32_t) {
                                           LE_BufferOffsetExit();
                                           return LE_BufferOffset->text();
                                       }});
    NumberEdit::bind(LE_Bytes, {field,
                                [this] { return CalkByteAnzahl(); },
                                {},
                                [this](std::int32_t) {
                                    LE_BytesExit();
                                    return LE_Bytes->text();
                                }});
}

TF_BinZielDlg::~TF_BinZielDlg() {
    if (F_BinZielDlg == this) F_BinZielDlg = nullptr;
}

bool TF_BinZielDlg::hex() const {
    return !F_MemoryTool || F_MemoryTool->MemNumberFormat != "u";
}

QString TF_BinZielDlg::text(std::int32_t value) const {
    return QString::fromStdString(memFormat("%1", hex(), value));
}

std::int32_t TF_BinZielDlg::readText(const QString& t) const {
    const std::string s = t.toStdString();
    const size_t first = s.find_first_not_of(' ');
    return StrToInt((hex() ? "0x" : "") + (first == std::string::npos ? std::string() : s.substr(first)));
}

void TF_BinZielDlg::showEvent(QShowEvent* e) {
    // Centred on the main window.
    if (QWidget* main = parentWidget())
        move(main->frameGeometry().center() - QPoint(width() / 2, height() / 2));
    QDialog::showEvent(e);
    if (!e->spontaneous()) FormShow();
}

void TF_BinZielDlg::FormShow() {
    const NumberField field = NumberField::memoryBase(hex(), true);
    for (QLineEdit* e : {LE_FileOffset, LE_BufferOffset, LE_Bytes}) NumberEdit::of(e)->setField(field);
    BinDevBytes = readText(L_DevBytes->text());
    BinFileBytes = readText(L_FileBytes->text());
    BinBufferOffset = readText(LE_BufferOffset->text());
    BinFileOffset = readText(LE_FileOffset->text());
    CalkByteAnzahl();
    NumberEdit::of(LE_Bytes)->assign(text(BinByteAnzahl));
    LE_FileOffset->setFocus();
}

std::int32_t TF_BinZielDlg::CalkByteAnzahl() {
    // An empty file with an offset behind it would give a negative count: none is left.
    BinByteAnzahl = std::max(0, memLargestCount(BinFileBytes, BinFileOffset, BinDevBytes, BinBufferOffset));
    return BinByteAnzahl;
}

void TF_BinZielDlg::LE_FileOffsetExit() {
    BinFileOffset = NumberEdit::of(LE_FileOffset)->value();
    NumberEdit::of(LE_FileOffset)->assign(text(BinFileOffset));
    CalkByteAnzahl();
    NumberEdit::of(LE_Bytes)->assign(text(BinByteAnzahl));
}

void TF_BinZielDlg::LE_BufferOffsetExit() {
    BinBufferOffset = NumberEdit::of(LE_BufferOffset)->value();
    NumberEdit::of(LE_BufferOffset)->assign(text(BinBufferOffset));
    CalkByteAnzahl();
    NumberEdit::of(LE_Bytes)->assign(text(BinByteAnzahl));
}

void TF_BinZielDlg::LE_BytesExit() {
    BinByteAnzahl = NumberEdit::of(LE_Bytes)->value();
    NumberEdit::of(LE_Bytes)->assign(text(BinByteAnzahl));
}

void TF_BinZielDlg::B_OkClick() {
    // A click takes the focus from the field being typed in, so its leave rule has run; a press
    // through the accessibility layer takes none, so the field is left here.
    NumberEdit::commitPending(this);
    done(1);
}

void TF_BinZielDlg::B_CancelClick() {
    done(2);
}

void TF_BinZielDlg::reject() {
    done(2);
}

void TF_BinZielDlg::keyPressEvent(QKeyEvent* e) {
    switch (e->key()) {
        case Qt::Key_Escape:
        case Qt::Key_Return:
        case Qt::Key_Enter:
            e->accept();  // neither closes the dialog
            return;
        default:
            QDialog::keyPressEvent(e);
    }
}
