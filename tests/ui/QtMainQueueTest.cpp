// The main queue on the Qt event loop.

#include "platform/qt/QtMainQueue.h"

#include <QTest>
#include <QThread>

#include <thread>
#include <vector>

using namespace std::chrono_literals;
using vantor::platform::QtMainQueue;

class QtMainQueueTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void tasksFromAnotherThreadRunLaterOnTheMainThreadInOrder() {
        QtMainQueue queue;
        std::vector<int> ran; // -n: task n ran off the main thread
        QThread* main = QThread::currentThread();
        const auto task = [&](int n) { return [&ran, main, n] { ran.push_back(QThread::currentThread() == main ? n : -n); }; };
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
            std::thread worker([&] { queue.postAfter(1ms, [&] { ran = true; }); });
            worker.join();
        }
        // A timer falling due after the dropped tasks fires: had any survived, it would have run first.
        bool later = false;
        QtMainQueue after;
        after.postAfter(2ms, [&] { later = true; });
        QTRY_VERIFY(later);
        QVERIFY(!ran);
    }
};

QTEST_GUILESS_MAIN(QtMainQueueTest)
#include "QtMainQueueTest.moc"
