#include "rate/RateInput.h"

#include "data/NumberText.h"
#include "stations/StationTypes.h"

#include <QLocale>
#include <QRegularExpression>
#include <cmath>

namespace rate {

// What an amount box takes, said whenever it refuses something.
QString acceptedForms() {
    // Joined, not through arg(): a placeholder written inside a number ("12%15") reads as %15.
    const QString decimal = QLocale().decimalPoint();
    return QStringLiteral("Escríbalo sin separador de miles y con a lo sumo dos decimales, por ejemplo 1000, 12") +
           decimal + QStringLiteral("5 o 12.50.");
}

std::optional<double> readPesos(const QString &text) {
    // Digits with at most two decimals after a point or the locale's comma: "1.000" or "12.500"
    // would be a thousand under a comma locale and one under a point locale, so neither is read.
    const QString pesos = text.trimmed();
    static const QRegularExpression amount(QStringLiteral("^[0-9]{1,9}(?:[.,][0-9]{1,2})?$"));
    const bool comma = pesos.contains(QLatin1Char(','));
    if (!amount.match(pesos).hasMatch() || (comma && QLocale().decimalPoint() != QLatin1String(","))) {
        return std::nullopt;
    }
    return numtext::fromText(QString(pesos).replace(QLatin1Char(','), QLatin1Char('.')));
}

RateCheck checkNewRate(const QString &minutesText, const QString &pesosText) {
    RateCheck check;
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,6}$"));
    const QString minutes = minutesText.trimmed();
    if (!digits.match(minutes).hasMatch() || minutes.toInt() < 1 || minutes.toInt() > stations::kMaxRateMinutes) {
        check.problem = QStringLiteral("Los minutos de la nueva tarifa deben ser un número entero de 1 a %1 "
                                       "(se escribió «%2»).")
                            .arg(stations::kMaxRateMinutes)
                            .arg(minutesText);
        return check;
    }
    const std::optional<double> value = readPesos(pesosText);
    if (!value) {
        check.problem =
            QStringLiteral("El importe de la nueva tarifa («%1») no es válido. ").arg(pesosText) + acceptedForms();
        return check;
    }
    if (!std::isfinite(*value) || *value >= kMaxPesos) {
        check.problem = QStringLiteral("El importe de la nueva tarifa debe ser menor que 1000000000 "
                                       "(se escribió «%1»).")
                            .arg(pesosText);
        return check;
    }
    check.rate = NewRate{static_cast<qint16>(minutes.toInt()), *value};
    return check;
}

} // namespace rate
