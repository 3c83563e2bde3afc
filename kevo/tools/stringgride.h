// TStringGridE: a string grid with fixed cells (the first row and column) and an in-place
// editor that its owner can reach: whether an editor was ever made, whether it has the focus,
// its text and its caret.
//
// The grid asks its owner before the current cell moves (onSelectCell, as the class library's
// OnSelectCell: for keys, Tab and mouse presses, not for moves made from code; a move to a
// fixed cell is asked too, with canSelect false, and never happens), passes every
// text the user types into the editor to onSetEditText, every key pressed in the editor to
// onKeyPress first (the owner may change it; Esc changed into Enter ends editing with the
// editor's text), and tells when the focus leaves the grid for another control of its window
// (onExit), after which editing ends. Another window or a popup taking the activation leaves
// the editor open with its text, and it stays its window's focus control: a click coming back
// is asked for as a move from the editor, in whatever order the window system delivers the
// click and the activation. The editor's text goes into its cell only where the grid ends
// editing itself (Enter, Tab, endEditing); on every other occasion the cell keeps what the
// owner wrote. Cells(col, row) is the editor's text while the editor is open on that cell.
// GUI thread only.
#pragma once

#include <QPointer>
#include <QTableWidget>
#include <functional>

#include <QLineEdit>

class TStringGridE : public QTableWidget {
  public:
    TStringGridE(int cols, int rows, QWidget* parent = nullptr);

    int FixedCols = 1;
    int FixedRows = 1;

    QString Cells(int col, int row) const;
    void setCells(int col, int row, const QString& text);
    int Col() const { return currentColumn(); }
    int Row() const { return currentRow(); }
    // Moves the current cell from code (no onSelectCell); ends editing.
    void setColRow(int col, int row);
    // Ends editing where it is: the editor's text goes into its cell, and the editor closes.
    void endEditing();

    // The in-place editor.
    bool InplaceEditorExists() const { return editorMade_; }
    bool InplaceEditorFocused() const;
    QLineEdit* InplaceEditor() const { return editor_; }  // null while no editor is open
    QString EditorText() const;
    void setEditorText(const QString& text);
    int EditorCaret() const;
    void setEditorCaret(int pos);
    // Opens the editor on the current cell (as typing F2 does).
    void EditCurrent();

    std::function<void(int col, int row, bool& canSelect)> onSelectCell;
    std::function<void(int col, int row, const QString& value)> onSetEditText;
    std::function<void(char& key)> onKeyPress;
    std::function<void()> onExit;

  protected:
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;
    void commitData(QWidget* editor) override;

  private:
    class Delegate;
    friend class Delegate;
    // True when the move to index may happen (fixed cells never; else the owner decides).
    bool askSelect(const QModelIndex& index);
    void editorOpened(QLineEdit* editor);
    // A key pressed in the editor; true when the grid handled it.
    bool editorKey(QLineEdit* editor, QKeyEvent* e);
    void focusMoved(QWidget* old, QWidget* now);
    // The editor's text into its cell: only where the grid itself ends editing.
    void takeEditorText(QWidget* editor);

    QPointer<QLineEdit> editor_;
    QPersistentModelIndex pressed_;  // the cell of the last mouse press seen
    bool editorMade_ = false;
    bool quiet_ = false;      // the grid or its owner is writing the editor's text
    bool ownCommit_ = false;  // the grid is ending editing by its own rule
};
