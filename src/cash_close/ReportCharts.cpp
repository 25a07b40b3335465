#include "cash_close/ReportCharts.h"

#include <QHash>
#include <algorithm>

namespace cash_close {

HourStationGrid takingsByHourAndStation(const Report &report) {
    HourStationGrid grid;
    grid.stations = report.stations;
    QHash<int, qsizetype> at;
    for (qsizetype i = 0; i < grid.stations.size(); ++i) {
        at.insert(grid.stations[i], i);
        grid.names << report.labels.name(grid.stations[i]);
    }
    for (QVector<qint64> &hour : grid.cents) {
        hour.fill(0, grid.stations.size());
    }
    for (const ReportRow &row : report.rows) {
        const int hour = row.hora.isValid() ? row.hora.hour() : -1;
        const auto station = at.constFind(row.puesto);
        if (hour >= 0 && hour < kHours && station != at.constEnd()) {
            grid.cents[static_cast<size_t>(hour)][*station] += row.cents;
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

QVector<DifferenceSeries> differencesOverTime(const Report &report) {
    QVector<DifferenceSeries> series;
    QHash<QString, qsizetype> at;
    for (const ShiftDifference &d : report.differences) {
        at.insert(d.usuario, series.size());
        series.append({d.usuario, {}});
    }
    for (const shifts::ShiftRecord &s : report.shifts) {
        const auto found = at.constFind(s.usuario);
        if (s.differenceCents && s.cierre.isValid() && found != at.constEnd()) {
            series[*found].points.append({s.cierre, *s.differenceCents});
        }
    }
    for (DifferenceSeries &one : series) {
        std::stable_sort(one.points.begin(), one.points.end(),
                         [](const DifferencePoint &a, const DifferencePoint &b) { return a.at < b.at; });
    }
    series.removeIf([](const DifferenceSeries &one) { return one.points.isEmpty(); });
    return series;
}

} // namespace cash_close
