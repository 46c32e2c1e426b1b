#include "toolkit/synchronize.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QThread>

#include <atomic>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

namespace darvolt {

namespace {

// One piece of work on its way to the GUI thread. The worker waits on it
// until it has run or has been dropped unrun.
struct Request
{
    std::function<void()> work;
    std::mutex mutex;
    std::condition_variable done;
    std::exception_ptr error;
    bool finished = false;
    bool ran = false;

    void Finish(bool hasRun, std::exception_ptr failure)
    {
        const std::lock_guard lock(mutex);
        if (finished)
            return;
        ran = hasRun;
        error = std::move(failure);
        finished = true;
        done.notify_all();
    }
};

class Receiver;

// Shared by every thread for the whole life of the process: a worker may
// still be waiting here while the program's static objects go away, so it is
// never destroyed. The mutex is recursive because posting an event can, in
// rare cases, delete it on the spot, and the event's destructor takes it too.
struct Hub
{
    std::recursive_mutex mutex;
    Receiver *receiver = nullptr;
    std::thread::id guiThread;
    QEvent::Type eventType = QEvent::None;
    std::atomic<bool> terminating{false};
};

Hub &hub()
{
    static Hub *const instance = new Hub;
    return *instance;
}

class WorkEvent : public QEvent
{
public:
    WorkEvent(QEvent::Type type, std::shared_ptr<Request> request)
        : QEvent(type), m_request(std::move(request))
    {
    }

    ~WorkEvent() override
    {
        // An event that is deleted before it was delivered (its receiver went
        // away) must still release the thread that waits for it.
        std::shared_ptr<Request> request;
        {
            const std::lock_guard lock(hub().mutex);
            request = std::move(m_request);
        }
        if (request)
            request->Finish(false, nullptr);
    }

    std::shared_ptr<Request> TakeRequest()
    {
        const std::lock_guard lock(hub().mutex);
        return std::move(m_request);
    }

private:
    std::shared_ptr<Request> m_request;
};

class Receiver : public QObject
{
public:
    ~Receiver() override
    {
        const std::lock_guard lock(hub().mutex);
        if (hub().receiver == this)
            hub().receiver = nullptr;
        hub().terminating = true;
    }

protected:
    void customEvent(QEvent *event) override
    {
        QEvent::Type expected;
        {
            const std::lock_guard lock(hub().mutex);
            expected = hub().eventType;
        }
        if (event->type() != expected)
            return;
        const std::shared_ptr<Request> request = static_cast<WorkEvent *>(event)->TakeRequest();
        if (!request)
            return;
        std::exception_ptr error;
        try {
            request->work();
        } catch (...) {
            error = std::current_exception();
        }
        request->Finish(true, std::move(error));
    }
};

// Runs while the application object is destroyed: whatever is still queued
// is dropped, and the threads waiting for it are let go.
void ReleaseReceiver()
{
    Receiver *receiver = nullptr;
    {
        const std::lock_guard lock(hub().mutex);
        std::swap(receiver, hub().receiver);
        hub().terminating = true;
    }
    delete receiver;
}

} // namespace

void InstallSynchronizer()
{
    QCoreApplication *app = QCoreApplication::instance();
    if (!app || QThread::currentThread() != app->thread())
        return;
    Hub &h = hub();
    const std::lock_guard lock(h.mutex);
    if (h.receiver)
        return;
    if (h.eventType == QEvent::None)
        h.eventType = static_cast<QEvent::Type>(QEvent::registerEventType());
    h.receiver = new Receiver;
    h.guiThread = std::this_thread::get_id();
    h.terminating = false;
    QObject::connect(app, &QCoreApplication::aboutToQuit, h.receiver, [] { hub().terminating = true; });
    qAddPostRoutine(ReleaseReceiver);
}

bool Synchronize(const std::function<void()> &work)
{
    if (!work)
        return true;
    Hub &h = hub();
    auto request = std::make_shared<Request>();
    bool direct = false;
    {
        const std::lock_guard lock(h.mutex);
        if (!h.receiver)
            return false;
        direct = std::this_thread::get_id() == h.guiThread;
        if (!direct) {
            request->work = work;
            // Posted under the lock, so that the receiver cannot go away
            // between the test and the post.
            QCoreApplication::postEvent(h.receiver, new WorkEvent(h.eventType, request));
        }
    }
    if (direct) {
        work();
        return true;
    }
    std::exception_ptr error;
    {
        std::unique_lock lock(request->mutex);
        request->done.wait(lock, [&] { return request->finished; });
        if (!request->ran)
            return false;
        // Taken out of the request, so that the exception ends its life on
        // this thread even when the GUI thread lets go of the request last.
        error = std::exchange(request->error, nullptr);
    }
    if (error)
        std::rethrow_exception(error);
    return true;
}

bool IsGuiThread()
{
    const std::lock_guard lock(hub().mutex);
    return hub().receiver && std::this_thread::get_id() == hub().guiThread;
}

bool ApplicationTerminating()
{
    return hub().terminating.load();
}

} // namespace darvolt
