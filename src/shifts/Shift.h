#pragma once

#include <QDateTime>
#include <QString>
#include <QVector>
#include <optional>

// The shift: the unit of an operator's day at the counter. It opens at a sign-in with the cash in
// the drawer (the float), takes the sales recorded while it is open and the cash put in or taken
// out, and closes at the sign-out with a count of the drawer by notes and coins. Money in whole cents.
namespace shifts {

// Cash moved by hand during a shift (MovimientosCaja.Tipo): the owner takes money out, a
// paid-out with its reason, change put in.
enum class MovementKind { Retiro, Gasto, Ingreso };
QString movementText(MovementKind kind); // "Retiro", "Gasto", "Ingreso"
std::optional<MovementKind> movementFromText(const QString &text);

// What a shift's drawer should hold: the float, the sales, cash put in, less cash taken out.
struct Totals {
    qint64 floatCents = 0;
    qint64 salesCents = 0; // every amount recorded while the shift was open: rentals, blocks, refunds
    qint64 ingresosCents = 0;
    qint64 retirosCents = 0;
    qint64 gastosCents = 0;
};
qint64 expectedCents(const Totals &totals);

// The notes and coins of the shop's pesos, in cents, largest first, as the Salon key
// kDenominationsKey keeps them ("100000,50000,...,50"); the delivered list when none is kept.
inline const QString kDenominationsKey = QStringLiteral("Denominaciones");
QVector<qint64> defaultDenominations();
QString denominationsText(const QVector<qint64> &cents);
// nullopt for a list that is empty, not numbers, not positive or repeated.
std::optional<QVector<qint64>> denominationsFromText(const QString &text);

// One count: how many of each denomination.
struct CountLine {
    qint64 denominationCents = 0;
    qint64 pieces = 0;
};
using Count = QVector<CountLine>;
qint64 countTotal(const Count &count);
// Arqueos.Billetes: "100000x2;50000x0;50x4".
QString countText(const Count &count);
std::optional<Count> countFromText(const QString &text);

// Turnos.Estado.
inline const QString kOpen = QStringLiteral("Abierto");
inline const QString kClosed = QStringLiteral("Cerrado");
inline const QString kUncounted = QStringLiteral("Sin arqueo");

// A row of Turnos. The totals, expected, counted and difference are those kept at the close;
// for an open shift the totals are as far as it has gone and nothing is counted.
struct ShiftRecord {
    qint64 numero = 0;
    QString usuario;
    QDateTime apertura;            // local
    QDateTime cierre;              // invalid while open
    qint64 firstRow = 0;           // its sales: Alquiler's rows after firstRow...
    std::optional<qint64> lastRow; // ...up to lastRow, or to the last one while it is open
    QString estado;
    Totals totals;
    qint64 expectedCents = 0;
    std::optional<qint64> countedCents;    // none: open, or closed without a count
    std::optional<qint64> differenceCents; // counted - expected
    QString nota;
};

} // namespace shifts
