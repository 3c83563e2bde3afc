#include "stringgride.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QStyledItemDelegate>

#include <algorithm>
#include <utility>

// Paints the fixed cells like buttons with their grid lines, and makes the in-place editor:
// a frameless line edit whose keys go to the grid first.
class TStringGridE::Delegate : public QStyledItemDelegate {
  public:
    explicit Delegate(TStringGridE* grid) : QStyledItemDelegate(grid), grid_(grid) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex&) const override {
        auto* le = new QLineEdit(parent);
        le->setFrame(false);
        le->setFont(grid_->font());
        le->setTextMargins(0, 0, 0, 0);
        le->setContentsMargins(0, 0, 0, 0);
        grid_->editorOpened(le);
        return le;
    }
    void setEditorData(QWidget* editor, const QModelIndex& index) const override {
        auto* le = static_cast<QLineEdit*>(editor);
        const QString t = index.data(Qt::EditRole).toString();
        const bool wasQuiet = std::exchange(grid_->quiet_, true);
        if (le->text() != t) le->setText(t);  // an equal text keeps the caret
        grid_->quiet_ = wasQuiet;
    }
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override {
        model->setData(index, static_cast<QLineEdit*>(editor)->text(), Qt::EditRole);
    }
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex&) const override {
        editor->setGeometry(option.rect);
    }
    void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        const bool fixed = index.row() < grid_->FixedRows || index.column() < grid_->FixedCols;
        const QRect r = option.rect;
        if (fixed) {
            p->fillRect(r, option.palette.button());
            p->setPen(option.palette.color(QPalette::Light));
            p->drawLine(r.topLeft(), r.topRight());
            p->drawLine(r.topLeft(), r.bottomLeft());
            p->setPen(option.palette.color(QPalette::Dark));
            p->drawLine(r.bottomLeft(), r.bottomRight());
            p->drawLine(r.topRight(), r.bottomRight());
            p->setPen(option.palette.color(QPalette::ButtonText));
        } else {
            // The texts are laid out in fixed pitch by their owner: drawn as they stand, never elided.
            const bool current = option.state & QStyle::State_Selected;
            p->fillRect(r, current ? option.palette.highlight() : option.palette.base());
            p->setPen(option.palette.color(current ? QPalette::HighlightedText : QPalette::Text));
        }
        p->setFont(option.font);
        p->drawText(r.adjusted(1, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextDontClip,
                    index.data().toString());
    }
    bool eventFilter(QObject* o, QEvent* e) override {
        auto* le = qobject_cast<QLineEdit*>(o);
        if (le && e->type() == QEvent::KeyPress && grid_->editorKey(le, static_cast<QKeyEvent*>(e)))
            return true;
        // The editor losing the focus neither commits nor closes it here: another window or a
        // popup taking the activation leaves it open with the typed text, and a move to another
        // control of the window is the owner's leave rule first (focusMoved).
        if (le && e->type() == QEvent::FocusOut) return false;
        return QStyledItemDelegate::eventFilter(o, e);
    }

  private:
    TStringGridE* grid_;
};

TStringGridE::TStringGridE(int cols, int rows, QWidget* parent) : QTableWidget(rows, cols, parent) {
    setItemDelegate(new Delegate(this));
    horizontalHeader()->hide();
    verticalHeader()->hide();
    horizontalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setMinimumSectionSize(1);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setShowGrid(false);  // lines only around the fixed cells (drawn by the delegate)
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setTabKeyNavigation(true);
    setWordWrap(false);
    setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::DoubleClicked |
                    QAbstractItemView::EditKeyPressed);
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < cols; ++c) {
            auto* it = new QTableWidgetItem;
            Qt::ItemFlags f = Qt::ItemIsEnabled;
            if (r >= FixedRows && c >= FixedCols) f |= Qt::ItemIsSelectable | Qt::ItemIsEditable;
            it->setFlags(f);
            setItem(r, c, it);
        }
    if (rows > FixedRows && cols > FixedCols) setCurrentCell(FixedRows, FixedCols);
    connect(qApp, &QApplication::focusChanged, this,
            [this](QWidget* old, QWidget* now) { focusMoved(old, now); });
}

