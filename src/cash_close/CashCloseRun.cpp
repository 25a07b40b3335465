#include "cash_close/CashCloseRun.h"

#include "cash_close/CashCloseInput.h"
#include "cash_close/Report.h"
#include "data/Journal.h"
#include "data/Statements.h"
#include "shifts/ShiftRecords.h"

#include <QHash>

namespace cash_close {

namespace {

// Digits at fixed places, as the file keeps dates ("2026-12-05") and times ("14:05:09"); -1
// when they are not there. A year's report reads a hundred thousand of each.
int digitsAt(const QString &text, qsizetype at, qsizetype count) {
    int value = 0;
    for (qsizetype i = at; i < at + count; ++i) {
        const char16_t c = i < text.size() ? text[i].unicode() : u'x';
        if (c < u'0' || c > u'9') {
            return -1;
        }
        value = value * 10 + (c - u'0');
    }
    return value;
}

// Repeated texts (modes, operators) share one copy instead of one each per row.
QString shared(QHash<QString, QString> &seen, const QString &text) {
    auto found = seen.constFind(text);
    return found != seen.constEnd() ? *found : *seen.insert(text, text);
}

QDate readDate(const QString &fecha) {
    return fecha.size() == 10 && fecha[4] == u'-' && fecha[7] == u'-'
               ? QDate(digitsAt(fecha, 0, 4), digitsAt(fecha, 5, 2), digitsAt(fecha, 8, 2))
               : QDate();
}

QTime readTime(const QString &hora) {
    return hora.size() == 8 && hora[2] == u':' && hora[5] == u':'
               ? QTime(digitsAt(hora, 0, 2), digitsAt(hora, 3, 2), digitsAt(hora, 6, 2))
               : QTime();
}

// A rental read back: Puesto, Modo, Usuario, Fecha, Hora, Tiempo, Importe. A value the report
// cannot do without stops it rather than being totalled wrong.
ReportRow rentalRow(const QVector<QVariant> &v, QHash<QString, QString> &seen) {
    ReportRow row;
    const QString fecha = v.value(3).toString();
    row.fecha = readDate(fecha);
    if (!row.fecha.isValid()) {
        throw data::DbError(QStringLiteral("Un alquiler tiene una fecha que no se puede leer («%1»); no se puede hacer "
                                           "el cierre de caja.")
                                .arg(fecha));
    }
    const auto need = [&](int column, const char *name) {
        if (v.value(column).isNull()) {
            throw data::DbError(QStringLiteral("Un alquiler del %1 no tiene %2; no se puede hacer el cierre de caja.")
                                    .arg(fecha, QLatin1String(name)));
        }
        return v.value(column);
    };
    row.puesto = need(0, "Puesto").toInt();
    row.modo = shared(seen, v.value(1).toString());
    row.usuario = shared(seen, v.value(2).toString());
    row.hora = readTime(need(4, "Hora").toString());
    if (!row.hora.isValid()) {
        throw data::DbError(QStringLiteral("Un alquiler del %1 tiene una hora que no se puede leer.").arg(fecha));
    }
    row.tiempo = need(5, "Tiempo").toString();
    row.cents = toCents(need(6, "Importe").toDouble());
    return row;
}

// The period's rows of Operaciones, in order; none in a file from before the table. Its columns
// are NOT NULL, so only a date or time written by hand can be unreadable, and it stops the report.
QVector<Operation> readOperations(data::Database &db, const Period &period) {
    QVector<Operation> operations;
    bool present = false;
    db.forEachRow(statements::operacionesPresent(), [&present](const QVector<QVariant> &v) {
        present = v.value(0).toInt() > 0;
        return false;
    });
    if (!present) {
        return operations;
    }
    QHash<QString, QString> seen;
    db.forEachRow(statements::operacionesPeriod(period.from, period.to), [&](const QVector<QVariant> &v) {
        Operation o;
        o.fecha = readDate(v.value(0).toString());
        o.hora = readTime(v.value(1).toString());
        if (!o.fecha.isValid() || !o.hora.isValid()) {
            throw data::DbError(
                QStringLiteral("Una operación tiene una fecha u hora que no se puede leer («%1 %2»); no "
                               "se puede hacer el cierre de caja.")
                    .arg(v.value(0).toString(), v.value(1).toString()));
        }
        if (inPeriod(period, o.fecha, o.hora)) {
            o.puesto = v.value(2).toInt();
            o.tipo = shared(seen, v.value(3).toString());
            o.usuario = shared(seen, v.value(4).toString());
            o.autorizo = shared(seen, v.value(5).toString());
            o.minutos = v.value(6).toLongLong();
            o.cents = toCents(v.value(7).toDouble());
            o.motivo = v.value(8).toString();
            operations.push_back(std::move(o));
        }
        return true;
    });
    return operations;
}

// The shifts open at any moment of the period; none in a file from before the table.
QVector<shifts::ShiftRecord> readShifts(data::Database &db, const Period &period) {
    bool present = false;
    db.forEachRawRow(QStringLiteral("SELECT COUNT(*) FROM sqlite_master WHERE type = 'table' AND name = 'Turnos'"),
                     [&present](const data::Database::RowView &row) {
                         present = row.integer(0) > 0;
                         return false;
                     });
    return present
               ? shifts::shiftsDuring(db, QDateTime(period.from, period.fromTime), QDateTime(period.to, period.toTime))
               : QVector<shifts::ShiftRecord>();
}

// The journal's anchor as it stands: its length, last hash, the owner's key and its last seal.
void readAnchor(data::Database &db, Report &report) {
    const journal::Summary last = journal::summary(db);
    report.journalEntries = last.entries;
    report.journalLastHash = last.lastHash;
    std::optional<seal::Stored> key;
    try {
        key = seal::stored(db);
    } catch (const data::DbError &) {
        // A file this version has not opened for writing yet has no key table.
    }
    report.sealKey = key ? seal::fingerprint(key->publicKey) : QString();
    report.lastSeal = 0;
    if (key) {
        db.forEachRow(statements::registroLastOf(journal::event::kSeal), [&report](const QVector<QVariant> &row) {
            report.lastSeal = row.value(0).toLongLong();
            return false;
        });
    }
}

} // namespace

CashCloseRun::CashCloseRun(data::Database &database, QString operatorName)
    : database_(database), operator_(std::move(operatorName)) {}

Report CashCloseRun::run(const Period &period) {
    Report report;
    data::runInTransaction(database_, [&] { report = runInTransaction(period); });
    return report;
}

Report CashCloseRun::runInTransaction(const Period &period) {
    const QDateTime when = instant_.isValid() ? instant_ : QDateTime::currentDateTime();
    database_.execute(statements::cajaEmpty());
    // One statement copies the period's rows with their own dates, as the rows are.
    database_.execute(statements::cajaCopy(period.from, period.to));
    database_.execute(statements::cajaTrimFirstDay(period.from, engineTime(period.fromTime)));
    database_.execute(statements::cajaTrimLastDay(period.to, engineTime(period.toTime)));
    QVector<ReportRow> rows;
    QHash<QString, QString> seen;
    database_.forEachRow(statements::cajaGrid(), [&](const QVector<QVariant> &v) {
        rows.push_back(rentalRow(v, seen));
        return true;
    });
    Report report = buildReport(std::move(rows), period, operator_, when, readOperations(database_, period), labels_,
                                readShifts(database_, period));
    // The run and its journal entry commit together.
    journal::append(database_, when, operator_, journal::event::kCashClose, 0,
                    QStringLiteral("Desde=%1 %2; Hasta=%3 %4; Alquileres=%5; Total=%6; Total de %7=%8")
                        .arg(period.from.toString(Qt::ISODate), engineTime(period.fromTime),
                             period.to.toString(Qt::ISODate), engineTime(period.toTime))
                        .arg(report.rentals)
                        .arg(moneyPoint(report.totalCents), operator_, moneyPoint(report.operatorCents)));
    if (!key_.isNull()) {
        const std::optional<seal::Stored> stored = seal::stored(database_);
        if (stored && stored->publicKey == key_.publicKey()) {
            seal::sealLast(database_, key_, when, operator_);
        }
    }
    readAnchor(database_, report);
    return report;
}

Report currentAnchor(data::Database &database) {
    Report report;
    database.beginRead();
    try {
        readAnchor(database, report);
    } catch (...) {
        database.rollback();
        throw;
    }
    database.rollback();
    return report;
}

Report reportFromRentals(data::Database &database, const Period &period, const QString &operatorName,
                         const QDateTime &ranAt, const StationLabels &labels, bool withShifts) {
    QVector<ReportRow> rows;
    QHash<QString, QString> seen;
    Report report;
    // A caller that reads more in the same snapshot holds the read itself.
    const bool ownRead = !database.inTransaction();
    if (ownRead) {
        database.beginRead();
    }
    try {
        database.forEachRow(statements::alquilerPeriod(period.from, period.to), [&](const QVector<QVariant> &v) {
            ReportRow row = rentalRow(v, seen);
            if (inPeriod(period, row.fecha, row.hora)) {
                rows.push_back(std::move(row));
            }
            return true;
        });
        report = buildReport(std::move(rows), period, operatorName, ranAt, readOperations(database, period), labels,
                             withShifts ? readShifts(database, period) : QVector<shifts::ShiftRecord>());
        try {
            readAnchor(database, report);
        } catch (const data::DbError &) {
            // A file of an earlier version has no journal, or no seal, to anchor.
        }
        if (ownRead) {
            database.rollback();
        }
    } catch (...) {
        if (ownRead && database.inTransaction()) {
            database.rollback();
        }
        throw;
    }
    return report;
}

} // namespace cash_close
