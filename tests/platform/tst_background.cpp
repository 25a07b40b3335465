// The one helper for work off the user-interface thread: the result on the context's thread,
// nothing once the context is gone, a cancel the job sees, a throw reported, an owner that waits.
#include "data/DbError.h"
#include "platform/Background.h"

#include <QSemaphore>
#include <QThread>
#include <QtTest>
#include <atomic>
#include <stdexcept>

class BackgroundTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // What the job returns, or what it throws instead, comes to the callback on the context's
    // thread, never on the job's.
    void outcomeOnTheContextsThread_data() {
        QTest::addColumn<int>("how");
        QTest::addColumn<QString>("failure");
        QTest::newRow("returns") << 0 << QString();
        QTest::newRow("a standard exception") << 1 << "disco lleno";
        QTest::newRow("a database error") << 2 << "database is locked";
        QTest::newRow("anything else") << 3 << "error desconocido";
    }

    void outcomeOnTheContextsThread() {
        QFETCH(int, how);
        QFETCH(QString, failure);
        QObject context;
        QThread *worker = nullptr;
        std::optional<sys::Outcome<int>> got;
        QThread *calledOn = nullptr;
        sys::Job job = sys::runInBackground(
            &context,
            [how, &worker](const sys::CancelToken &) {
                worker = QThread::currentThread();
                switch (how) {
                case 1:
                    throw std::runtime_error("disco lleno");
                case 2:
                    throw data::DbError(QStringLiteral("database is locked"));
                case 3:
                    throw 42;
                default:
                    return 7;
                }
            },
            [&](const sys::Outcome<int> &outcome) {
                got = outcome;
                calledOn = QThread::currentThread();
            });
        QVERIFY(!got); // only through the event loop
        QTRY_VERIFY(got);
        QVERIFY(worker && worker != QThread::currentThread());
        QCOMPARE(calledOn, QThread::currentThread());
        QCOMPARE(got->ok(), failure.isEmpty());
        QCOMPARE(got->value.value_or(-1), failure.isEmpty() ? 7 : -1);
        QCOMPARE(got->failure, failure);
        QVERIFY(!got->cancelled);
    }

    // A context destroyed while its job works takes the callback with it; the job ends anyway.
    void contextGoneNoCallback() {
        auto *context = new QObject;
        QSemaphore go;
        std::atomic_bool ended{false};
        bool called = false;
        sys::Job job = sys::runInBackground(
            context,
            [&](const sys::CancelToken &) {
                go.acquire();
                ended = true;
                return 1;
            },
            [&](const sys::Outcome<int> &) { called = true; });
        delete context;
        go.release();
        job.wait();
        QVERIFY(ended);
        QTest::qWait(50);
        QVERIFY(!called);
    }

    // A cancel reaches a job that looks at its token, and stops a long call through its
    // Interruption, also one made after the cancel; the outcome says it was cancelled.
    void cancelSeenAndInterrupts() {
        QObject context;
        QSemaphore started;
        std::atomic_int interrupts{0};
        std::optional<sys::Outcome<int>> got;
        sys::Job job = sys::runInBackground(
            &context,
            [&](const sys::CancelToken &token) {
                int waited = 0;
                {
                    const sys::Interruption stop(token, [&] { ++interrupts; });
                    started.release();
                    while (!token.cancelled()) {
                        QThread::msleep(1);
                        ++waited;
                    }
                }
                const sys::Interruption late(token, [&] { interrupts += 10; });
                return waited;
            },
            [&](const sys::Outcome<int> &outcome) { got = outcome; });
        started.acquire();
        QVERIFY(job.isRunning());
        job.cancel();
        QTRY_VERIFY(got);
        QVERIFY(got->ok() && got->cancelled);
        QCOMPARE(interrupts.load(), 11);
        QVERIFY(!job.isRunning());
    }

    // A handle that goes, or is given another job, stops its job and waits for it: when it has
    // gone, the job has ended. A job that does not look at its token ends whole.
    void handleGoneWaits() {
        QObject context;
        std::atomic_bool ended{false};
        QSemaphore started;
        {
            sys::Job job = sys::runInBackground(
                &context,
                [&](const sys::CancelToken &token) {
                    started.release();
                    while (!token.cancelled()) {
                        QThread::msleep(1);
                    }
                    ended = true;
                    return 0;
                },
                [](const sys::Outcome<int> &) {});
            started.acquire();
        }
        QVERIFY(ended);

        std::atomic_int steps{0};
        sys::Job job = sys::runInBackground(
            &context,
            [&](const sys::CancelToken &) {
                for (int i = 0; i < 20; ++i) {
                    QThread::msleep(5);
                    ++steps;
                }
                return 0;
            },
            [](const sys::Outcome<int> &) {});
        job = sys::runInBackground(
            &context, [](const sys::CancelToken &) { return 0; }, [](const sys::Outcome<int> &) {});
        QCOMPARE(steps.load(), 20);
    }
};

QTEST_GUILESS_MAIN(BackgroundTest)
#include "tst_background.moc"
