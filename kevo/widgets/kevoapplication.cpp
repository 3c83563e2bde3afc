#include "kevoapplication.h"

#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QPointer>
#include <QTranslator>
#include <stdexcept>
#include <utility>

#include "dialogseam.h"

KevoApplication::KevoApplication(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("KEVO"));
    // The installed menu entry is kevo.desktop: a desktop (Wayland included) finds the
    // program's icon and entry for its windows by this name.
    setDesktopFileName(QStringLiteral("kevo"));
    // Under X11 each window carries its own icon: the program's, for every window.
    setWindowIcon(QIcon(QStringLiteral(":/icons/kevo.svg")));
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

namespace {
int blockingRuns = 0;
QList<QPointer<QWidget>> closeAfterRun;
}  // namespace

BlockingRun::BlockingRun() {
    ++blockingRuns;
}

BlockingRun::~BlockingRun() {
    if (--blockingRuns > 0) return;
    for (const QPointer<QWidget>& w : std::exchange(closeAfterRun, {}))
        if (w) QMetaObject::invokeMethod(w, &QWidget::close, Qt::QueuedConnection);
}

bool BlockingRun::closeWaits(QWidget* window) {
    if (blockingRuns == 0) return false;
    if (!closeAfterRun.contains(window)) closeAfterRun.append(window);
    return true;
}
