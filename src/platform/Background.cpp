#include "platform/Background.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThreadPool>
#include <atomic>
#include <mutex>

namespace sys {

namespace detail {

struct CancelState {
    std::atomic_bool cancelled{false};
    std::mutex mutex; // cancel() against an Interruption being made or dropped
    std::function<void()> interrupt;
};

} // namespace detail

CancelToken::CancelToken() : state_(std::make_shared<detail::CancelState>()) {}

bool CancelToken::cancelled() const {
    return state_->cancelled.load();
}

void CancelToken::cancel() const {
    const std::lock_guard<std::mutex> guard(state_->mutex);
    state_->cancelled = true;
    if (state_->interrupt) {
        state_->interrupt();
    }
}

Interruption::Interruption(const CancelToken &token, std::function<void()> interrupt) : state_(token.state_) {
    const std::lock_guard<std::mutex> guard(state_->mutex);
    if (state_->cancelled) {
        interrupt();
    }
    state_->interrupt = std::move(interrupt);
}

Interruption::~Interruption() {
    const std::lock_guard<std::mutex> guard(state_->mutex);
    state_->interrupt = nullptr;
}

Job::Job(Job &&other) noexcept
    : future_(std::exchange(other.future_, QFuture<void>())), token_(std::exchange(other.token_, CancelToken())) {}

Job &Job::operator=(Job &&other) noexcept {
    if (this != &other) {
        cancel();
        wait();
        future_ = std::exchange(other.future_, QFuture<void>());
        token_ = std::exchange(other.token_, CancelToken());
    }
    return *this;
}

Job::~Job() {
    cancel();
    wait();
}

void Job::wait() {
    future_.waitForFinished();
}

QThreadPool &jobPool() {
    // A pool of the application's: its end waits for every job still working.
    static QPointer<QThreadPool> pool;
    if (!pool) {
        pool = new QThreadPool(QCoreApplication::instance());
        pool->setMaxThreadCount(16);
    }
    return *pool;
}

} // namespace sys
