#pragma once

#include "cash_close/Report.h"

#include <QDate>
#include <QDateTime>
#include <QStringList>
#include <QVector>
#include <array>

// What the charts draw, taken from a report: amounts in cents, never rounded on the way.
namespace cash_close {

constexpr int kHours = 24;

// Takings by the hour of day a rental was recorded (0 to 23) and its station: grid[hour][i] is
// the i-th of stations, which are the report's (every station of the room and any other number a
// row carries, ascending). A row without a time counts nowhere.
struct HourStationGrid {
    QVector<int> stations;
    QStringList names; // the stations' names, in the same order
    std::array<QVector<qint64>, kHours> cents;

    const QVector<qint64> &operator[](int hour) const { return cents[static_cast<size_t>(hour)]; }
};
HourStationGrid takingsByHourAndStation(const Report &report);

// Every operator of the period with their takings, in reading order.
QVector<Subtotal> takingsByOperator(const Report &report);

struct DayTakings {
    QDate day;
    qint64 cents = 0;
};
// Every day of the period from its first to its last, days without rentals included as zero.
QVector<DayTakings> takingsByDay(const Report &report);

// A counted shift's difference (over positive, short negative) at its close.
struct DifferencePoint {
    QDateTime at;
    qint64 cents = 0;
};
struct DifferenceSeries {
    QString usuario;
    QVector<DifferencePoint> points; // by the time of the close
};
// One series per operator with counted shifts, in the order of the report's differences; a
// shift open, uncounted or without its close time is no point.
QVector<DifferenceSeries> differencesOverTime(const Report &report);

} // namespace cash_close
