// Small control helpers that give Qt widgets the behaviour the program's dialogs rely on:
//  - checking a check box or radio button from code runs its handler (checkbinding.h), as a
//    user click would (a radio button only when it becomes checked; nothing when the state
//    stays), unless a vcl::QuietLoad covers it;
//  - moving a radio group to another item from code runs the group's click handler likewise;
//  - selecting a list entry from code runs no change handler;
//  - a control's exit handler runs when the focus moves from it to another control of the
//    same window, not when the window itself is deactivated or a list's drop-down opens.
// GUI thread only.
#pragma once

#include <QGroupBox>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <vector>

class QAbstractButton;
class QColor;
class QComboBox;
class QLineEdit;
class QRadioButton;
class QWidget;

namespace vcl {

// Sets the check state from code; the button's handler follows the change (checkbinding.h).
// An exclusive radio button is unchecked too, which runs nothing.
void setChecked(QAbstractButton* button, bool checked);

// Selects a list entry from code (-1: none) without running its change handler.
void setItemIndex(QComboBox* list, int index);

// A control's colour (its background, filled) and its font colour.
void setColor(QWidget* w, const QColor& color);
void setFontColor(QWidget* w, const QColor& color);

// Runs fn each time the focus leaves w for another control of its window, also where another
// window or a popup came in between.
void onExit(QWidget* w, std::function<void()> fn);

// Runs fn for the press of the right mouse button on w itself (not on a control inside it)
// and swallows the press, so that it moves no focus and toggles nothing. The window filter
// that does this is installed on w's top-level window when it is first shown; the press
// must come through the window (as real input and QTest's window overloads deliver it).
void onRightPress(QWidget* w, std::function<void()> fn);

// A group box whose radio buttons form one choice with an item index. The index is the
// checked button's, whichever way it was checked.
class RadioGroup : public QGroupBox {
  public:
    RadioGroup(const QString& caption, const QStringList& items, QWidget* parent = nullptr);

    // The checked item, -1 for none.
    int itemIndex() const;
    // From code: selects item i (-1: none); moving the choice to an item runs onClick.
    void setItemIndex(int i);
    QRadioButton* button(int i) const { return buttons_.at(static_cast<size_t>(i)); }
    int count() const { return static_cast<int>(buttons_.size()); }

    // The group's click handler: runs whenever another item becomes checked (checkbinding.h).
    std::function<void()> onClick;

  private:
    std::vector<QRadioButton*> buttons_;
};

}  // namespace vcl
