// The real dialogs of the dialog seam, as ask() builds them before it runs them modally.
// Tests build them from a request and inspect or drive them (shown modeless), so what the
// user gets is checked without a modal loop. GUI thread only.
#pragma once

#include <QFileDialog>
#include <QMessageBox>
#include <QString>
#include <memory>

#include "dialogseam.h"

namespace dialogs {

// A message box with the request's buttons, each carrying its modal result; Esc and the close
// button click the button of the request's escapeResult (none: both are ignored).
std::unique_ptr<QMessageBox> makeMessageBox(const Request& r);
// The modal result of a closed box built by makeMessageBox: that of the clicked button,
// mrCancel when none was clicked.
int messageBoxResult(const QMessageBox& box);

// The open or save dialog of an OpenFile/SaveFile request: Qt's own dialog (so the filter
// patterns match without regard to case, as on the file system the filters were written for),
// starting at the preset file name (an absolute one as it is, a relative one in initialDir).
// An open dialog accepts a typed name whose file differs only in case, or lacks only the
// default extension.
std::unique_ptr<QFileDialog> makeFileDialog(const Request& r);
// The seam's answer for a file dialog that ended with code (QDialog::Accepted or not).
Response fileDialogResponse(const QFileDialog& dlg, int code);

// For a path that does not exist: the regular file in its folder whose name equals the path's
// file name, or that name plus "." + defaultExt, without regard to case (the first in name
// order); empty when there is none.
QString existingFileIgnoringCase(const QString& path, const QString& defaultExt);

}  // namespace dialogs
