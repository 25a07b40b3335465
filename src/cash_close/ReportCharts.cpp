#include "cash_close/ReportCharts.h"

namespace cash_close {

HourStationGrid takingsByHourAndStation(const Report &report) {
    HourStationGrid grid{};
    for (const ReportRow &row : report.rows) {
        const int hour = row.hora.isValid() ? row.hora.hour() : -1;
        if (hour >= 0 && hour < kHours && row.puesto >= 1 && row.puesto <= kStations) {
            grid[hour][row.puesto - 1] += row.cents;
        }
    }
    return grid;
}

QVector<Subtotal> takingsByOperator(const Report &report) {
    return report.byOperator;
}

QVector<DayTakings> takingsByDay(const Report &report) {
    const QDate from = report.period.from;
    const QDate to = report.period.to;
    QVector<DayTakings> days;
    if (!from.isValid() || !to.isValid() || to < from) {
        return days;
    }
    days.reserve(from.daysTo(to) + 1);
    for (QDate day = from; day <= to; day = day.addDays(1)) {
        days.append({day, 0});
    }
    for (const ReportRow &row : report.rows) {
        if (row.fecha >= from && row.fecha <= to) {
            days[from.daysTo(row.fecha)].cents += row.cents;
        }
    }
    return days;
}

} // namespace cash_close
