#include "data/NumberText.h"

#include <QLocale>
#include <cmath>

namespace numtext {

QString toText(double value) {
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    if (value == 0.0) {
        return QStringLiteral("0"); // never "-0"
    }
    return locale.toString(value, 'g', 15);
}

std::optional<double> fromText(const QString &text) {
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty()) {
        return std::nullopt;
    }
    bool ok = false;
    QLocale locale;
    locale.setNumberOptions(QLocale::RejectGroupSeparator);
    double value = locale.toDouble(trimmed, &ok);
    if (!ok) {
        QLocale c = QLocale::c();
        c.setNumberOptions(QLocale::RejectGroupSeparator);
        value = c.toDouble(trimmed, &ok);
    }
    if (!ok || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

QString engineNumber(double value) {
    if (value == 0.0) {
        return QStringLiteral("0");
    }
    // Fixed notation: the engine's statements take no exponent ("1e+06" would be refused).
    return QString::number(value, 'f', QLocale::FloatingPointShortest);
}

QString amountText(qint64 cents) {
    const quint64 magnitude = cents < 0 ? 0 - static_cast<quint64>(cents) : static_cast<quint64>(cents);
    // Joined, not filled in: a placeholder next to the digits would read them as its number.
    const QString text = QString::number(magnitude / 100) + QLocale().decimalPoint() +
                         QString::number(magnitude % 100).rightJustified(2, QLatin1Char('0'));
    return cents < 0 ? QLatin1Char('-') + text : text;
}

QString amountText(double pesos) {
    return amountText(static_cast<qint64>(std::llround(pesos * 100.0)));
}

QString counted(qint64 count, const QString &one, const QString &many) {
    return QStringLiteral("%1 %2").arg(count).arg(count == 1 ? one : many);
}

QString minutesText(qint64 minutes) {
    return counted(minutes, QStringLiteral("minuto"), QStringLiteral("minutos"));
}

QString secondsText(qint64 seconds) {
    return counted(seconds, QStringLiteral("segundo"), QStringLiteral("segundos"));
}

} // namespace numtext
