#include "cash_close/CashCloseRun.h"

#include "cash_close/CashCloseInput.h"
#include "data/Journal.h"
#include "data/NumberText.h"
#include "data/Statements.h"

namespace cash_close {

namespace {

// A value the copy cannot do without; a rental without it stops the run rather than being
// copied or totalled wrong.
QVariant required(const data::Recordset &rows, const QString &column, const QDate &fecha) {
    const QVariant value = rows.field(column);
    if (value.isNull() || !value.isValid()) {
        throw data::DbError(
            QStringLiteral("Un alquiler del %1 no tiene %2; no se puede hacer el cierre de caja.")
                .arg(fecha.isValid() ? fecha.toString(QStringLiteral("yyyy-MM-dd")) : QStringLiteral("(sin fecha)"),
                     column));
    }
    return value;
}

} // namespace

CashCloseRun::CashCloseRun(data::Database &database, QString operatorName)
    : database_(database), operator_(std::move(operatorName)) {}

void CashCloseRun::setProgress(Progress progress, int chunkRows) {
    progress_ = std::move(progress);
    chunkRows_ = chunkRows > 0 ? chunkRows : 1;
}

void CashCloseRun::report(int done, int total) {
    if (progress_ && !progress_(done, total)) {
        throw RunCancelled();
    }
}

Totals CashCloseRun::run(const Period &period) {
    database_.beginTransaction();
    try {
        Totals totals = runInTransaction(period);
        database_.commit();
        return totals;
    } catch (...) {
        if (database_.inTransaction()) {
            try {
                database_.rollback();
            } catch (const data::DbError &) {
                // The first failure is the one worth reporting; closing the handle ends the transaction anyway.
            }
        }
        throw;
    }
}

Totals CashCloseRun::runInTransaction(const Period &period) {
    Totals totals;
    database_.execute(statements::cajaEmpty());

    data::Recordset rows = database_.openRecordset(statements::alquilerRange(period.from, period.to));
    const int total = rows.recordCount();
    report(0, total);
    while (!rows.isEof()) {
        const QDate fecha = rows.field(QStringLiteral("Fecha")).toDate();
        if (!fecha.isValid()) {
            throw data::DbError(QStringLiteral("Un alquiler tiene una fecha que no se puede leer; no se puede hacer "
                                               "el cierre de caja."));
        }
        const QTime hora = required(rows, QStringLiteral("Hora"), fecha).toTime();
        if (!hora.isValid()) {
            throw data::DbError(QStringLiteral("Un alquiler del %1 tiene una hora que no se puede leer.")
                                    .arg(fecha.toString(QStringLiteral("yyyy-MM-dd"))));
        }
        // Numbers with a decimal point and times as HH:mm:ss, whatever the locale.
        database_.execute(statements::cajaInsert(
            QString::number(required(rows, QStringLiteral("Puesto"), fecha).toLongLong()),
            rows.field(QStringLiteral("Modo")).toString(), rows.field(QStringLiteral("Usuario")).toString(), fecha,
            engineTime(hora), required(rows, QStringLiteral("Tiempo"), fecha).toString(),
            numtext::engineNumber(required(rows, QStringLiteral("Importe"), fecha).toDouble())));
        ++totals.copied;
        rows.moveNext();
        if (totals.copied % chunkRows_ == 0) {
            report(totals.copied, total);
        }
    }
    rows.close();

    database_.execute(statements::cajaTrimFirstDay(period.from, engineTime(period.fromTime)));
    database_.execute(statements::cajaTrimLastDay(period.to, engineTime(period.toTime)));

    data::Recordset sums = database_.openRecordset(statements::cajaTotals());
    while (!sums.isEof()) {
        const double importe = sums.field(QStringLiteral("Importe")).toDouble();
        totals.grand += importe;
        // Exact and case-sensitive: "admin" is another operator than "Admin".
        if (sums.field(QStringLiteral("Usuario")).toString() == operator_) {
            totals.operatorTotal += importe;
        }
        sums.moveNext();
    }
    sums.close();
    // The run and its journal entry commit together.
    journal::append(database_, instant_.isValid() ? instant_ : QDateTime::currentDateTime(), operator_,
                    journal::event::kCashClose, 0,
                    QStringLiteral("Desde=%1 %2; Hasta=%3 %4; Total=%5; Total de %6=%7")
                        .arg(period.from.toString(Qt::ISODate), engineTime(period.fromTime),
                             period.to.toString(Qt::ISODate), engineTime(period.toTime),
                             numtext::engineNumber(totals.grand), operator_,
                             numtext::engineNumber(totals.operatorTotal)));
    report(total, total);
    return totals;
}

} // namespace cash_close
