#include "kevoapplication.h"

#include <stdexcept>

#include "dialogseam.h"

KevoApplication::KevoApplication(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("KEVO"));
    setQuitOnLastWindowClosed(true);
}

std::string exceptionMessage(const std::exception_ptr& e) {
    if (!e) return {};
    try {
        std::rethrow_exception(e);
    } catch (const std::exception& ex) {
        return ex.what();
    } catch (...) {
        return {};  // any other thrown object: shown with an empty message
    }
}

void ShowException(const std::exception_ptr& e) {
    dialogs::messageBox("KEVO", exceptionMessage(e), dialogs::MsgType::Error, dialogs::mbOK, {"OK"});
}

bool KevoApplication::notify(QObject* receiver, QEvent* event) {
    std::exception_ptr caught;
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        caught = std::current_exception();
    }
    ShowException(caught);
    return false;
}
