#include "vclcontrols.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFocusEvent>
#include <QMouseEvent>
#include <QPalette>
#include <QPointer>
#include <QRadioButton>
#include <QVBoxLayout>
#include <QWindow>

#include <unordered_map>

#include "checkbinding.h"

namespace vcl {

void setChecked(QAbstractButton* button, bool checked) {
    if (!button || button->isChecked() == checked) return;
    const bool isRadio = qobject_cast<QRadioButton*>(button) != nullptr;
    if (isRadio && !checked && button->autoExclusive()) {
        // An exclusive radio button cannot be unchecked on its own.
        button->setAutoExclusive(false);
        button->setChecked(false);
        button->setAutoExclusive(true);
        return;
    }
    button->setChecked(checked);
}

void setItemIndex(QComboBox* list, int index) {
    if (!list) return;
    if (index < -1 || index >= list->count()) index = -1;
    const QuietLoad quiet(list);
    list->setCurrentIndex(index);
}

namespace {

class ExitFilter : public QObject {
  public:
    ExitFilter(QWidget* control, std::function<void()> fn)
        : QObject(control), control_(control), fn_(std::move(fn)) {
        // Left while another window or a popup was active: a click on another control of the
        // window may arrive before the activation, which then gives that control the focus
        // without a focus-out here. The control is left when that focus comes.
        connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
            if (!away_ || !now || now->window() != control_->window()) return;
            away_ = false;
            if (now != control_ && !control_->isAncestorOf(now) && fn_) fn_();
        });
    }
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::FocusIn) away_ = false;
        if (e->type() == QEvent::FocusOut) {
            const Qt::FocusReason r = static_cast<QFocusEvent*>(e)->reason();
            away_ = r == Qt::ActiveWindowFocusReason || r == Qt::PopupFocusReason;
            if (!away_ && fn_) fn_();
        }
        return false;
    }

  private:
    QWidget* control_;  // the parent: lives as long as this filter
    bool away_ = false;
    std::function<void()> fn_;
};

std::unordered_map<QWidget*, std::function<void()>>& rightHandlers() {
    static std::unordered_map<QWidget*, std::function<void()>> m;
    return m;
}

// Sits on a top-level window's QWindow, where input arrives before Qt hands out the focus.
class RightPressWindowFilter : public QObject {
  public:
    RightPressWindowFilter(QWidget* top) : QObject(top), top_(top) {}
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() != QEvent::MouseButtonPress && e->type() != QEvent::MouseButtonDblClick) return false;
        auto* me = static_cast<QMouseEvent*>(e);
        if (me->button() != Qt::RightButton || !top_) return false;
        // Only the control right under the mouse: a press on another control that stands
        // inside a registered one (a list inside a group box) is that control's own.
        QWidget* w = top_->childAt(me->position().toPoint());
        if (!w) w = top_;
        auto it = rightHandlers().find(w);
        if (it == rightHandlers().end() || !w->isEnabled()) return false;
        auto fn = it->second;  // the handler may change the registry
        if (fn) fn();
        return true;
    }

  private:
    QPointer<QWidget> top_;
};

// Installs the window filter once the top-level widget has its QWindow.
class RightPressTopFilter : public QObject {
  public:
    RightPressTopFilter(QWidget* top) : QObject(top), top_(top) { tryInstall(); }
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Show || e->type() == QEvent::WinIdChange) tryInstall();
        return false;
    }
    void tryInstall() {
        QWindow* win = top_ ? top_->windowHandle() : nullptr;
        if (!win || win == installed_) return;
        win->installEventFilter(new RightPressWindowFilter(top_));
        installed_ = win;
    }

  private:
    QPointer<QWidget> top_;
    QPointer<QWindow> installed_;
};

}  // namespace

void onExit(QWidget* w, std::function<void()> fn) {
    if (!w) return;
    w->installEventFilter(new ExitFilter(w, std::move(fn)));
}

void onRightPress(QWidget* w, std::function<void()> fn) {
    if (!w) return;
    QWidget* top = w->window();
    if (!top->property("vclRightPressTop").toBool()) {
        top->setProperty("vclRightPressTop", true);
        top->installEventFilter(new RightPressTopFilter(top));
    }
    const bool known = rightHandlers().count(w) != 0;
    rightHandlers()[w] = std::move(fn);
    if (!known) QObject::connect(w, &QObject::destroyed, [w] { rightHandlers().erase(w); });
}

RadioGroup::RadioGroup(const QString& caption, const QStringList& items, QWidget* parent)
    : QGroupBox(caption, parent) {
    auto* lay = new QVBoxLayout(this);
    lay->setContentsMargins(6, 2, 6, 2);
    lay->setSpacing(2);
    for (int i = 0; i < items.size(); ++i) {
        auto* b = new QRadioButton(items[i], this);
        lay->addWidget(b);
        buttons_.push_back(b);
        onCheck(b, [this] {
            if (onClick) onClick();
        });
    }
    lay->addStretch(1);
}

int RadioGroup::itemIndex() const {
    for (size_t i = 0; i < buttons_.size(); ++i)
        if (buttons_[i]->isChecked()) return static_cast<int>(i);
    return -1;
}

void RadioGroup::setItemIndex(int i) {
    if (i < -1 || i >= count()) i = -1;
    if (i >= 0) {
        buttons_[static_cast<size_t>(i)]->setChecked(true);
    } else {
        for (QRadioButton* b : buttons_) vcl::setChecked(b, false);
    }
}

void setColor(QWidget* w, const QColor& color) {
    QPalette p = w->palette();
    p.setColor(QPalette::Window, color);
    w->setPalette(p);
    w->setAutoFillBackground(true);
}

void setFontColor(QWidget* w, const QColor& color) {
    QPalette p = w->palette();
    p.setColor(QPalette::WindowText, color);
    p.setColor(QPalette::ButtonText, color);
    p.setColor(QPalette::Text, color);
    w->setPalette(p);
}

}  // namespace vcl
