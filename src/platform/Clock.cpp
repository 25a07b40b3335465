#include "platform/Clock.h"

#include <QFile>
#include <ctime>

namespace sys {

qint64 SystemClock::monotonicMs() const {
    timespec ts{};
    clock_gettime(CLOCK_BOOTTIME, &ts);
    return static_cast<qint64>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

QString SystemClock::bootId() const {
    // The same for the whole boot: read once.
    static const QString id = [] {
        QFile file(QStringLiteral("/proc/sys/kernel/random/boot_id"));
        return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll().trimmed()) : QString();
    }();
    return id;
}

} // namespace sys
