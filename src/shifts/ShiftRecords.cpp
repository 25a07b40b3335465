#include "shifts/ShiftRecords.h"

#include "data/Database.h"

#include <cmath>

namespace shifts {

namespace {

qint64 cents(const data::Database::RowView &row, int column) {
    return row.isNull(column) ? 0 : static_cast<qint64>(std::llround(row.real(column) * 100.0));
}

std::optional<qint64> optionalCents(const data::Database::RowView &row, int column) {
    return row.isNull(column) ? std::nullopt : std::optional<qint64>(cents(row, column));
}

QString text(const data::Database::RowView &row, int column) {
    return QString::fromUtf8(row.text(column));
}

const QString kColumns = QStringLiteral("SELECT Numero, Usuario, Apertura, Fondo, PrimeraFila, UltimaFila, Cierre, "
                                        "Estado, Ventas, Ingresos, Retiros, Gastos, Esperado, Contado, Diferencia, "
                                        "Nota FROM Turnos ");

QVector<ShiftRecord> read(data::Database &db, const QString &where) {
    QVector<ShiftRecord> out;
    db.forEachRawRow(kColumns + where, [&out](const data::Database::RowView &row) {
        ShiftRecord s;
        s.numero = row.integer(0);
        s.usuario = text(row, 1);
        s.apertura = QDateTime::fromString(text(row, 2), Qt::ISODate);
        s.totals.floatCents = cents(row, 3);
        s.firstRow = row.integer(4);
        if (!row.isNull(5))
            s.lastRow = row.integer(5);
        if (!row.isNull(6))
            s.cierre = QDateTime::fromString(text(row, 6), Qt::ISODate);
        s.estado = text(row, 7);
        s.totals.salesCents = cents(row, 8);
        s.totals.ingresosCents = cents(row, 9);
        s.totals.retirosCents = cents(row, 10);
        s.totals.gastosCents = cents(row, 11);
        s.expectedCents = cents(row, 12);
        s.countedCents = optionalCents(row, 13);
        s.differenceCents = optionalCents(row, 14);
        s.nota = row.isNull(15) ? QString() : text(row, 15);
        out << s;
        return true;
    });
    // An open shift's totals are not kept yet: they are as far as it has gone.
    for (ShiftRecord &s : out) {
        if (s.estado == kOpen) {
            s.totals = totalsOf(db, s);
            s.expectedCents = expectedCents(s.totals);
        }
    }
    return out;
}

} // namespace

QString shiftTimeText(const QDateTime &local) {
    return local.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
}

std::optional<ShiftRecord> openShift(data::Database &db) {
    const QVector<ShiftRecord> open = read(db, QStringLiteral("WHERE Estado = '") + kOpen + QLatin1Char('\''));
    return open.isEmpty() ? std::nullopt : std::optional<ShiftRecord>(open.first());
}

Totals totalsOf(data::Database &db, const ShiftRecord &shift) {
    Totals t;
    t.floatCents = shift.totals.floatCents;
    // Each row rounded to the cent as the cash close rounds it (the engine's round differs at
    // the half cent), then summed exactly.
    QString sales = QStringLiteral("SELECT Importe FROM Alquiler WHERE rowid > ") + QString::number(shift.firstRow);
    if (shift.lastRow)
        sales += QStringLiteral(" AND rowid <= ") + QString::number(*shift.lastRow);
    db.forEachRawRow(sales, [&t](const data::Database::RowView &row) {
        t.salesCents += cents(row, 0);
        return true;
    });
    db.forEachRawRow(QStringLiteral("SELECT Tipo, Importe FROM MovimientosCaja WHERE Turno = ") +
                         QString::number(shift.numero),
                     [&t](const data::Database::RowView &row) {
                         const qint64 amount = cents(row, 1);
                         switch (movementFromText(text(row, 0)).value_or(MovementKind::Ingreso)) {
                         case MovementKind::Retiro:
                             t.retirosCents += amount;
                             break;
                         case MovementKind::Gasto:
                             t.gastosCents += amount;
                             break;
                         case MovementKind::Ingreso:
                             t.ingresosCents += amount;
                             break;
                         }
                         return true;
                     });
    return t;
}

std::optional<ShiftRecord> shiftNumbered(data::Database &db, qint64 numero) {
    const QVector<ShiftRecord> found = read(db, QStringLiteral("WHERE Numero = ") + QString::number(numero));
    return found.isEmpty() ? std::nullopt : std::optional<ShiftRecord>(found.first());
}

QVector<ShiftRecord> readShifts(data::Database &db, const QDateTime &from, const QDateTime &to) {
    return read(db, QStringLiteral("WHERE Apertura >= '%1' AND Apertura <= '%2' ORDER BY Numero")
                        .arg(shiftTimeText(from), shiftTimeText(to)));
}

QVector<ShiftRecord> shiftsDuring(data::Database &db, const QDateTime &from, const QDateTime &to) {
    return read(db, QStringLiteral("WHERE Apertura <= '%2' AND (Cierre >= '%1' OR (Cierre IS NULL AND (Estado = '%3' "
                                   "OR Apertura >= '%1'))) ORDER BY Numero")
                        .arg(shiftTimeText(from), shiftTimeText(to), kOpen));
}

std::optional<qint64> lastDrawerCents(data::Database &db) {
    std::optional<qint64> out;
    db.forEachRawRow(QStringLiteral("SELECT Contado, Esperado FROM Turnos WHERE Estado <> '") + kOpen +
                         QStringLiteral("' ORDER BY Numero DESC LIMIT 1"),
                     [&out](const data::Database::RowView &row) {
                         out = row.isNull(0) ? cents(row, 1) : cents(row, 0);
                         return false;
                     });
    return out;
}

} // namespace shifts
