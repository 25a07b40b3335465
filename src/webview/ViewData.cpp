#include "webview/ViewData.h"

#include "cash_close/CashCloseRun.h"
#include "cash_close/Report.h"
#include "cash_close/StationLabels.h"
#include "data/Database.h"
#include "data/NumberText.h"
#include "data/Statements.h"
#include "room/Room.h"
#include "stations/StationMath.h"
#include "stations/StationModel.h"

#include <QHash>
#include <QJsonArray>
#include <QSet>
#include <algorithm>
#include <cmath>
#include <map>

namespace webview {

namespace {

QString localText(const QDateTime &when) {
    return when.isValid() ? when.toLocalTime().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")) : QString();
}

QJsonValue localValue(const QDateTime &when) {
    return when.isValid() ? QJsonValue(localText(when)) : QJsonValue();
}

QJsonObject money(qint64 cents) {
    return {{QStringLiteral("importe"), cents}, {QStringLiteral("texto"), numtext::amountText(cents)}};
}

QJsonValue moneyOrNull(const std::optional<qint64> &cents) {
    return cents ? QJsonValue(money(*cents)) : QJsonValue();
}

// Adds the amount's two keys to an object that has others.
void putMoney(QJsonObject &into, qint64 cents) {
    into.insert(QStringLiteral("importe"), cents);
    into.insert(QStringLiteral("texto"), numtext::amountText(cents));
}

// "1:05:09": hours without padding, however many.
QString clockText(qint64 seconds) {
    seconds = std::max<qint64>(0, seconds);
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600)
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

// Tarifa's first row as the board reads it; a missing or unusable one leaves the first type
// without a price, which only names its terms (each open rental keeps its own rate).
stations::Rate readTarifa(data::Database &db) {
    stations::Rate rate;
    db.forEachRow(statements::tarifaSelect(), [&rate](const QVector<QVariant> &v) {
        bool minutesOk = false;
        bool pesosOk = false;
        const qlonglong minutes = v.value(0).toLongLong(&minutesOk);
        const double pesos = v.value(1).toDouble(&pesosOk);
        if (minutesOk && minutes >= 0 && minutes <= stations::kMaxRateMinutes && pesosOk && std::isfinite(pesos) &&
            pesos >= 0.0 && pesos < stations::kMaxRatePesos) {
            rate.Minutos = static_cast<qint16>(minutes);
            rate.cents = stations::centsOf(pesos);
        }
        return false;
    });
    return rate;
}

// Runs body inside one read transaction of db: everything it reads is the same snapshot.
template <class Body> QJsonObject inOneRead(data::Database &db, Body body) {
    db.beginRead();
    try {
        QJsonObject out = body();
        db.rollback();
        return out;
    } catch (...) {
        if (db.inTransaction()) {
            db.rollback();
        }
        throw;
    }
}

QJsonObject idleStation(int number, const QString &name, const QString &type) {
    return {{QStringLiteral("numero"), number},
            {QStringLiteral("nombre"), name},
            {QStringLiteral("tipo"), type},
            {QStringLiteral("abierto"), false},
            {QStringLiteral("modo"), QString()},
            {QStringLiteral("operador"), QString()},
            {QStringLiteral("apertura"), QJsonValue()},
            {QStringLiteral("tiempo"), clockText(0)},
            {QStringLiteral("segundos"), 0},
            {QStringLiteral("restante"), false},
            {QStringLiteral("corridos"), 0},
            {QStringLiteral("importe"), 0},
            {QStringLiteral("texto"), numtext::amountText(qint64(0))},
            {QStringLiteral("descuento"), money(0)},
            {QStringLiteral("pausado"), false},
            {QStringLiteral("terminado"), false},
            {QStringLiteral("bloques"), 0},
            {QStringLiteral("mandos"), 0}};
}

// An open station as a restart at `now` brings it back: the boxes' time, the amount it would
// be charged if closed now, paused or not.
QJsonObject openStation(QJsonObject station, const stations::OpenRow &row, const stations::Restored &back) {
    const stations::Station &s = back.station;
    const bool contador = s.mode == stations::StationMode::Contador;
    const qint64 shown = s.hours * 3600 + s.minutes * 60 + s.seconds;
    station.insert(QStringLiteral("abierto"), true);
    station.insert(QStringLiteral("modo"), contador ? QStringLiteral("Contador") : QStringLiteral("Prepago"));
    station.insert(QStringLiteral("operador"), row.usuario);
    station.insert(QStringLiteral("apertura"), localValue(row.openedUtc));
    station.insert(QStringLiteral("tiempo"), clockText(shown));
    station.insert(QStringLiteral("segundos"), std::max<qint64>(0, shown));
    station.insert(QStringLiteral("restante"), !contador);
    station.insert(QStringLiteral("corridos"), s.secondsDone);
    putMoney(station, contador ? s.cents - s.discountCents : s.cents);
    station.insert(QStringLiteral("descuento"), money(contador ? s.discountCents : 0));
    station.insert(QStringLiteral("pausado"), s.paused());
    station.insert(QStringLiteral("terminado"), back.ended);
    station.insert(QStringLiteral("bloques"), contador ? int(s.blocksCharged) : s.blocks);
    station.insert(QStringLiteral("mandos"), s.controllers);
    return station;
}

QJsonObject shiftObject(const shifts::ShiftRecord &shift) {
    return {{QStringLiteral("numero"), shift.numero},
            {QStringLiteral("operador"), shift.usuario},
            {QStringLiteral("apertura"), localValue(shift.apertura)},
            {QStringLiteral("cierre"), localValue(shift.cierre)},
            {QStringLiteral("estado"), shift.estado},
            {QStringLiteral("fondo"), money(shift.totals.floatCents)},
            {QStringLiteral("ventas"), money(shift.totals.salesCents)},
            {QStringLiteral("ingresos"), money(shift.totals.ingresosCents)},
            {QStringLiteral("retiros"), money(shift.totals.retirosCents)},
            {QStringLiteral("gastos"), money(shift.totals.gastosCents)},
            {QStringLiteral("esperado"), money(shift.expectedCents)},
            {QStringLiteral("contado"), moneyOrNull(shift.countedCents)},
            {QStringLiteral("diferencia"), moneyOrNull(shift.differenceCents)},
            {QStringLiteral("nota"), shift.nota}};
}

QJsonArray subtotals(const QVector<cash_close::Subtotal> &list, const QString &key) {
    QJsonArray out;
    for (const cash_close::Subtotal &sub : list) {
        QJsonObject o{{key, sub.key}, {QStringLiteral("alquileres"), sub.rentals}};
        putMoney(o, sub.cents);
        out.append(o);
    }
    return out;
}

} // namespace

QJsonObject roomNow(data::Database &db, const stations::ClockReading &now) {
    return inOneRead(db, [&] {
        const stations::Rate tarifa = readTarifa(db);
        room::Room room;
        try {
            room = room::readRoom(db, tarifa);
        } catch (const data::DbError &) {
            // The counter then runs the delivered room too; an unreadable file fails below.
            room = room::defaultRoom(tarifa);
        }
        // The first row of each station, as a restart takes it; a row a restart would set aside
        // is not a rental.
        std::map<int, stations::OpenRow> open;
        for (data::Recordset rows = db.openRecordset(statements::puestosAbiertosList()); !rows.isEof();
             rows.moveNext()) {
            const stations::RowCheck check = stations::checkOpenRow(rows);
            if (check.row && !open.count(check.row->puesto)) {
                open.emplace(check.row->puesto, *check.row);
            }
        }
        std::map<int, QJsonObject> byNumber;
        for (const room::StationEntry &entry : room.stations) {
            byNumber.emplace(entry.number, idleStation(entry.number, entry.name, entry.type));
        }
        qint64 openCount = 0;
        qint64 amount = 0;
        for (const auto &[number, row] : open) {
            if (!byNumber.count(number)) {
                // A rental on a station the room no longer has: the counter shows it as "Puesto N".
                byNumber.emplace(number,
                                 idleStation(number, cash_close::defaultStationName(number),
                                             row.consola.isEmpty() ? cash_close::defaultStationType() : row.consola));
            }
            const stations::Elapsed elapsed = stations::elapsedAtStart(row, now);
            if (!elapsed.problem.isEmpty()) {
                continue;
            }
            const stations::Restored back = stations::restoreStation(row, elapsed.ms, now.bootMs);
            QJsonObject &station = byNumber[number];
            station = openStation(station, row, back);
            ++openCount;
            amount += station.value(QStringLiteral("importe")).toInteger();
        }
        QJsonArray list;
        for (const auto &entry : byNumber) {
            list.append(entry.second);
        }
        QJsonObject out{{QStringLiteral("instante"), localText(now.wallUtc)},
                        {QStringLiteral("abiertos"), openCount},
                        {QStringLiteral("puestos"), list}};
        putMoney(out, amount);
        return out;
    });
}

QJsonObject today(data::Database &db, const QDateTime &nowLocal) {
    const QDateTime local = nowLocal.toLocalTime();
    const QTime to(local.time().hour(), local.time().minute(), local.time().second());
    const cash_close::Period period{local.date(), QTime(0, 0), local.date(), to};
    return inOneRead(db, [&] {
        const cash_close::StationLabels labels = cash_close::readStationLabels(db);
        const cash_close::Report report =
            cash_close::reportFromRentals(db, period, QString(), local, labels, /*withShifts=*/true);
        QJsonArray stationsList;
        for (qsizetype i = 0; i < report.byStation.size() && i < report.stations.size(); ++i) {
            const cash_close::Subtotal &sub = report.byStation.at(i);
            QJsonObject o{{QStringLiteral("numero"), report.stations.at(i)},
                          {QStringLiteral("nombre"), sub.key},
                          {QStringLiteral("alquileres"), sub.rentals}};
            putMoney(o, sub.cents);
            stationsList.append(o);
        }
        QJsonArray shiftList;
        for (const shifts::ShiftRecord &shift : report.shifts) {
            shiftList.append(shiftObject(shift));
        }
        QJsonArray differences;
        for (const cash_close::ShiftDifference &d : report.differences) {
            QJsonObject o{{QStringLiteral("operador"), d.usuario}, {QStringLiteral("turnos"), d.shifts}};
            putMoney(o, d.cents);
            differences.append(o);
        }
        return QJsonObject{{QStringLiteral("desde"), localText(QDateTime(period.from, period.fromTime))},
                           {QStringLiteral("hasta"), localText(QDateTime(period.to, period.toTime))},
                           {QStringLiteral("total"), money(report.totalCents)},
                           {QStringLiteral("alquileres"), report.rentals},
                           {QStringLiteral("porPuesto"), stationsList},
                           {QStringLiteral("porOperador"), subtotals(report.byOperator, QStringLiteral("operador"))},
                           {QStringLiteral("porModo"), subtotals(report.byMode, QStringLiteral("modo"))},
                           {QStringLiteral("turnos"), shiftList},
                           {QStringLiteral("diferencias"), differences}};
    });
}

QJsonObject days(data::Database &db, const QDate &last, int count) {
    count = std::clamp(count, 1, 366);
    const QDate first = last.addDays(1 - count);
    const cash_close::Period period{first, QTime(0, 0), last, QTime(23, 59, 59)};
    return inOneRead(db, [&] {
        // One read of the whole span, summed by date: each day's figure is the cash close's for it.
        const cash_close::Report report = cash_close::reportFromRentals(db, period, QString(), QDateTime());
        QHash<QDate, qint64> byDay;
        for (const cash_close::ReportRow &row : report.rows) {
            byDay[row.fecha] += row.cents;
        }
        QJsonArray list;
        qint64 most = 0;
        for (QDate d = first; d <= last; d = d.addDays(1)) {
            const qint64 cents = byDay.value(d);
            most = std::max(most, cents);
            QJsonObject o{{QStringLiteral("fecha"), d.toString(Qt::ISODate)}};
            putMoney(o, cents);
            list.append(o);
        }
        return QJsonObject{{QStringLiteral("desde"), first.toString(Qt::ISODate)},
                           {QStringLiteral("hasta"), last.toString(Qt::ISODate)},
                           {QStringLiteral("dias"), list},
                           {QStringLiteral("total"), money(report.totalCents)},
                           {QStringLiteral("maximo"), money(most)}};
    });
}

QJsonObject journalState(const journal::Verification &verification, const QDateTime &checkedLocal) {
    QJsonArray differences;
    for (const journal::Difference &d : verification.differences) {
        differences.append(d.spanish());
    }
    return {{QStringLiteral("entradas"), verification.entries},
            {QStringLiteral("ultimoHash"), verification.lastHash},
            {QStringLiteral("verifica"), verification.ok && verification.booksAgree()},
            {QStringLiteral("cadena"), verification.ok},
            {QStringLiteral("primeraMala"), verification.ok ? 0 : verification.firstBad},
            {QStringLiteral("problema"), verification.problem},
            {QStringLiteral("librosRevisados"), verification.booksChecked},
            {QStringLiteral("diferencias"), differences},
            {QStringLiteral("masDiferencias"), verification.moreDifferences},
            {QStringLiteral("verificado"), localValue(checkedLocal)}};
}

} // namespace webview
