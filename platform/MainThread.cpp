#include "MainThread.h"

#include <atomic>
#include <deque>
#include <mutex>

#if defined(__SANITIZE_THREAD__)
#include <sanitizer/tsan_interface.h>
#endif

#include <QCoreApplication>
#include <QEvent>

namespace {

// The bell's event is made on one thread and read on the main one; Qt carries it
// across with locks the thread sanitizer cannot see (Qt is not built with it), so the
// hand-over is announced to it here. Nothing in other builds.
#if defined(__SANITIZE_THREAD__)
void announceHandOver(void* object)
{
    __tsan_release(object);
}
void acceptHandOver(void* object)
{
    __tsan_acquire(object);
}
#else
void announceHandOver(void*) {}
void acceptHandOver(void*) {}
#endif

// The main thread's inbox. The event loop is only told that there is mail, by a plain
// event to an object of the main thread; the mail itself never passes through Qt.
struct MainInbox {
    std::mutex mutex;
    std::deque<std::function<void()>> tasks;
};

MainInbox& inbox()
{
    static MainInbox box;
    return box;
}

// Runs the oldest task: one per wake-up, so tasks keep their places among the
// other events of the main queue.
void runOneFromInbox()
{
    std::function<void()> task;
    {
        std::lock_guard lock(inbox().mutex);
        if (inbox().tasks.empty())
            return;
        task = std::move(inbox().tasks.front());
        inbox().tasks.pop_front();
    }
    task();
}

class InboxBell final : public QObject {
public:
    static constexpr QEvent::Type RING = QEvent::Type(QEvent::User + 731);

protected:
    bool event(QEvent* event) override
    {
        acceptHandOver(event);
        if (event->type() != RING)
            return QObject::event(event);
        runOneFromInbox();
        return true;
    }
};

std::atomic<InboxBell*> ringer{nullptr};

// Made on the main thread as the application object is made, so that no Qt object is
// ever made on a pool thread: Qt would adopt that thread, which ends with its pool.
void makeBell()
{
    if (!ringer.load())
        ringer = new InboxBell;
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(makeBell)

void postToMainThread(std::function<void()> task)
{
    if (!QCoreApplication::instance() || !ringer.load())
        return;
    {
        std::lock_guard lock(inbox().mutex);
        inbox().tasks.push_back(std::move(task));
    }
    auto* ring = new QEvent(InboxBell::RING);
    announceHandOver(ring);
    QCoreApplication::postEvent(ringer.load(), ring);
}
