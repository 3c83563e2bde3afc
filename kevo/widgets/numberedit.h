// Binds the rule pair of a numeric field (numberfield.h) to a line edit.
//
// Typing: every change of the text that the binding did not write itself (typing, an
// accessibility layer's edit, code that sets the text directly), and every text set through
// setText, goes through the typing rule with the field's maximum; the rewritten text keeps
// the caret. The rule writes the
// text back only when it differs, and a text written from code raises no further change, so the
// rule never recurses. A pasted text whose value does not
// fit into 32 bits is reported and the field goes back to its last good text.
// Leaving: when the focus moves to another control of the window, the owner gets the value and
// returns the text to show (usually NumberEdit::canonical of what it stored).
// GUI thread only.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <cstdint>
#include <functional>

#include "numberfield.h"

class QLineEdit;
class QWidget;

class NumberEdit : public QObject {
  public:
    struct Rules {
        NumberField field;
        // The maximum while typing; asked at every change (it may depend on other fields).
        std::function<std::int32_t()> maximum;
        // After the typing rule has run (enabling that follows the text). Optional.
        std::function<void()> changed;
        // The leaving rule: gets the value, stores it and returns the text to show. Optional
        // (a field without one only gets the typing rule).
        std::function<QString(std::int32_t value)> leave;
    };

    // The binding lives as a child of the edit.
    static NumberEdit* bind(QLineEdit* edit, Rules rules);
    // The binding of an edit, null when it has none.
    static NumberEdit* of(const QLineEdit* edit);

    QLineEdit* edit() const { return edit_; }
    const NumberField& field() const { return rules_.field; }
    // A new field form (the memory monitor's number base changes).
    void setField(const NumberField& field) { rules_.field = field; }

    // The value of the current text.
    std::int32_t value() const;
    // The canonical text of a value in this field's form.
    QString canonical(std::int32_t value) const;
    // Sets the text from code; the typing rule (and the owner's changed()) runs on it as on
    // typed text.
    void setText(const QString& text);
    // Sets the text from code as it stands, without the typing rule.
    void assign(const QString& text);
    // Runs the leaving rule now (as leaving the field would).
    void leave();
    // Runs the leaving rule when the text is the user's own, changed since the program last
    // wrote it or the rule last ran: a rule that replaces the text takes what is typed first.
    void takeTyped();

    // Moves the input focus on to the next control of window, so that the leaving rule of the
    // field being typed in runs before a command reads the fields. Where the focus cannot move
    // (a window that is not active), the focused field's leaving rule runs directly.
    static void commitPending(QWidget* window);

  private:
    NumberEdit(QLineEdit* edit, Rules rules);
    void typed();

    QPointer<QLineEdit> edit_;
    Rules rules_;
    QString good_;            // the last text that passed the typing rule
    unsigned leaves_ = 0;     // how often the leaving rule ran
    bool typedText_ = false;  // the user changed the text since the program last wrote it
};
