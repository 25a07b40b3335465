#pragma once

#include <QFuture>
#include <QFutureWatcher>
#include <QObject>
#include <QString>
#include <QtConcurrent/QtConcurrentRun>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <type_traits>
#include <utility>

class QThreadPool;

// The one way work leaves the user-interface thread: a job runs on a pool thread, on values it
// was given (never the window that started it), and its result comes back as one call of a
// callback on a context object's thread. A context that went first takes the callback with it.
// Nothing waits for a job on the user-interface thread but the end of its owner.
namespace sys {

namespace detail {
struct CancelState;
}

// What a job's owner asks of it. The job looks at it between steps; work that waits inside one
// long call (a statement of the engine) is stopped through an Interruption.
class CancelToken {
public:
    CancelToken();
    bool cancelled() const;
    // From any thread; at most once matters.
    void cancel() const;

private:
    friend class Interruption;
    std::shared_ptr<detail::CancelState> state_;
};

// While it lives, a cancel of token also calls interrupt (on the thread that cancels); made after
// a cancel, it interrupts at once. Made and dropped on the job's thread, around the long call.
class Interruption {
public:
    Interruption(const CancelToken &token, std::function<void()> interrupt);
    ~Interruption();
    Interruption(const Interruption &) = delete;
    Interruption &operator=(const Interruption &) = delete;

private:
    std::shared_ptr<detail::CancelState> state_;
};

// How a job ended: what it returned, or what it threw instead.
template <class T> struct Outcome {
    std::optional<T> value;
    QString failure;        // the exception's text, when the job threw
    bool cancelled = false; // its owner had asked it to stop by the time it ended
    bool ok() const { return value.has_value(); }
};

// The owner's handle on a job. A handle that goes (its owner going, or another job put in its
// place) cancels its job and waits for it to end: no job outlives its owner. A job that does not
// look at its token (a copy of the books) therefore always ends whole.
class Job {
public:
    Job() = default;
    Job(QFuture<void> future, CancelToken token) : future_(std::move(future)), token_(std::move(token)) {}
    Job(Job &&other) noexcept;
    Job &operator=(Job &&other) noexcept;
    ~Job();
    Job(const Job &) = delete;
    Job &operator=(const Job &) = delete;

    bool isRunning() const { return !future_.isFinished(); }
    void cancel() const { token_.cancel(); }
    // Blocks until the job has ended (one not started yet runs here); its callback still comes
    // through the event loop.
    void wait();

private:
    QFuture<void> future_;
    CancelToken token_;
};

// The pool every job runs on: big enough that a job never queues behind another (the program
// has a handful at most), living as long as the application, whose end waits for its jobs.
QThreadPool &jobPool();

// Runs work(token) on the pool and done(outcome) on context's thread once it has ended, unless
// context was destroyed first. An exception thrown by work is caught and reported as a failure.
template <class Work, class Done> [[nodiscard]] Job runInBackground(QObject *context, Work work, Done done) {
    using T = std::invoke_result_t<Work &, const CancelToken &>;
    static_assert(!std::is_void_v<T>, "a job returns what it found");
    CancelToken token;
    QFuture<Outcome<T>> future = QtConcurrent::run(&jobPool(), [work = std::move(work), token]() mutable {
        Outcome<T> outcome;
        try {
            outcome.value.emplace(work(token));
        } catch (const std::exception &error) {
            outcome.failure = QString::fromLocal8Bit(error.what());
        } catch (...) {
            outcome.failure = QStringLiteral("error desconocido");
        }
        outcome.cancelled = token.cancelled();
        return outcome;
    });
    // A child of the context: destroyed with it, and with it the callback.
    auto *watcher = new QFutureWatcher<Outcome<T>>(context);
    QObject::connect(watcher, &QFutureWatcherBase::finished, watcher, [watcher, done = std::move(done)]() mutable {
        // A copy: taking the result would reset the future the handle waits on.
        Outcome<T> outcome = watcher->result();
        watcher->deleteLater();
        auto callback = std::move(done); // the callback may destroy the context, and the watcher
        callback(std::move(outcome));
    });
    watcher->setFuture(future);
    return Job(QFuture<void>(future), std::move(token));
}

} // namespace sys
