#include "cash_close/Report.h"

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

Report buildReport(QVector<ReportRow> rows, const Period &period, const QString &ranBy, const QDateTime &ranAt) {
    Report report;
    report.period = period;
    report.ranBy = ranBy;
    report.ranAt = ranAt;
    QMap<QString, Subtotal> operators;
    report.byStation.resize(5);
    for (int i = 0; i < 5; ++i) {
        report.byStation[i].key = QStringLiteral("Puesto %1").arg(i + 1);
    }
    report.byMode = {{QStringLiteral("Contador"), 0, 0}, {QStringLiteral("Prepago"), 0, 0}};
    for (const ReportRow &row : std::as_const(rows)) {
        report.totalCents += row.cents;
        // Exact and case-sensitive: "admin" is another operator than "Admin".
        if (row.usuario == ranBy) {
            report.operatorCents += row.cents;
        }
        Subtotal &op = operators[row.usuario];
        op.key = row.usuario;
        op.cents += row.cents;
        ++op.rentals;
        if (row.puesto >= 1 && row.puesto <= 5) {
            report.byStation[row.puesto - 1].cents += row.cents;
            ++report.byStation[row.puesto - 1].rentals;
        }
        for (Subtotal &mode : report.byMode) {
            if (mode.key == row.modo) {
                mode.cents += row.cents;
                ++mode.rentals;
            }
        }
    }
    report.byOperator = operators.values().toVector();
    QCollator order{QLocale(QStringLiteral("es"))};
    std::stable_sort(report.byOperator.begin(), report.byOperator.end(),
                     [&order](const Subtotal &a, const Subtotal &b) { return order.compare(a.key, b.key) < 0; });
    report.rows = std::move(rows);
    return report;
}

} // namespace cash_close
