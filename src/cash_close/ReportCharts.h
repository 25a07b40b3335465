#pragma once

#include "cash_close/Report.h"

#include <QDate>
#include <QVector>
#include <array>

// What the charts draw, taken from a report: amounts in cents, never rounded on the way.
namespace cash_close {

constexpr int kHours = 24;
constexpr int kStations = 5;

// Takings by the hour of day a rental was recorded (0 to 23) and its station (1 to 5, at index
// puesto - 1); a row of another station or without a time counts nowhere.
using HourStationGrid = std::array<std::array<qint64, kStations>, kHours>;
HourStationGrid takingsByHourAndStation(const Report &report);

// Every operator of the period with their takings, in reading order.
QVector<Subtotal> takingsByOperator(const Report &report);

struct DayTakings {
    QDate day;
    qint64 cents = 0;
};
// Every day of the period from its first to its last, days without rentals included as zero.
QVector<DayTakings> takingsByDay(const Report &report);

} // namespace cash_close
