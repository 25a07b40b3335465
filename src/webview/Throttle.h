#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>

// What one address of the shop's network may ask of the view. Times are the caller's monotonic
// milliseconds, so tests step them by hand.
namespace webview {

// A token bucket per address: `perSecond` requests a second on average, `burst` at once.
class RateLimiter final {
public:
    RateLimiter(double perSecond = 20, double burst = 40);
    // 0 when the request may go; otherwise the whole seconds to wait (Retry-After).
    int take(const QByteArray &address, qint64 nowMs);

private:
    struct Bucket {
        double tokens = 0;
        qint64 lastMs = 0;
    };
    void forgetIdle(qint64 nowMs);
    double perSecond_;
    double burst_;
    QHash<QByteArray, Bucket> buckets_;
};

// Wrong tokens and pairing codes from one address, throttled as a password is: five are free,
// then the wait after each doubles from 2 s up to 30 s. The same wrong secret sent again (a
// revoked phone still polling) is no new guess and counts once.
class FailureThrottle final {
public:
    static constexpr int kFreeFailures = 5;
    static constexpr qint64 kFirstWaitMs = 2000;
    static constexpr qint64 kLongestWaitMs = 30000;

    // The milliseconds still to wait before this address's next secret is checked; 0: now.
    qint64 waitMs(const QByteArray &address, qint64 nowMs) const;
    // secret: a hash of what was tried.
    void failed(const QByteArray &address, const QByteArray &secret, qint64 nowMs);
    void succeeded(const QByteArray &address);

private:
    struct Record {
        int count = 0;
        qint64 lastMs = 0;
        QList<QByteArray> recent; // the last wrong secrets, newest last
    };
    QHash<QByteArray, Record> records_;
};

} // namespace webview
