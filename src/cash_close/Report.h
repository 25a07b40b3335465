#pragma once

#include "cash_close/CashCloseRun.h"
#include "cash_close/StationLabels.h"
#include "shifts/Shift.h"

#include <QDateTime>
#include <QString>
#include <QVector>

// The cash-close report of a period: its rentals, totals and subtotals, in exact cents. One
// model feeds the window, the CSV, the PDF, the printer and the charts.
namespace cash_close {

// An amount of Importe in whole cents, rounded half away from zero.
qint64 toCents(double importe);
// Cents as the boxes show money: the locale's decimal separator, no grouping, at most two
// decimals, never an exponent (150 is "150", 6900.5 is "6900,5" under a comma locale).
QString moneyText(qint64 cents);
// Cents as a plain number with a point, for files read by other programs ("6900.50").
QString moneyPoint(qint64 cents);

struct ReportRow {
    int puesto = 0;
    QString modo;
    QString usuario;
    QDate fecha;
    QTime hora;
    QString tiempo; // as stored, "01:25:00"
    qint64 cents = 0;
};

struct Subtotal {
    QString key; // the operator, the station's name ("Puesto 3"), the console type, or the mode
    qint64 cents = 0;
    int rentals = 0; // rows that are rentals of their own: added blocks and refunds are not
};

// One of the counter's corrections as Operaciones keeps it.
struct Operation {
    QDate fecha;
    QTime hora;
    int puesto = 0;
    QString tipo;
    QString usuario;
    QString autorizo; // empty when nobody had to approve it
    qint64 minutos = 0;
    qint64 cents = 0;
    QString motivo;
};

// The operations of one kind in the period.
struct OperationTotal {
    QString tipo;
    int count = 0;
    qint64 minutes = 0;
    qint64 cents = 0;
};

// The differences of one operator's counted shifts, summed (over is positive, short negative).
struct ShiftDifference {
    QString usuario;
    int shifts = 0; // the counted shifts
    qint64 cents = 0;
};

struct Report {
    Period period;
    QString ranBy;                       // the operator who ran it
    QDateTime ranAt;                     // local
    QVector<ReportRow> rows;             // by date, then time
    int rentals = 0;                     // the rows that are rentals of their own
    qint64 totalCents = 0;               // every row, added blocks and refunds included
    qint64 operatorCents = 0;            // the rentals of ranBy, compared exactly
    QVector<Subtotal> byOperator;        // every operator of the period, in reading order
    StationLabels labels;                // what the stations are called, and their types
    QVector<int> stations;               // every station of the room and of the rows, ascending
    QVector<Subtotal> byStation;         // by name, one for each of stations, in its order
    QVector<Subtotal> byType;            // by console type, only when stations has more than one
    QVector<Subtotal> byMode;            // "Contador", "Prepago", then the other modes met
    QVector<Operation> operations;       // by date, then time
    QVector<OperationTotal> byOperation; // the kinds present: blocks, courtesy, discount, cancellation
    // The shifts open at any moment of the period, each whole (not cut at the period's edges),
    // oldest first; the differences of the counted ones by operator, in reading order.
    QVector<shifts::ShiftRecord> shifts;
    QVector<ShiftDifference> differences;
    // The journal's anchor: the journal as the run left it, its own entries included.
    qint64 journalEntries = 0; // 0: no journal
    QString journalLastHash;
    QString sealKey;     // the owner's key's fingerprint; empty when there is no key yet
    qint64 lastSeal = 0; // the last seal's entry; 0 when none
};

// A text at least as long as moneyText of every amount of the rows (the largest or the most
// negative, with both decimals): what a column of their amounts has to make room for.
QString longestMoneyText(const QVector<ReportRow> &rows);

// The anchor's lines as every output writes them: "Registro: 41 entradas, último hash <hash>"
// (empty without a journal) and "Sello del dueño: clave <fingerprint>, último sello en la
// entrada 41".
QString journalAnchorLine(const Report &report);
QString sealAnchorLine(const Report &report);

// An operation's kind as the window and the paper sum it up: "Bloques agregados: 2, 60 min, $ 20,00",
// "Cortesía: 1, 15 min", "Descuento: 1, $ 5,00".
QString operationTotalText(const OperationTotal &total);
// The operations as the command line and the CSV's companion write them, after their other
// lines: "Operaciones: 4", a line per kind ("Operaciones Cortesía: 1, 15 min, 0.00") and one per
// operation ("Operación 2026-12-05 10:00:00; Puesto 3; Cortesía; Usuario=Ana; Autorizó=Admin;
// Minutos=15; Importe=0.00; Motivo=...").
QStringList operationLines(const Report &report);

// The shifts as the command line and the CSV's companion write them: "Turnos: 2", a line per
// operator's differences ("Diferencia Ana: -5.00 (1)") and one per shift ("Turno 7; Usuario=Ana;
// Apertura=2026-12-05 08:00:00; Cierre=2026-12-05 16:00:00; Estado=Cerrado; Fondo=500.00;
// Ventas=120.00; Ingresos=0.00; Retiros=50.00; Gastos=10.00; Esperado=560.00; Contado=555.00;
// Diferencia=-5.00; Nota=..."), an open or uncounted one with Cierre, Contado and Diferencia empty
// where it has none.
QStringList shiftLines(const Report &report);

// The room as the CSV's companion writes it, for a reader of the CSV's station numbers: nothing
// when every station of the report is named and typed as delivered; else a line per station
// ("Puesto 7; Nombre=PS5 Sala; Consola=PS5; Importe=12.00; Alquileres=1") and, with more than one
// type, one per type ("Consola PS5: 12.00 (1)").
QStringList roomLines(const Report &report);

// The totals and subtotals of the rows, and the operations summed by kind; both are taken as
// they come (already in order). Stations are named and typed by labels.
Report buildReport(QVector<ReportRow> rows, const Period &period, const QString &ranBy, const QDateTime &ranAt,
                   QVector<Operation> operations = {}, const StationLabels &labels = StationLabels::defaults(),
                   QVector<shifts::ShiftRecord> shifts = {});

// Whether a rental recorded at fecha/hora lies in the period: every day from the start date to
// the end date, the start day from the start time and the end day up to the end time, both
// limits included.
bool inPeriod(const Period &period, const QDate &fecha, const QTime &hora);

} // namespace cash_close
