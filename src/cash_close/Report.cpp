#include "cash_close/Report.h"

#include "data/NumberText.h"
#include "data/RentalKinds.h"

#include <QCollator>
#include <QLocale>
#include <QMap>
#include <algorithm>
#include <cmath>

namespace cash_close {

qint64 toCents(double importe) {
    return static_cast<qint64>(std::llround(importe * 100.0));
}

namespace {

QString money(qint64 cents, QChar separator, bool trim) {
    const bool negative = cents < 0;
    const quint64 magnitude = negative ? 0 - static_cast<quint64>(cents) : static_cast<quint64>(cents);
    QString text = QString::number(magnitude / 100);
    const quint64 fraction = magnitude % 100;
    if (!trim || fraction != 0) {
        QString digits = QStringLiteral("%1").arg(fraction, 2, 10, QLatin1Char('0'));
        if (trim && digits.endsWith(QLatin1Char('0'))) {
            digits.chop(1);
        }
        text += separator + digits;
    }
    return negative ? QLatin1Char('-') + text : text;
}

} // namespace

QString moneyText(qint64 cents) {
    return money(cents, QLocale().decimalPoint().front(), true);
}

QString moneyPoint(qint64 cents) {
    return money(cents, QLatin1Char('.'), false);
}

QString longestMoneyText(const QVector<ReportRow> &rows) {
    qint64 high = 0;
    qint64 low = 0;
    for (const ReportRow &row : rows) {
        high = std::max(high, row.cents);
        low = std::min(low, row.cents);
    }
    const QChar separator = QLocale().decimalPoint().front();
    return std::max(money(high, separator, false), money(low, separator, false),
                    [](const QString &a, const QString &b) { return a.size() < b.size(); });
}

QString journalAnchorLine(const Report &report) {
    return report.journalEntries == 0 ? QString()
                                      : QStringLiteral("Registro: %1 entradas, último hash %2")
                                            .arg(report.journalEntries)
                                            .arg(report.journalLastHash);
}

QString sealAnchorLine(const Report &report) {
    if (report.sealKey.isEmpty()) {
        return QStringLiteral("Sello del dueño: todavía sin clave");
    }
    return report.lastSeal == 0 ? QStringLiteral("Sello del dueño: clave %1, todavía sin sellos").arg(report.sealKey)
                                : QStringLiteral("Sello del dueño: clave %1, último sello en la entrada %2")
                                      .arg(report.sealKey)
                                      .arg(report.lastSeal);
}

bool inPeriod(const Period &period, const QDate &fecha, const QTime &hora) {
    if (fecha < period.from || fecha > period.to) {
        return false;
    }
    if (fecha == period.from && hora < period.fromTime) {
        return false;
    }
    return !(fecha == period.to && hora > period.toTime);
}

namespace {

// A text on one line, whatever was typed into it.
QString oneLine(QString text) {
    for (QChar &c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f) {
            c = QLatin1Char(' ');
        }
    }
    return text;
}

} // namespace

QString operationTotalText(const OperationTotal &total) {
    QString text = QStringLiteral("%1: %2").arg(total.tipo).arg(total.count);
    // Courtesy is time given; a discount or a cancellation is money.
    if (total.tipo != kinds::kOpDescuento && total.tipo != kinds::kOpAnulacion) {
        text += QStringLiteral(", %1 min").arg(total.minutes);
    }
    if (total.tipo != kinds::kOpCortesia || total.cents != 0) {
        text += QStringLiteral(", $ ") + numtext::amountText(total.cents);
    }
    return text;
}

