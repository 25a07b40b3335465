#include "ui/Clock.h"

#include <ctime>

namespace ui {

qint64 SystemClock::monotonicMs() const {
    timespec ts{};
    clock_gettime(CLOCK_BOOTTIME, &ts);
    return static_cast<qint64>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

} // namespace ui
