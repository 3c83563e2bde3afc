#include "numberedit.h"

#include <QComboBox>
#include <QLineEdit>
#include <QWidget>

#include "kevoapplication.h"
#include "numbertext.h"
#include "utf8text.h"
#include "vclcontrols.h"

namespace {

// The control whose leaving counts: an editable list's own box, else the edit.
QWidget* exitControl(QLineEdit* edit) {
    auto* box = qobject_cast<QComboBox*>(edit->parentWidget());
    return box && box->lineEdit() == edit ? static_cast<QWidget*>(box) : edit;
}

}  // namespace

NumberEdit::NumberEdit(QLineEdit* edit, Rules rules)
    : QObject(edit), edit_(edit), rules_(std::move(rules)), good_(edit->text()) {}

NumberEdit* NumberEdit::bind(QLineEdit* edit, Rules rules) {
    if (!edit) return nullptr;
    auto* n = new NumberEdit(edit, std::move(rules));
    edit->setProperty("numberEdit", QVariant::fromValue(static_cast<QObject*>(n)));
    connect(edit, &QLineEdit::textEdited, n, [n] {
        n->typedText_ = true;
        n->typed();
    });
    // A text that changes other than by typing (an accessibility layer's edit, code that sets
    // it directly) goes through the typing rule too; the rule's own writes, which set good_
    // first, and typing, which has run the rule already, do not come here again.
    connect(edit, &QLineEdit::textChanged, n, [n](const QString& text) {
        if (text == n->good_) return;
        n->typedText_ = true;
        n->typed();
    });
    // A field that loses the focus because it is being disabled leaves only text the user
    // typed: what the program wrote there is no input.
    vcl::onExit(exitControl(edit), [n] {
        if (n->typedText_ || (n->edit_ && n->edit_->isEnabled())) n->leave();
    });
    return n;
}

NumberEdit* NumberEdit::of(const QLineEdit* edit) {
    if (!edit) return nullptr;
    return static_cast<NumberEdit*>(edit->property("numberEdit").value<QObject*>());
}

void NumberEdit::typed() {
    if (!edit_) return;
    const QString before = edit_->text();
    QString now;
    try {
        const std::int32_t max = rules_.maximum ? rules_.maximum() : 0x7FFFFFFF;
        now = q(NumberFieldTyped(rules_.field, s8(before), max));
    } catch (...) {
        // A value beyond 32 bits (pasted): back to the last good text, then report.
        edit_->setText(good_);
        ShowException(std::current_exception());
        return;
    }
    good_ = now;
    if (now != before) {
        const int caret = edit_->cursorPosition();
        edit_->setText(now);
        edit_->setCursorPosition(std::min(caret, static_cast<int>(now.size())));
    }
    if (rules_.changed) rules_.changed();
}

std::int32_t NumberEdit::value() const {
    return edit_ ? NumberFieldValue(rules_.field, s8(edit_->text())) : 0;
}

QString NumberEdit::canonical(std::int32_t value) const {
    return q(NumberFieldText(rules_.field, value));
}

void NumberEdit::setText(const QString& text) {
    assign(text);
    typed();
}

void NumberEdit::assign(const QString& text) {
    if (!edit_) return;
    good_ = text;
    typedText_ = false;
    if (edit_->text() != text) edit_->setText(text);
}

void NumberEdit::leave() {
    ++leaves_;
    typedText_ = false;
    if (!edit_ || !rules_.leave) return;
    try {
        const QString text = rules_.leave(value());
        assign(text);
    } catch (...) {
        ShowException(std::current_exception());
    }
}

void NumberEdit::takeTyped() {
    if (typedText_) leave();
}

void NumberEdit::commitPending(QWidget* window) {
    if (!window) return;
    QWidget* focused = window->focusWidget();
    auto* box = qobject_cast<QComboBox*>(focused);
    QPointer<NumberEdit> pending = NumberEdit::of(box ? box->lineEdit() : qobject_cast<QLineEdit*>(focused));
    const unsigned before = pending ? pending->leaves_ : 0;
    // The next control in the tab order that takes the focus (as Tab would move it).
    QWidget* start = focused ? focused : window;
    for (QWidget* w = start->nextInFocusChain(); w && w != start; w = w->nextInFocusChain()) {
        if (w->window() == window && w->isEnabled() && w->isVisible() && !w->focusProxy() &&
            (w->focusPolicy() & Qt::TabFocus) && !(focused && focused->isAncestorOf(w))) {
            w->setFocus(Qt::TabFocusReason);
            break;
        }
    }
    if (pending && pending->leaves_ == before) pending->leave();
}
