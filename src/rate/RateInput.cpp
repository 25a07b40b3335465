#include "rate/RateInput.h"

#include "data/NumberText.h"
#include "stations/StationTypes.h"

#include <QRegularExpression>
#include <cmath>

namespace rate {

RateCheck checkNewRate(const QString &minutesText, const QString &pesosText) {
    RateCheck check;
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,6}$"));
    const QString minutes = minutesText.trimmed();
    if (!digits.match(minutes).hasMatch() || minutes.toInt() > stations::kMaxRateMinutes) {
        check.problem = QStringLiteral("Los minutos de la nueva tarifa deben ser un número entero de 0 a %1 "
                                       "(se escribió «%2»).")
                            .arg(stations::kMaxRateMinutes)
                            .arg(minutesText);
        return check;
    }
    const std::optional<double> pesos = numtext::fromText(pesosText);
    if (!pesos || !std::isfinite(*pesos) || *pesos < 0.0 || *pesos >= kMaxPesos) {
        check.problem = QStringLiteral("El importe de la nueva tarifa debe ser un número de 0 o más, menor que "
                                       "1000000000, con coma o punto decimal (se escribió «%1»).")
                            .arg(pesosText);
        return check;
    }
    // -0 is stored as 0.
    check.rate = NewRate{static_cast<qint16>(minutes.toInt()), *pesos == 0.0 ? 0.0 : *pesos};
    return check;
}

} // namespace rate
