// The prices of a console type on their own: the blocks across block, tolerance and period edges,
// midnight, the end of the week and a clock change; the plain terms against what a station
// charges today; the check of the terms.
#include "TestSupport.h"
#include "pricing/Pricing.h"
#include "pricing/TermsCheck.h"
#include "stations/StationModel.h"

#include <QTimeZone>
#include <QtTest>

namespace {

using pricing::Period;
using pricing::Terms;

// 2026-12-07 is a Monday.
QDateTime at(int day, int hour, int minute, int second = 0) {
    return QDateTime(QDate(2026, 12, 7 + day), QTime(hour, minute, second));
}

Terms room() {
    Terms t;
    t.minutes = 60;
    t.cents = 1000;
    t.controllerCents = 100;
    t.periods = {{QStringLiteral("Tarde L-V"), pricing::kMondayToFriday, 14 * 60, 17 * 60, 800},
                 {QStringLiteral("Trasnoche"), pricing::dayBit(Qt::Sunday), 22 * 60, 2 * 60, 1500},
                 {QStringLiteral("Viernes noche"), pricing::dayBit(Qt::Friday), 23 * 60, 1 * 60, 1200},
                 {QStringLiteral("Madrugada"), pricing::kEveryDay, 3 * 60, 5 * 60, 500}};
    return t;
}

} // namespace

class PricingTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void pricesAcrossEveryEdge() {
        const QTimeZone madrid("Europe/Madrid");
        QVERIFY(madrid.isValid());
        struct Row {
            const char *what;
            QDateTime opened;
            qint64 elapsed; // Contador: seconds run
            int prepaid;    // > 0: a prepaid sale of that many blocks instead
            int tolerance, minimum, controllers;
            const char *text;
            qint64 cents;
        };
        const Row rows[] = {
            {"first block at second 0", at(0, 10, 0), 0, 0, 0, 1, 1, "Bloques: 1 a 10,00 (base)", 1000},
            {"59:59", at(0, 10, 0), 3599, 0, 0, 1, 1, "Bloques: 1 a 10,00 (base)", 1000},
            {"60:00", at(0, 10, 0), 3600, 0, 0, 1, 1, "Bloques: 2 a 10,00 (base)", 2000},
            {"69:59 with 10 of tolerance", at(0, 10, 0), 4199, 0, 10, 1, 1,
             "Bloques: 1 a 10,00 (base); tolerancia 10 min", 1000},
            {"70:00 with 10 of tolerance", at(0, 10, 0), 4200, 0, 10, 1, 1,
             "Bloques: 2 a 10,00 (base); tolerancia 10 min", 2000},
            {"block starting 1 s before a period", at(0, 12, 59, 59), 3600, 0, 0, 1, 1, "Bloques: 2 a 10,00 (base)",
             2000},
            {"block starting as a period starts", at(0, 13, 0), 3600, 0, 0, 1, 1,
             "Bloques: 1 a 10,00 (base), 1 a 8,00 (Tarde L-V)", 1800},
            {"block starting 1 s before a period ends", at(0, 15, 59, 59), 3600, 0, 0, 1, 1,
             "Bloques: 2 a 8,00 (Tarde L-V)", 1600},
            {"block starting as a period ends", at(0, 16, 0), 3600, 0, 0, 1, 1,
             "Bloques: 1 a 8,00 (Tarde L-V), 1 a 10,00 (base)", 1800},
            {"a weekday outside the period", at(5, 14, 0), 0, 0, 0, 1, 1, "Bloques: 1 a 10,00 (base)", 1000},
            {"past midnight the period of the day it began", at(4, 22, 30), 3 * 3600, 0, 0, 1, 1,
             "Bloques: 2 a 10,00 (base), 2 a 12,00 (Viernes noche)", 4400},
            {"Sunday night into Monday", at(6, 23, 30), 3 * 3600, 0, 0, 1, 1,
             "Bloques: 3 a 15,00 (Trasnoche), 1 a 10,00 (base)", 5500},
            {"back to a price seen before", at(0, 13, 0), 4 * 3600, 0, 0, 1, 1,
             "Bloques: 2 a 10,00 (base), 3 a 8,00 (Tarde L-V)", 4400},
            {"minimum at the opening's price", at(0, 13, 30), 0, 0, 0, 3, 1, "Bloques: 3 a 10,00 (base); mínimo 3",
             3000},
            {"minimum, then each block at its start", at(0, 13, 30), 3 * 3600, 0, 0, 3, 1,
             "Bloques: 3 a 10,00 (base), 1 a 8,00 (Tarde L-V)", 3800},
            {"two controllers", at(0, 13, 0), 3600, 0, 0, 1, 2,
             "Bloques: 1 a 10,00 (base), 1 a 8,00 (Tarde L-V); 2 mandos (+1,00 por bloque)", 2000},
            {"controllers beyond four count as four", at(0, 10, 0), 0, 0, 0, 1, 9,
             "Bloques: 1 a 10,00 (base); 4 mandos (+3,00 por bloque)", 1300},
            // 02:00 becomes 03:00: the third block starts an hour of real time after 01:30.
            {"a clock change", QDateTime(QDate(2026, 3, 29), QTime(0, 30), madrid), 2 * 3600, 0, 0, 1, 1,
             "Bloques: 2 a 10,00 (base), 1 a 5,00 (Madrugada)", 2500},
            {"prepaid: all at the sale's price", at(0, 13, 59, 59), 0, 3, 0, 1, 1, "Bloques: 3 a 10,00 (base)", 3000},
            {"prepaid in a period, two controllers", at(0, 14, 0), 0, 2, 0, 1, 2,
             "Bloques: 2 a 8,00 (Tarde L-V); 2 mandos (+1,00 por bloque)", 1800},
            {"prepaid below the minimum", at(0, 10, 0), 0, 1, 0, 3, 1, "Bloques: 3 a 10,00 (base); mínimo 3", 3000},
        };
        for (const Row &row : rows) {
            Terms terms = room();
            terms.toleranceMinutes = row.tolerance;
            terms.minimumBlocks = row.minimum;
            const pricing::Price price = row.prepaid > 0
                                             ? pricing::prepagoPrice(terms, row.opened, row.prepaid, row.controllers)
                                             : pricing::contadorPrice(terms, row.opened, row.elapsed, row.controllers);
            QVERIFY2(pricing::checkTerms(terms).isEmpty(), row.what);
            QVERIFY2(pricing::breakdownText(terms, price) == QString::fromUtf8(row.text),
                     qPrintable(QStringLiteral("%1: %2").arg(row.what, pricing::breakdownText(terms, price))));
            QVERIFY2(price.cents == row.cents, qPrintable(QStringLiteral("%1: %2").arg(row.what).arg(price.cents)));
        }
    }

    // One type from Tarifa alone charges, second by second, what the station board charges.
    void plainTermsChargeWhatAStationCharges() {
        const QList<QPair<int, qint64>> rates = {{1, 1}, {7, 0}, {15, 250}, {60, 1000}, {45, 99995}, {1365, 12345}};
        for (const auto &[minutes, cents] : rates) {
            Terms terms;
            terms.minutes = minutes;
            terms.cents = cents;
            stations::Station s;
            stations::openStation(s, {static_cast<qint16>(minutes), cents}, 0, QStringLiteral("2026-12-07T13:00:00Z"));
            const QDateTime opened = at(0, 13, 59, 30);
            const qint64 until = std::max<qint64>(3 * 3600, 3 * minutes * 60 + 61);
            for (qint64 second = 0; second <= until; ++second) {
                stations::catchUp(s, second * 1000);
                const pricing::Price price = pricing::contadorPrice(terms, opened, second, 1);
                if (price.cents != s.cents || price.blocks != s.blocksCharged) {
                    QFAIL(qPrintable(QStringLiteral("%1 min at %2: second %3 charges %4, the station %5")
                                         .arg(minutes)
                                         .arg(cents)
                                         .arg(second)
                                         .arg(price.cents)
                                         .arg(s.cents)));
                }
            }
        }
    }

    void checkNamesWhatIsWrong() {
        // Messages follow the locale, as every message box does (the breakdown above does not).
        const QLocale before;
        QLocale::setDefault(QLocale(QLocale::Spanish, QLocale::Argentina));
        const auto restore = qScopeGuard([&] { QLocale::setDefault(before); });
        struct Row {
            const char *what;
            void (*change)(Terms &);
            const char *problem; // empty: accepted
        };
        const Row rows[] = {
            {"the room", [](Terms &) {}, ""},
            {"0 minutes", [](Terms &t) { t.minutes = 0; },
             "Los minutos por bloque deben ser un número entero de 1 a 1365."},
            {"1366 minutes", [](Terms &t) { t.minutes = 1366; },
             "Los minutos por bloque deben ser un número entero de 1 a 1365."},
            {"a price too high", [](Terms &t) { t.cents = pricing::kMaxCents; },
             "El precio por bloque debe ser de 0 a 999999999,99 pesos."},
            {"a negative period price", [](Terms &t) { t.periods[0].cents = -1; },
             "El período «Tarde L-V»: su precio por bloque debe ser de 0 a 999999999,99 pesos."},
            {"a negative surcharge", [](Terms &t) { t.controllerCents = -1; },
             "El recargo por mando adicional debe ser de 0 a 999999999,99 pesos."},
            {"tolerance of a whole block", [](Terms &t) { t.toleranceMinutes = 60; },
             "La tolerancia debe ser de 0 a 59 minutos: menos que un bloque de 60 minutos."},
            {"tolerance just below the block", [](Terms &t) { t.toleranceMinutes = 59; }, ""},
            {"minimum 0", [](Terms &t) { t.minimumBlocks = 0; }, "El mínimo de bloques debe ser de 1 a 24."},
            {"minimum 25", [](Terms &t) { t.minimumBlocks = 25; }, "El mínimo de bloques debe ser de 1 a 24."},
            {"no days", [](Terms &t) { t.periods[1].days = 0; },
             "El período «Trasnoche» no tiene días de la semana válidos."},
            {"a time past the day", [](Terms &t) { t.periods[0].endMinute = 24 * 60; },
             "El período «Tarde L-V» tiene una hora fuera del día: deben ser de 00:00 a 23:59."},
            {"ends as it starts", [](Terms &t) { t.periods[0].endMinute = 14 * 60; },
             "El período «Tarde L-V» empieza y termina a las 14:00. Un período que pasa la medianoche termina a una "
             "hora anterior a la de su comienzo."},
            {"adjacent periods",
             [](Terms &t) {
                 t.periods.push_back({{}, pricing::kEveryDay, 17 * 60, 20 * 60, 900});
             },
             ""},
            {"overlap on one day",
             [](Terms &t) {
                 t.periods.push_back({{}, pricing::dayBit(Qt::Wednesday), 16 * 60, 18 * 60, 900});
             },
             "El período «Tarde L-V» y el período 5 se superponen: los dos rigen el miércoles a las 16:00."},
            {"overlap past midnight",
             [](Terms &t) {
                 t.periods.push_back({QStringLiteral("Sábado"), pricing::dayBit(Qt::Saturday), 0, 60, 900});
             },
             "El período «Viernes noche» y el período «Sábado» se superponen: los dos rigen el sábado a las 00:00."},
            {"overlap past the week's end",
             [](Terms &t) {
                 t.periods.push_back({{}, pricing::dayBit(Qt::Monday), 60, 2 * 60, 900});
             },
             "El período «Trasnoche» y el período 5 se superponen: los dos rigen el lunes a las 01:00."},
        };
        for (const Row &row : rows) {
            Terms terms = room();
            row.change(terms);
            QVERIFY2(pricing::checkTerms(terms) == QString::fromUtf8(row.problem),
                     qPrintable(QStringLiteral("%1: %2").arg(row.what, pricing::checkTerms(terms))));
        }
    }
};

QTEST_GUILESS_MAIN(PricingTest)
#include "tst_pricing.moc"
