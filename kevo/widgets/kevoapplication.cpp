#include "kevoapplication.h"

#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <stdexcept>

#include "dialogseam.h"

KevoApplication::KevoApplication(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("KEVO"));
    // The installed menu entry is kevo.desktop: a desktop (Wayland included) finds the
    // program's icon and entry for its windows by this name.
    setDesktopFileName(QStringLiteral("kevo"));
    setQuitOnLastWindowClosed(true);
    // Qt's own dialogs (files, printer) speak German like the rest of the program, when the
    // system has Qt's translations.
    auto* qtTexts = new QTranslator(this);
    if (qtTexts->load(QLocale(QLocale::German, QLocale::Germany), QStringLiteral("qtbase"),
                      QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        installTranslator(qtTexts);
    else
        delete qtTexts;
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