QStringList operationLines(const Report &report) {
    QStringList lines{QStringLiteral("Operaciones: %1").arg(report.operations.size())};
    for (const OperationTotal &t : report.byOperation) {
        lines << QStringLiteral("Operaciones %1: %2, %3 min, %4")
                     .arg(oneLine(t.tipo))
                     .arg(t.count)
                     .arg(t.minutes)
                     .arg(moneyPoint(t.cents));
    }
    for (const Operation &o : report.operations) {
        lines << QStringLiteral("Operación %1 %2; Puesto %3; %4; Usuario=%5; Autorizó=%6; Minutos=%7; Importe=%8; "
                                "Motivo=%9")
                     .arg(o.fecha.toString(QStringLiteral("yyyy-MM-dd")), o.hora.toString(QStringLiteral("HH:mm:ss")))
                     .arg(o.puesto)
                     .arg(oneLine(o.tipo), oneLine(o.usuario), oneLine(o.autorizo))
                     .arg(o.minutos)
                     .arg(moneyPoint(o.cents), oneLine(o.motivo));
    }
    return lines;
}

QStringList shiftLines(const Report &report) {
    const QString moment = QStringLiteral("yyyy-MM-dd HH:mm:ss");
    const auto optionalMoney = [](const std::optional<qint64> &cents) {
        return cents ? moneyPoint(*cents) : QString();
    };
    QStringList lines{QStringLiteral("Turnos: %1").arg(report.shifts.size())};
    for (const ShiftDifference &d : report.differences) {
        lines << QStringLiteral("Diferencia %1: %2 (%3)")
                     .arg(oneLine(d.usuario), moneyPoint(d.cents), QString::number(d.shifts));
    }
    for (const shifts::ShiftRecord &s : report.shifts) {
        lines << QStringLiteral("Turno %1; Usuario=%2; Apertura=%3; Cierre=%4; Estado=%5; Fondo=%6; Ventas=%7; "
                                "Ingresos=%8; Retiros=%9; ")
                         .arg(s.numero)
                         .arg(oneLine(s.usuario), s.apertura.toString(moment),
                              s.cierre.isValid() ? s.cierre.toString(moment) : QString(), oneLine(s.estado),
                              moneyPoint(s.totals.floatCents), moneyPoint(s.totals.salesCents),
                              moneyPoint(s.totals.ingresosCents), moneyPoint(s.totals.retirosCents)) +
                     QStringLiteral("Gastos=%1; Esperado=%2; Contado=%3; Diferencia=%4; Nota=%5")
                         .arg(moneyPoint(s.totals.gastosCents), moneyPoint(s.expectedCents),
                              optionalMoney(s.countedCents), optionalMoney(s.differenceCents), oneLine(s.nota));
    }
    return lines;
}

QStringList roomLines(const Report &report) {
    QStringList lines;
    if (std::all_of(report.stations.begin(), report.stations.end(),
                    [&report](int number) { return report.labels.plain(number); })) {
        return lines;
    }
    for (qsizetype i = 0; i < report.stations.size(); ++i) {
        const int number = report.stations[i];
        const Subtotal &s = report.byStation[i];
        lines << QStringLiteral("Puesto %1; Nombre=%2; Consola=%3; Importe=%4; Alquileres=%5")
                     .arg(number)
                     .arg(oneLine(s.key), oneLine(report.labels.type(number)), moneyPoint(s.cents))
                     .arg(s.rentals);
    }
    for (const Subtotal &t : report.byType) {
        lines << QStringLiteral("Consola %1: %2 (%3)").arg(oneLine(t.key), moneyPoint(t.cents)).arg(t.rentals);
    }
    return lines;
}

