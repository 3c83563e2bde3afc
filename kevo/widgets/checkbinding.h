// Binds the handler of a check box, radio button, check button or list (combo box) to the
// control's state, so that what the control shows is what the program uses. The handler runs
// whenever the state changes, on every path: a mouse click, a key, the accessibility layer's
// toggle or press action (which sets the state without a click), and code that sets it:
//  - a check box or check button: every change of its check mark;
//  - a radio button: when it becomes checked (a button that is left runs nothing, and
//    selecting the button that is already selected changes nothing);
//  - a list: every change of its selected entry, and the user's choice of the entry that is
//    already selected; filling or emptying the list and vcl::setItemIndex run nothing.
// A window's loads that its handlers must not see (the settings dialog's activation) run
// inside a vcl::QuietLoad. Handlers run through guarded(): an exception is reported, never
// unwound through Qt's code.
// GUI thread only.
#pragma once

#include <functional>

class QAbstractButton;
class QComboBox;
class QWidget;

namespace vcl {

void onCheck(QAbstractButton* button, std::function<void()> handler);
void onChoose(QComboBox* list, std::function<void()> handler);

// While it lives, changes of the controls inside scope (scope itself and its children) run
// no handler bound above. Scopes nest.
class QuietLoad {
  public:
    explicit QuietLoad(QWidget* scope);
    ~QuietLoad();
    QuietLoad(const QuietLoad&) = delete;
    QuietLoad& operator=(const QuietLoad&) = delete;

  private:
    QWidget* scope_;
};

// True while a QuietLoad covers control.
bool isQuiet(const QWidget* control);

}  // namespace vcl
