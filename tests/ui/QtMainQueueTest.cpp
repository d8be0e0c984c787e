// The main queue on the Qt event loop.

#include "platform/qt/QtMainQueue.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QThread>

#include <atomic>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using vantor::platform::QtMainQueue;

class QtMainQueueTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void postedTasksRunLaterInOrder() {
        QtMainQueue queue;
        std::vector<int> ran;
        queue.post([&] { ran.push_back(1); });
        queue.post([&] {
            ran.push_back(2);
            queue.post([&] { ran.push_back(4); }); // after the ones already waiting
        });
        queue.post([&] { ran.push_back(3); });
        QVERIFY(ran.empty()); // never inside the posting call
        QTRY_COMPARE(ran, (std::vector<int>{1, 2, 3, 4}));
    }

    void delayedTasksWaitAndKeepTheirOrder() {
        QtMainQueue queue;
        std::vector<int> ran;
        QElapsedTimer clock;
        clock.start();
        qint64 firstAt = -1;
        queue.postAfter(60ms, [&] { ran.push_back(2); });
        queue.postAfter(30ms, [&] {
            firstAt = clock.elapsed();
            ran.push_back(1);
        });
        queue.postAfter(60ms, [&] { ran.push_back(3); });
        QTRY_COMPARE(ran, (std::vector<int>{1, 2, 3}));
        QVERIFY(firstAt >= 30);
    }

    void tasksFromAnotherThreadRunOnTheMainThread() {
        QtMainQueue queue;
        std::atomic<int> onMain{0};
        std::atomic<int> elsewhere{0};
        QThread* main = QThread::currentThread();
        auto record = [&] { (QThread::currentThread() == main ? onMain : elsewhere)++; };
        std::thread worker([&] {
            for (int i = 0; i < 100; ++i) queue.post(record);
            queue.postAfter(10ms, record);
        });
        worker.join();
        QTRY_COMPARE(onMain.load(), 101);
        QCOMPARE(elsewhere.load(), 0);
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
        // The event loop runs until a timer that falls due after the dropped
        // tasks has fired: had any of them survived, it would have run first.
        bool later = false;
        QtMainQueue after;
        after.postAfter(2ms, [&] { later = true; });
        QTRY_VERIFY(later);
        QVERIFY(!ran);
    }
};

QTEST_GUILESS_MAIN(QtMainQueueTest)
#include "QtMainQueueTest.moc"
