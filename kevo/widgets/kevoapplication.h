// The application object of KEVO: the GUI event loop, with the rule that no exception ends
// the program. An exception that leaves an event handler is caught here and its message is
// shown in an error box (through the dialog seam); the loop goes on.
// GUI thread only.
#pragma once

#include <QApplication>
#include <QWidget>
#include <exception>
#include <string>

class KevoApplication : public QApplication {
  public:
    KevoApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

// The message of a caught exception: what() of a standard exception, else empty.
std::string exceptionMessage(const std::exception_ptr& e);
// The application's exception display: an error box with the program's caption.
void ShowException(const std::exception_ptr& e);

// Runs an event handler and shows an exception that it throws in the error box, right
// there, so that no exception unwinds through Qt's menu, action or widget code. Every
// window binds its command handlers through it; notify() stays the last resort.
template <typename F>
void guarded(F&& handler) {
    try {
        handler();
    } catch (...) {
        ShowException(std::current_exception());
    }
}

// An operation that blocks the GUI thread but lets window events in while it runs (a device
// transfer or a scan with its progress dialog, and their message boxes): a window's close
// request that comes meanwhile must not run inside it. Such a window asks closeWaits(); when
// true, it ignores the request and is closed once the last run has ended (posted, so that
// the operation has finished first).
class BlockingRun {
  public:
    BlockingRun();
    ~BlockingRun();
    BlockingRun(const BlockingRun&) = delete;
    BlockingRun& operator=(const BlockingRun&) = delete;

    static bool closeWaits(QWidget* window);
};
