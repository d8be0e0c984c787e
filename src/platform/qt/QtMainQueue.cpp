#include "platform/qt/QtMainQueue.h"

#include <QMetaObject>
#include <QObject>
#include <QThread>
#include <QTimer>

namespace vantor::platform {

namespace {

void startTimer(QObject* context, std::chrono::milliseconds delay, MainQueue::Task task) {
    // Precise timers keep delayed tasks in the order they fall due; the
    // coarse default may let a later one overtake an earlier one by a few ms.
    QTimer::singleShot(delay, Qt::PreciseTimer, context, std::move(task));
}

} // namespace

QtMainQueue::QtMainQueue() : context_(std::make_unique<QObject>()) {}

QtMainQueue::~QtMainQueue() = default;

void QtMainQueue::post(Task task) {
    // A queued call is an event for the context object: Qt delivers it on
    // the object's thread and discards it if the object is deleted first.
    QMetaObject::invokeMethod(context_.get(), std::move(task), Qt::QueuedConnection);
}

void QtMainQueue::postAfter(std::chrono::milliseconds delay, Task task) {
    QObject* context = context_.get();
    if (QThread::currentThread() == context->thread()) {
        startTimer(context, delay, std::move(task));
        return;
    }
    // A timer must be started on the thread whose event loop runs it, so a
    // worker thread hands the start to the main thread first.
    QMetaObject::invokeMethod(
        context, [context, delay, task = std::move(task)]() mutable { startTimer(context, delay, std::move(task)); },
        Qt::QueuedConnection);
}

} // namespace vantor::platform
