// The real dialogs of the dialog seam, built from a request the program made, driven as a
// user would without a modal loop: shown modeless, then Esc or the close button.
#pragma once

#include <QTest>

#include "dialogseam_qt.h"

namespace kevosupport {

// The result the real box of a request gives for Esc (or its close button); mrNone when the
// box ignores it and stays open.
inline int realBoxEscape(const dialogs::Request& r, bool closeButton = false) {
    const std::unique_ptr<QMessageBox> box = dialogs::makeMessageBox(r);
    box->show();
    if (closeButton)
        box->close();
    else
        QTest::keyClick(box.get(), Qt::Key_Escape);
    return box->isVisible() ? int(dialogs::mrNone) : dialogs::messageBoxResult(*box);
}

}  // namespace kevosupport
