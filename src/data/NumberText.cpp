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

} // namespace numtext
