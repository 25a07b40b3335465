// What the charts draw: each aggregation against a plain sum over the report's rows.
#include "cash_close/ReportCharts.h"

#include <QtTest>

using namespace cash_close;

class ReportChartsTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void sumsOfTheRows_data() {
        QTest::addColumn<QVector<ReportRow>>("rows");
        QTest::addColumn<Period>("period");
        const QDate d(2026, 2, 27);
        const auto row = [](int puesto, const char *usuario, QDate fecha, QTime hora, qint64 cents) {
            return ReportRow{puesto, QStringLiteral("Contador"), QString::fromUtf8(usuario), fecha, hora, {}, cents};
        };
        QTest::newRow("hour edges, every station")
            << QVector<ReportRow>{row(1, "Admin", d, QTime(0, 0), 1000), row(5, "Ana", d, QTime(23, 59, 59), 250),
                                  row(5, "Ana", d, QTime(23, 0), 5),     row(3, "admin", d, QTime(12, 59, 59), 75),
                                  row(2, "Admin", d, QTime(13, 0), 1),   row(4, "Ana", d, QTime(0, 59, 59), 9)}
            << Period{d, QTime(0, 0), d, QTime(23, 59, 59)};
        // Across the end of February, with days of nothing before, between and after.
        QTest::newRow("days without rentals")
            << QVector<ReportRow>{row(2, "Ana", d.addDays(1), QTime(8, 0), 150),
                                  row(2, "Ana", d.addDays(1), QTime(8, 30), 50),
                                  row(1, "Admin", d.addDays(3), QTime(23, 59, 59), 725)}
            << Period{d, QTime(8, 0), d.addDays(5), QTime(16, 0)};
        QTest::newRow("no rentals") << QVector<ReportRow>{} << Period{d, QTime(8, 0), d.addDays(2), QTime(16, 0)};
    }

    void sumsOfTheRows() {
        QFETCH(QVector<ReportRow>, rows);
        QFETCH(Period, period);
        const Report report = buildReport(rows, period, QStringLiteral("Admin"), {});
        const auto sum = [&rows](auto &&keep) {
            qint64 cents = 0;
            for (const ReportRow &r : rows) {
                cents += keep(r) ? r.cents : 0;
            }
            return cents;
        };

        const HourStationGrid grid = takingsByHourAndStation(report);
        for (int h = 0; h < 24; ++h) {
            for (int s = 1; s <= 5; ++s) {
                QCOMPARE(grid[h][s - 1], sum([&](const ReportRow &r) { return r.hora.hour() == h && r.puesto == s; }));
            }
        }

        const QVector<Subtotal> operators = takingsByOperator(report);
        QSet<QString> names;
        for (const ReportRow &r : rows) {
            names << r.usuario;
        }
        QCOMPARE(operators.size(), names.size());
        for (const Subtotal &op : operators) {
            QCOMPARE(op.cents, sum([&](const ReportRow &r) { return r.usuario == op.key; }));
        }

        const QVector<DayTakings> days = takingsByDay(report);
        QCOMPARE(days.size(), period.from.daysTo(period.to) + 1);
        for (qsizetype i = 0; i < days.size(); ++i) {
            QCOMPARE(days[i].day, period.from.addDays(i));
            QCOMPARE(days[i].cents, sum([&](const ReportRow &r) { return r.fecha == days[i].day; }));
        }
    }
};

QTEST_GUILESS_MAIN(ReportChartsTest)
#include "tst_report_charts.moc"
