#pragma once

#include <QDate>
#include <QTime>

namespace ui {

// The system clock, injectable so tests never wait on real time.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDate today() const = 0;
    virtual QTime timeOfDay() const = 0;
};

class SystemClock final : public Clock {
public:
    QDate today() const override { return QDate::currentDate(); }
    QTime timeOfDay() const override { return QTime::currentTime(); }
};

} // namespace ui