QString TStringGridE::Cells(int col, int row) const {
    if (editor_ && currentRow() == row && currentColumn() == col) return editor_->text();
    const QTableWidgetItem* it = item(row, col);
    return it ? it->text() : QString();
}

void TStringGridE::setCells(int col, int row, const QString& text) {
    QTableWidgetItem* it = item(row, col);
    if (!it) return;
    if (it->text() != text) it->setText(text);
    // The open editor shows the new text of its cell, as the class library's grid does.
    if (editor_ && currentRow() == row && currentColumn() == col && editor_->text() != text)
        editor_->setText(text);
}

void TStringGridE::setColRow(int col, int row) {
    endEditing();
    setCurrentCell(row, col);
}

void TStringGridE::endEditing() {
    if (!editor_) return;
    QLineEdit* ed = editor_;
    takeEditorText(ed);
    if (ed == editor_) closeEditor(ed, QAbstractItemDelegate::NoHint);
}

void TStringGridE::takeEditorText(QWidget* editor) {
    const bool was = std::exchange(ownCommit_, true);
    QTableWidget::commitData(editor);
    ownCommit_ = was;
}

void TStringGridE::commitData(QWidget* editor) {
    // The item view commits an open editor on occasions of its own (the current cell changed
    // by a click, a window's activation in between): the cell keeps what the owner's rules
    // made of the typed text, which they did when the move was asked for.
    if (ownCommit_) QTableWidget::commitData(editor);
}

bool TStringGridE::InplaceEditorFocused() const {
    // The editor is its window's focus control also while another window or a popup is
    // active: a click that comes back to the window may arrive before the activation.
    return editor_ && (editor_->hasFocus() || window()->focusWidget() == editor_);
}

QString TStringGridE::EditorText() const {
    return editor_ ? editor_->text() : QString();
}

void TStringGridE::setEditorText(const QString& text) {
    const bool wasQuiet = std::exchange(quiet_, true);
    if (editor_ && editor_->text() != text) editor_->setText(text);
    quiet_ = wasQuiet;
}

int TStringGridE::EditorCaret() const {
    return editor_ ? editor_->cursorPosition() : 0;
}

void TStringGridE::setEditorCaret(int pos) {
    if (editor_) editor_->setCursorPosition(pos);
}

void TStringGridE::EditCurrent() {
    edit(currentIndex());
}

void TStringGridE::editorOpened(QLineEdit* editor) {
    editor_ = editor;
    editorMade_ = true;
    // While the editor is open a click on the grid must not take the focus from it: the move
    // that the click asks for commits the editor's text first (onSelectCell).
    setFocusPolicy(Qt::TabFocus);
    // Every change of the editor's text that the grid or its owner did not write: typing, and
    // an accessibility layer's edit, which emits no textEdited.
    connect(editor, &QLineEdit::textChanged, this, [this, editor](const QString& text) {
        if (onSetEditText && editor == editor_ && !quiet_) onSetEditText(currentColumn(), currentRow(), text);
    });
}

void TStringGridE::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
    // The editor as the focus control of an inactive window (a click that came before the
    // activation): the grid takes its place, as it does from an editor with the focus.
    const bool windowFocus = editor && !editor->hasFocus() && window()->focusWidget() == editor;
    if (editor == editor_) {
        editor_ = nullptr;
        setFocusPolicy(Qt::StrongFocus);
    }
    QTableWidget::closeEditor(editor, hint);
    if (windowFocus) setFocus();
}

bool TStringGridE::askSelect(const QModelIndex& index) {
    if (!index.isValid()) return false;
    // The owner hears of every move, also of one to a fixed cell, which is always refused:
    // leaving the cell being edited commits it whether or not the move happens.
    const bool fixed = index.row() < FixedRows || index.column() < FixedCols;
    bool can = !fixed;
    if (onSelectCell) onSelectCell(index.column(), index.row(), can);
    return can && !fixed;
}

QModelIndex TStringGridE::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
    const QModelIndex cur = currentIndex();
    QModelIndex target = QTableWidget::moveCursor(action, modifiers);
    // Home, End and the page keys jump to the nearest cell that can be current: never into the
    // fixed cells, and back from cells that can never be selected.
    if (target.isValid() &&
        (action == MoveHome || action == MoveEnd || action == MovePageUp || action == MovePageDown)) {
        const int r = std::max(target.row(), FixedRows);
        int c = std::max(target.column(), FixedCols);
        while (c > FixedCols && item(r, c) && !(item(r, c)->flags() & Qt::ItemIsSelectable)) --c;
        target = model()->index(r, c);
    }
    if (!target.isValid() || target == cur) return cur;
    if (!askSelect(target)) return currentIndex();  // the owner may have moved it itself
    return target;
}

