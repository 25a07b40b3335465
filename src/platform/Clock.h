#pragma once

#include <QDateTime>

namespace sys {

// The system clock, injectable so tests never wait on real time. Two clocks: the wall clock,
// whose date and time go into records, and a monotonic one that also counts suspend, by which
// a running station measures its time, so that a change of the wall clock never changes it.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime wallTime() const = 0; // local
    virtual qint64 monotonicMs() const = 0; // CLOCK_BOOTTIME
    // Names the boot the monotonic clock counts from: two readings compare only within one boot.
    virtual QString bootId() const = 0;

    QDate today() const { return wallTime().date(); }
    QTime timeOfDay() const { return wallTime().time(); }
};

class SystemClock final : public Clock {
public:
    QDateTime wallTime() const override { return QDateTime::currentDateTime(); }
    qint64 monotonicMs() const override;
    QString bootId() const override; // /proc/sys/kernel/random/boot_id
};

} // namespace sys
