#include "checkbinding.h"

#include <QAbstractButton>
#include <QAbstractItemModel>
#include <QComboBox>
#include <QRadioButton>
#include <QTimer>

#include <algorithm>
#include <vector>

#include "kevoapplication.h"

namespace vcl {

namespace {

std::vector<const QWidget*>& quietScopes() {
    static std::vector<const QWidget*> scopes;
    return scopes;
}

// A list's handler. The list changes its selected entry itself while rows come and go (an
// emptied list selects nothing, a filled empty list its first entry): that is the program
// filling it, not a choice. A user's choice by mouse or key changes the entry and then
// reports it as activated; the handler runs once for the two.
class ChoiceBinding : public QObject {
  public:
    ChoiceBinding(QComboBox* list, std::function<void()> handler)
        : QObject(list), list_(list), handler_(std::move(handler)) {
        // Connected after the list's own model connections, so the count covers the index
        // change that the list makes in its slot.
        const QAbstractItemModel* m = list->model();
        auto begin = [this] { ++filling_; };
        auto end = [this] { filling_ = std::max(0, filling_ - 1); };
        connect(m, &QAbstractItemModel::rowsAboutToBeInserted, this, begin);
        connect(m, &QAbstractItemModel::rowsInserted, this, end);
        connect(m, &QAbstractItemModel::rowsAboutToBeRemoved, this, begin);
        connect(m, &QAbstractItemModel::rowsRemoved, this, end);
        connect(m, &QAbstractItemModel::rowsAboutToBeMoved, this, begin);
        connect(m, &QAbstractItemModel::rowsMoved, this, end);
        connect(m, &QAbstractItemModel::modelAboutToBeReset, this, begin);
        connect(m, &QAbstractItemModel::modelReset, this, end);
        connect(m, &QAbstractItemModel::layoutAboutToBeChanged, this, begin);
        connect(m, &QAbstractItemModel::layoutChanged, this, end);
        connect(list, &QComboBox::currentIndexChanged, this, [this] { changed(); });
        connect(list, &QComboBox::activated, this, [this] { chosen(); });
    }

  private:
    void changed() {
        if (filling_ > 0 || isQuiet(list_)) return;
        // A mouse or key choice reports activated right after this, in the same event. The
        // mark is cleared only once the handler has returned: an event loop inside it (a
        // message box) must not clear it before that activated comes.
        ranForChange_ = true;
        guarded(handler_);
        QTimer::singleShot(0, this, [this] { ranForChange_ = false; });
    }
    void chosen() {
        if (ranForChange_) {
            ranForChange_ = false;
            return;
        }
        guarded(handler_);  // the entry that was selected already, chosen again
    }

    QComboBox* list_;
    std::function<void()> handler_;
    int filling_ = 0;
    bool ranForChange_ = false;
};

}  // namespace

void onCheck(QAbstractButton* button, std::function<void()> handler) {
    if (!button || !handler) return;
    const bool radio = qobject_cast<QRadioButton*>(button) != nullptr;
    // toggled comes after an exclusive sibling was unchecked, so the handler sees the
    // group's new choice.
    QObject::connect(button, &QAbstractButton::toggled, button,
                     [button, radio, handler = std::move(handler)](bool checked) {
                         if ((radio && !checked) || isQuiet(button)) return;
                         guarded(handler);
                     });
}

void onChoose(QComboBox* list, std::function<void()> handler) {
    if (!list || !handler) return;
    new ChoiceBinding(list, std::move(handler));
}

QuietLoad::QuietLoad(QWidget* scope) : scope_(scope) {
    quietScopes().push_back(scope);
}

QuietLoad::~QuietLoad() {
    auto& scopes = quietScopes();
    auto it = std::find(scopes.rbegin(), scopes.rend(), scope_);
    if (it != scopes.rend()) scopes.erase(std::next(it).base());
}

bool isQuiet(const QWidget* control) {
    const auto& scopes = quietScopes();
    if (scopes.empty()) return false;
    for (const QWidget* w = control; w; w = w->parentWidget())
        if (std::find(scopes.begin(), scopes.end(), w) != scopes.end()) return true;
    return false;
}

}  // namespace vcl