void TStringGridE::mousePressEvent(QMouseEvent* e) {
    const QModelIndex idx = indexAt(e->position().toPoint());
    pressed_ = idx;
    if (idx.isValid() && idx != currentIndex() && !askSelect(idx)) {
        e->accept();
        return;
    }
    if (idx.isValid() && idx.row() >= FixedRows && idx.column() >= FixedCols)
        QTableWidget::mousePressEvent(e);
}

void TStringGridE::mouseMoveEvent(QMouseEvent* e) {
    e->accept();  // no range drags: every move goes through onSelectCell
}

void TStringGridE::mouseDoubleClickEvent(QMouseEvent* e) {
    const QModelIndex idx = indexAt(e->position().toPoint());
    if (idx == currentIndex()) {
        QTableWidget::mouseDoubleClickEvent(e);
    } else if (idx != pressed_) {
        // The press before it went elsewhere (a click that closed a popup): this is the press.
        // A double click on a cell that refused its press is not asked for again.
        QMouseEvent press(QEvent::MouseButtonPress, e->position(), e->scenePosition(), e->globalPosition(),
                          e->button(), e->buttons(), e->modifiers(), e->pointingDevice());
        mousePressEvent(&press);
    }
}

void TStringGridE::keyPressEvent(QKeyEvent* e) {
    // Enter starts editing the current cell, as F2 does.
    if ((e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) && state() != EditingState) {
        edit(currentIndex());
        return;
    }
    // Tab moves between cells only; a refused move keeps the focus in the grid.
    if ((e->key() == Qt::Key_Tab || e->key() == Qt::Key_Backtab) && tabKeyNavigation()) {
        const bool back = e->key() == Qt::Key_Backtab || (e->modifiers() & Qt::ShiftModifier);
        const QModelIndex target = moveCursor(back ? MovePrevious : MoveNext, e->modifiers());
        if (target.isValid() && target != currentIndex()) setCurrentIndex(target);
        e->accept();
        return;
    }
    QTableWidget::keyPressEvent(e);
}

bool TStringGridE::editorKey(QLineEdit* editor, QKeyEvent* e) {
    const int k = e->key();
    char key = 0;
    if (k == Qt::Key_Return || k == Qt::Key_Enter)
        key = '\r';
    else if (k == Qt::Key_Escape)
        key = 27;
    else if (!e->text().isEmpty() && e->text().at(0).unicode() < 0x80)
        key = static_cast<char>(e->text().at(0).unicode());
    QPointer<QLineEdit> ed(editor);
    if (key && onKeyPress) {
        const char before = key;
        onKeyPress(key);
        if (!ed) return true;
        if (key == 0) return true;  // swallowed
        if (key == '\r') {
            takeEditorText(ed);
            if (ed) closeEditor(ed, QAbstractItemDelegate::SubmitModelCache);
            return true;
        }
        if (key != before) return true;
    }
    if (k == Qt::Key_Tab || k == Qt::Key_Backtab) {
        const bool back = k == Qt::Key_Backtab || (e->modifiers() & Qt::ShiftModifier);
        // The move is asked for while the editor still has the focus, so leaving the cell
        // commits it; then editing ends.
        const QModelIndex target = moveCursor(back ? MovePrevious : MoveNext, e->modifiers());
        if (ed && ed == editor_) endEditing();  // the owner may have ended it already
        if (target.isValid() && target != currentIndex()) setCurrentIndex(target);
        return true;
    }
    return false;
}

void TStringGridE::focusMoved(QWidget* old, QWidget* now) {
    if (!old || !now) return;
    const bool wasIn = old == this || isAncestorOf(old);
    const bool isIn = now == this || isAncestorOf(now);
    if (!wasIn || isIn || now->window() != window()) return;
    if (onExit) onExit();
    // The owner has taken the text by its leave rule; what it refused is not written.
    if (editor_) closeEditor(editor_, QAbstractItemDelegate::NoHint);
}
