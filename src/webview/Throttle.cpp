#include "webview/Throttle.h"

#include <algorithm>
#include <cmath>

namespace webview {

namespace {

// Addresses kept before the idle ones are forgotten: a flood of made-up addresses cannot grow
// the tables without bound.
constexpr qsizetype kKeptAddresses = 4096;
constexpr int kRecentSecrets = 8;
// A record with no failure for this long is forgotten.
constexpr qint64 kFailureMemoryMs = 15 * 60 * 1000;

} // namespace

RateLimiter::RateLimiter(double perSecond, double burst) : perSecond_(perSecond), burst_(burst) {}

void RateLimiter::forgetIdle(qint64 nowMs) {
    // A bucket that has refilled is the same as none.
    for (auto it = buckets_.begin(); it != buckets_.end();) {
        const double refilled = it->tokens + double(nowMs - it->lastMs) / 1000.0 * perSecond_;
        it = refilled >= burst_ ? buckets_.erase(it) : std::next(it);
    }
}

int RateLimiter::take(const QByteArray &address, qint64 nowMs) {
    if (!buckets_.contains(address) && buckets_.size() >= kKeptAddresses) {
        forgetIdle(nowMs);
    }
    auto it = buckets_.find(address);
    if (it == buckets_.end()) {
        it = buckets_.insert(address, Bucket{burst_, nowMs});
    }
    Bucket &bucket = *it;
    const qint64 elapsed = std::max<qint64>(0, nowMs - bucket.lastMs);
    bucket.tokens = std::min(burst_, bucket.tokens + double(elapsed) / 1000.0 * perSecond_);
    bucket.lastMs = std::max(bucket.lastMs, nowMs);
    if (bucket.tokens >= 1.0) {
        bucket.tokens -= 1.0;
        return 0;
    }
    return std::max(1, int(std::ceil((1.0 - bucket.tokens) / perSecond_)));
}

qint64 FailureThrottle::waitMs(const QByteArray &address, qint64 nowMs) const {
    const auto it = records_.constFind(address);
    if (it == records_.cend() || it->count < kFreeFailures) {
        return 0;
    }
    const int doublings = std::min(it->count - kFreeFailures, 8);
    const qint64 wait = std::min(kLongestWaitMs, kFirstWaitMs << doublings);
    return std::max<qint64>(0, it->lastMs + wait - nowMs);
}

void FailureThrottle::failed(const QByteArray &address, const QByteArray &secret, qint64 nowMs) {
    if (!records_.contains(address) && records_.size() >= kKeptAddresses) {
        for (auto it = records_.begin(); it != records_.end();) {
            it = nowMs - it->lastMs > kFailureMemoryMs ? records_.erase(it) : std::next(it);
        }
    }
    Record &record = records_[address];
    if (record.count > 0 && nowMs - record.lastMs > kFailureMemoryMs) {
        record = Record();
    }
    if (record.recent.contains(secret)) {
        return;
    }
    record.recent.append(secret);
    if (record.recent.size() > kRecentSecrets) {
        record.recent.removeFirst();
    }
    ++record.count;
    record.lastMs = nowMs;
}

void FailureThrottle::succeeded(const QByteArray &address) {
    records_.remove(address);
}

} // namespace webview
