// The synchronous hand-over from a worker thread to the GUI thread.
//
// A worker posts a function and blocks until the GUI thread has run it. The GUI thread runs
// posted functions from its event loop; while it waits for a worker's end (waitFor) it
// runs posted functions only, no user input. An exception thrown by a posted function is
// carried back and rethrown in the worker.
//
// Threads: Synchronize from any thread (called on the GUI thread it runs the function at
// once); waitFor and runPending on the GUI thread only. Needs a QCoreApplication.
#pragma once

#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>

class QObject;

class SyncMailbox {
  public:
    // The process-wide mailbox of the application's GUI thread.
    static SyncMailbox& instance();

    // Runs fn on the GUI thread and returns when it has run.
    void Synchronize(const std::function<void()>& fn);

    // GUI thread: runs posted functions until finished() holds, and no user input. The
    // worker calls wake() when it ends so that the wait notices at once.
    void waitFor(const std::function<bool()>& finished);
    void wake();

    // GUI thread: runs every function posted so far.
    void runPending();

    ~SyncMailbox();

  private:
    SyncMailbox();

    struct Job {
        const std::function<void()>* fn;
        bool done = false;
        std::exception_ptr error;
    };

    std::mutex mutex_;
    std::condition_variable posted_;  // a job came or a worker ended (GUI side waits)
    std::condition_variable done_;    // a job was run (worker side waits)
    std::deque<Job*> jobs_;
    QObject* receiver_;
};
