#include "pricing/TermsCheck.h"

#include "data/NumberText.h"

#include <array>

namespace pricing {

namespace {

const std::array<const char *, 7> kDayNames = {"lunes",   "martes", "miércoles", "jueves",
                                               "viernes", "sábado", "domingo"};

QString clock(int minute) {
    return QStringLiteral("%1:%2").arg(minute / 60, 2, 10, QChar(u'0')).arg(minute % 60, 2, 10, QChar(u'0'));
}

QString periodName(const Terms &terms, int index) {
    const QString &name = terms.periods[static_cast<size_t>(index)].name;
    return name.isEmpty() ? QStringLiteral("período %1").arg(index + 1) : QStringLiteral("período «%1»").arg(name);
}

QString priceProblem(const QString &what, qint64 cents) {
    if (cents >= 0 && cents < kMaxCents) {
        return {};
    }
    return QStringLiteral("%1 debe ser de 0 a %2 pesos.").arg(what, numtext::amountText(kMaxCents - 1));
}

} // namespace

QString checkTerms(const Terms &terms) {
    if (terms.minutes < 1 || terms.minutes > kMaxBlockMinutes) {
        return QStringLiteral("Los minutos por bloque deben ser un número entero de 1 a %1.").arg(kMaxBlockMinutes);
    }
    if (QString problem = priceProblem(QStringLiteral("El precio por bloque"), terms.cents); !problem.isEmpty()) {
        return problem;
    }
    if (terms.minimumBlocks < 1 || terms.minimumBlocks > kMaxMinimumBlocks) {
        return QStringLiteral("El mínimo de bloques debe ser de 1 a %1.").arg(kMaxMinimumBlocks);
    }
    if (terms.toleranceMinutes < 0 || terms.toleranceMinutes >= terms.minutes) {
        return QStringLiteral("La tolerancia debe ser de 0 a %1 minutos: menos que un bloque de %2.")
            .arg(terms.minutes - 1)
            .arg(numtext::minutesText(terms.minutes));
    }
    if (QString problem = priceProblem(QStringLiteral("El recargo por mando adicional"), terms.controllerCents);
        !problem.isEmpty()) {
        return problem;
    }
    for (size_t i = 0; i < terms.periods.size(); ++i) {
        const Period &period = terms.periods[i];
        const QString name = QStringLiteral("El ") + periodName(terms, static_cast<int>(i));
        if ((period.days & kEveryDay) == 0 || (period.days & ~kEveryDay) != 0) {
            return QStringLiteral("%1 no tiene días de la semana válidos.").arg(name);
        }
        if (period.startMinute < 0 || period.startMinute >= kMinutesPerDay || period.endMinute < 0 ||
            period.endMinute >= kMinutesPerDay) {
            return QStringLiteral("%1 tiene una hora fuera del día: deben ser de 00:00 a 23:59.").arg(name);
        }
        if (period.endMinute == period.startMinute) {
            return QStringLiteral("%1 empieza y termina a las %2. Un período que pasa la medianoche termina a una "
                                  "hora anterior a la de su comienzo.")
                .arg(name, clock(period.startMinute));
        }
        if (QString problem = priceProblem(QStringLiteral("%1: su precio por bloque").arg(name), period.cents);
            !problem.isEmpty()) {
            return problem;
        }
    }
    // Sorted by start: the first span that overlaps a later one gives the earliest shared minute.
    const std::vector<WeekSpan> spans = weekSpans(terms);
    for (size_t i = 0; i < spans.size(); ++i) {
        for (size_t j = i + 1; j < spans.size() && spans[j].from < spans[i].to; ++j) {
            if (spans[j].period != spans[i].period) {
                const int first = std::min(spans[i].period, spans[j].period);
                const int second = std::max(spans[i].period, spans[j].period);
                const int minute = spans[j].from;
                return QStringLiteral("El %1 y el %2 se superponen: los dos rigen el %3 a las %4.")
                    .arg(periodName(terms, first), periodName(terms, second),
                         QString::fromUtf8(kDayNames[static_cast<size_t>(minute / kMinutesPerDay)]),
                         clock(minute % kMinutesPerDay));
            }
        }
    }
    return {};
}

} // namespace pricing
