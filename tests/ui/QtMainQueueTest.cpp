// The main queue on the Qt event loop.

#include "platform/qt/QtMainQueue.h"

#include <QTest>
#include <QThread>

#include <thread>

using namespace std::chrono_literals;
using vantor::platform::QtMainQueue;

class QtMainQueueTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void tasksFromAnotherThreadRunLaterOnTheMainThreadInOrder() {
        QtMainQueue queue;
        std::vector<int> ran; // -n: task n ran off the main thread
        const auto task = [&ran, main = QThread::currentThread()](int n) {
            return [&ran, main, n] { ran.push_back(QThread::currentThread() == main ? n : -n); };
        };
        std::thread worker([&] {
            queue.postAfter(1ms, task(3));
            queue.post(task(1));
            queue.postAfter(1ms, task(4));
            queue.post(task(2));
        });
        worker.join();
        QVERIFY(ran.empty()); // never inside the posting call
        QTRY_COMPARE(ran, (std::vector<int>{1, 2, 3, 4}));
    }

    void tasksStillWaitingWhenTheQueueGoesNeverRun() {
        bool ran = false;
        {
            QtMainQueue queue;
            queue.post([&] { ran = true; });
            queue.postAfter(1ms, [&] { ran = true; });
            std::thread([&] { queue.postAfter(1ms, [&] { ran = true; }); }).join();
        }
        // Had a dropped task survived, it would run before this later one.
        bool later = false;
        QtMainQueue after;
        after.postAfter(2ms, [&] { later = true; });
        QTRY_VERIFY(later);
        QVERIFY(!ran);
    }
};

QTEST_GUILESS_MAIN(QtMainQueueTest)
#include "QtMainQueueTest.moc"