Report buildReport(QVector<ReportRow> rows, const Period &period, const QString &ranBy, const QDateTime &ranAt,
                   QVector<Operation> operations, const StationLabels &labels, QVector<shifts::ShiftRecord> shifts) {
    Report report;
    report.period = period;
    report.ranBy = ranBy;
    report.ranAt = ranAt;
    report.labels = labels;
    QMap<QString, Subtotal> operators;
    // Every station of the room, even without rentals, and any other number a row carries: a
    // rental of a station the room no longer has is still money taken.
    QMap<int, Subtotal> stations;
    for (const int number : labels.numbers()) {
        stations.insert(number, {});
    }
    report.byMode = {
        {kinds::kContador, 0, 0}, {kinds::kPrepago, 0, 0}, {kinds::kPrepagoAgregado, 0, 0}, {kinds::kAnulacion, 0, 0}};
    bool present[4] = {};
    for (const ReportRow &row : std::as_const(rows)) {
        // Blocks added to a prepaid rental and a refund are money of a rental counted elsewhere.
        const int rental = kinds::countsAsRental(row.modo) ? 1 : 0;
        report.rentals += rental;
        report.totalCents += row.cents;
        // Exact and case-sensitive: "admin" is another operator than "Admin".
        if (row.usuario == ranBy) {
            report.operatorCents += row.cents;
        }
        Subtotal &op = operators[row.usuario];
        op.key = row.usuario;
        op.cents += row.cents;
        op.rentals += rental;
        Subtotal &station = stations[row.puesto];
        station.cents += row.cents;
        station.rentals += rental;
        for (qsizetype m = 0; m < report.byMode.size(); ++m) {
            if (report.byMode[m].key == row.modo) {
                report.byMode[m].cents += row.cents;
                report.byMode[m].rentals += rental;
                present[m] = true;
            }
        }
    }
    QVector<Subtotal> types; // in the order of their first station
    for (auto it = stations.begin(); it != stations.end(); ++it) {
        report.stations.append(it.key());
        report.byStation.append({labels.name(it.key()), it->cents, it->rentals});
        const QString type = labels.type(it.key());
        auto same = std::find_if(types.begin(), types.end(), [&type](const Subtotal &t) { return t.key == type; });
        if (same == types.end()) {
            types.append({type, 0, 0});
            same = types.end() - 1;
        }
        same->cents += it->cents;
        same->rentals += it->rentals;
    }
    // One type says nothing the total does not: the delivered room's reports stay as they were.
    if (types.size() > 1) {
        report.byType = std::move(types);
    }
    // The modes of added blocks and refunds only when the period has them: older books read as
    // before, and the modes still add up to the total.
    for (qsizetype m = report.byMode.size() - 1; m >= 2; --m) {
        if (!present[m]) {
            report.byMode.remove(m);
        }
    }
    const QString kindOrder[] = {kinds::kOpBloques, kinds::kOpCortesia, kinds::kOpDescuento, kinds::kOpAnulacion};
    for (const QString &tipo : kindOrder) {
        report.byOperation.append({tipo, 0, 0, 0});
    }
    for (const Operation &o : std::as_const(operations)) {
        auto kind = std::find_if(report.byOperation.begin(), report.byOperation.end(),
                                 [&o](const OperationTotal &t) { return t.tipo == o.tipo; });
        if (kind == report.byOperation.end()) {
            report.byOperation.append({o.tipo, 0, 0, 0});
            kind = report.byOperation.end() - 1;
        }
        ++kind->count;
        kind->minutes += o.minutos;
        kind->cents += o.cents;
    }
    report.byOperation.removeIf([](const OperationTotal &t) { return t.count == 0; });
    report.operations = std::move(operations);
    report.byOperator = operators.values().toVector();
    QCollator order{QLocale(QStringLiteral("es"))};
    std::stable_sort(report.byOperator.begin(), report.byOperator.end(),
                     [&order](const Subtotal &a, const Subtotal &b) { return order.compare(a.key, b.key) < 0; });
    QMap<QString, ShiftDifference> differences;
    for (const shifts::ShiftRecord &s : std::as_const(shifts)) {
        if (s.differenceCents) {
            ShiftDifference &d = differences[s.usuario];
            d.usuario = s.usuario;
            ++d.shifts;
            d.cents += *s.differenceCents;
        }
    }
    report.differences = differences.values().toVector();
    std::stable_sort(report.differences.begin(), report.differences.end(),
                     [&order](const ShiftDifference &a, const ShiftDifference &b) {
                         return order.compare(a.usuario, b.usuario) < 0;
                     });
    report.shifts = std::move(shifts);
    report.rows = std::move(rows);
    return report;
}

} // namespace cash_close
