#include "stations/StationMath.h"
#include "stations/StationTypes.h"

#include <cmath>
#include <initializer_list>

namespace stations {

qint64 centsOf(double pesos) {
    return static_cast<qint64>(std::llround(pesos * 100.0));
}

double pesosOf(qint64 cents) {
    return static_cast<double>(cents) / 100.0;
}

PrepaidTime prepaidSplit(qint16 minutos, int blocks) {
    const int rate = minutos;
    const int total = rate * blocks;
    // The carry takes 60 minutes into an hour while more than one block remains: that is
    // ceil((total - rate) / 60) carries, none when total <= rate.
    const int carries = total > rate ? (total - rate + 59) / 60 : 0;
    const int left = total - 60 * carries;
    if (left >= 0) {
        return {carries, left};
    }
    return {total / 60, total % 60};
}

namespace {

TickStep writes(std::initializer_list<BoxWrite> list) {
    TickStep step;
    for (const BoxWrite &w : list) {
        step.writes[static_cast<size_t>(step.count++)] = w;
    }
    return step;
}

} // namespace

TickStep countUpStep(double hours, double minutes, double seconds) {
    if (minutes == 59 && seconds == 59) {
        return writes({{TimeBox::Hora, hours + 1}, {TimeBox::Minuto, 0}, {TimeBox::Segundo, 0}});
    }
    if (seconds == 59) {
        return writes({{TimeBox::Minuto, minutes + 1}, {TimeBox::Segundo, 0}});
    }
    return writes({{TimeBox::Segundo, seconds + 1}});
}

TickStep countDownStep(double hours, double minutes, double seconds) {
    if (seconds == 0 && minutes == 0 && hours != 0) {
        return writes({{TimeBox::Hora, hours - 1}, {TimeBox::Minuto, 59}, {TimeBox::Segundo, 59}});
    }
    if (seconds == 0 && minutes != 0) {
        return writes({{TimeBox::Minuto, minutes - 1}, {TimeBox::Segundo, 59}});
    }
    if (seconds != 0) {
        return writes({{TimeBox::Segundo, seconds - 1}});
    }
    TickStep end;
    end.ended = true;
    return end;
}

BlockCount countMinute(qint16 blockMinutes, qint16 minutos) {
    if (minutos <= 0) {
        return {blockMinutes, false};
    }
    const int counted = blockMinutes + 1;
    // The count restarts at the opening and at each charge, so it meets the rate exactly;
    // ">=" only keeps it inside 16 bits whatever happened before.
    if (counted >= minutos) {
        return {0, true};
    }
    return {static_cast<qint16>(counted), false};
}

QString clockText(qint64 hours, qint64 minutes, int seconds) {
    return QStringLiteral("%1:%2:%3")
        .arg(hours)
        .arg(minutes, 2, 10, QLatin1Char('0'))
        .arg(seconds, 2, 10, QLatin1Char('0'));
}

RecordedTime recordedTime(double hours, double minutes) {
    const auto total = static_cast<qint64>(std::llround(hours)) * 60 + static_cast<qint64>(std::llround(minutes));
    return {QString::number(total / 60), QString::number(total % 60)};
}

std::vector<StationSetup> defaultRoom() {
    std::vector<StationSetup> room;
    for (int n = 1; n <= kStations; ++n) {
        room.push_back({n, QStringLiteral("Puesto %1").arg(n), QStringLiteral("Consola"), 0, {}});
    }
    return room;
}

} // namespace stations
