// Keys of a dialog that has neither a cancel nor a default button: Escape ends nothing, and
// Enter presses only a push button that has the focus. GUI thread only.
#pragma once

#include <QDialog>
#include <QKeyEvent>
#include <QPushButton>

// True when e was one of those keys and has been handled; else the dialog's own handling goes on.
inline bool handleNoDefaultButtonKeys(QDialog* dialog, QKeyEvent* e) {
    if (e->key() == Qt::Key_Escape) {
        e->accept();
        return true;
    }
    if ((e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) && !e->modifiers()) {
        e->accept();
        if (auto* b = qobject_cast<QPushButton*>(dialog->focusWidget())) b->click();
        return true;
    }
    return false;
}
