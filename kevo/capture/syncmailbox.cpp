#include "syncmailbox.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QObject>
#include <QThread>
#include <chrono>

SyncMailbox& SyncMailbox::instance() {
    static SyncMailbox box;
    return box;
}

SyncMailbox::SyncMailbox() : receiver_(new QObject) {
    if (QCoreApplication* app = QCoreApplication::instance()) receiver_->moveToThread(app->thread());
}

SyncMailbox::~SyncMailbox() {
    if (QCoreApplication::instance())
        receiver_->deleteLater();
    else
        delete receiver_;  // at exit, after the application object
}

static bool onGuiThread() {
    QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

void SyncMailbox::Synchronize(const std::function<void()>& fn) {
    if (onGuiThread()) {
        fn();
        return;
    }
    Job job{&fn, false, nullptr};
    {
        std::lock_guard<std::mutex> lock(mutex_);
        jobs_.push_back(&job);
    }
    posted_.notify_all();
    QMetaObject::invokeMethod(
        receiver_, [this] { runPending(); }, Qt::QueuedConnection);
    {
        std::unique_lock<std::mutex> lock(mutex_);
        done_.wait(lock, [&] { return job.done; });
    }
    if (job.error) std::rethrow_exception(job.error);
}

void SyncMailbox::runPending() {
    for (;;) {
        Job* job;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (jobs_.empty()) return;
            job = jobs_.front();
            jobs_.pop_front();
        }
        try {
            (*job->fn)();
        } catch (...) {
            job->error = std::current_exception();
        }
        {
            std::lock_guard<std::mutex> lock(mutex_);
            job->done = true;
        }
        done_.notify_all();
    }
}

void SyncMailbox::wake() {
    { std::lock_guard<std::mutex> lock(mutex_); }
    posted_.notify_all();
}

void SyncMailbox::waitFor(const std::function<bool()>& finished) {
    for (;;) {
        runPending();
        std::unique_lock<std::mutex> lock(mutex_);
        if (jobs_.empty() && finished()) return;
        // The timeout only guards against a worker that ends without wake().
        posted_.wait_for(lock, std::chrono::milliseconds(20), [&] { return !jobs_.empty() || finished(); });
    }
}
