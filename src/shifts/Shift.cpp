#include "shifts/Shift.h"

#include <QSet>
#include <QStringList>

namespace shifts {

namespace {

// Beyond this a count or a denomination is not money a drawer holds: it is a typing slip.
constexpr qint64 kMaxCents = 1'000'000'000'00LL;

std::optional<qint64> wholeNumber(const QString &text) {
    bool ok = false;
    const qint64 n = text.trimmed().toLongLong(&ok);
    return ok ? std::optional<qint64>(n) : std::nullopt;
}

} // namespace

QString movementText(MovementKind kind) {
    switch (kind) {
    case MovementKind::Retiro:
        return QStringLiteral("Retiro");
    case MovementKind::Gasto:
        return QStringLiteral("Gasto");
    case MovementKind::Ingreso:
        return QStringLiteral("Ingreso");
    }
    return {};
}

std::optional<MovementKind> movementFromText(const QString &text) {
    for (const MovementKind kind : {MovementKind::Retiro, MovementKind::Gasto, MovementKind::Ingreso}) {
        if (movementText(kind) == text)
            return kind;
    }
    return std::nullopt;
}

qint64 expectedCents(const Totals &t) {
    return t.floatCents + t.salesCents + t.ingresosCents - t.retirosCents - t.gastosCents;
}

QVector<qint64> defaultDenominations() {
    // Notes of 1000 to 20 pesos, coins of 10 pesos to 50 centavos.
    return {100000, 50000, 20000, 10000, 5000, 2000, 1000, 500, 200, 100, 50};
}

QString denominationsText(const QVector<qint64> &cents) {
    QStringList parts;
    for (const qint64 c : cents)
        parts << QString::number(c);
    return parts.join(u',');
}

std::optional<QVector<qint64>> denominationsFromText(const QString &text) {
    QVector<qint64> out;
    QSet<qint64> seen;
    for (const QString &part : text.split(u',')) {
        const std::optional<qint64> c = wholeNumber(part);
        if (!c || *c <= 0 || *c > kMaxCents || seen.contains(*c))
            return std::nullopt;
        seen.insert(*c);
        out << *c;
    }
    if (out.isEmpty())
        return std::nullopt;
    return out;
}

qint64 countTotal(const Count &count) {
    qint64 total = 0;
    for (const CountLine &line : count)
        total += line.denominationCents * line.pieces;
    return total;
}

QString countText(const Count &count) {
    QStringList parts;
    for (const CountLine &line : count)
        parts << QStringLiteral("%1x%2").arg(line.denominationCents).arg(line.pieces);
    return parts.join(u';');
}

std::optional<Count> countFromText(const QString &text) {
    Count out;
    for (const QString &part : text.split(u';')) {
        const QStringList fields = part.split(u'x');
        if (fields.size() != 2)
            return std::nullopt;
        const std::optional<qint64> c = wholeNumber(fields[0]);
        const std::optional<qint64> n = wholeNumber(fields[1]);
        if (!c || !n || *c <= 0 || *c > kMaxCents || *n < 0 || *n > kMaxCents / *c)
            return std::nullopt;
        out << CountLine{*c, *n};
    }
    return out;
}

} // namespace shifts
