#include "shifts/ShiftSlip.h"

#include "data/Database.h"
#include "data/Journal.h"
#include "data/NumberText.h"
#include "shifts/ShiftRecords.h"

namespace shifts {

namespace {

QString money(qint64 cents) {
    return QStringLiteral("$ ") + numtext::amountText(cents);
}

QString when(const QDateTime &at) {
    return at.isValid() ? at.toString(QStringLiteral("dd/MM/yyyy HH:mm")) : QStringLiteral("-");
}

} // namespace

std::optional<Closing> storedClosing(data::Database &db, qint64 numero) {
    std::optional<ShiftRecord> shift = shiftNumbered(db, numero);
    if (!shift || shift->estado != kClosed) {
        return std::nullopt;
    }
    Closing closing;
    closing.shift = *shift;
    bool counted = false;
    db.forEachRawRow(
        QStringLiteral("SELECT Numero, Billetes FROM Arqueos WHERE Turno = %1 ORDER BY Numero DESC LIMIT 1")
            .arg(numero),
        [&](const data::Database::RowView &row) {
            closing.countNumber = int(row.integer(0));
            const std::optional<Count> count = countFromText(QString::fromUtf8(row.text(1)));
            counted = count.has_value();
            closing.count = count.value_or(Count());
            return false;
        });
    if (!counted) {
        return std::nullopt;
    }
    // The first count is recorded by the close's entry, a recount by its own.
    const QString entry = closing.countNumber == 1
                              ? QStringLiteral("Evento = '%1' AND Detalle LIKE 'Turno %2 de %'")
                                    .arg(journal::event::kShiftClosed)
                                    .arg(numero)
                              : QStringLiteral("Evento = '%1' AND Detalle LIKE 'Turno %2, arqueo %3:%'")
                                    .arg(journal::event::kCashCounted)
                                    .arg(numero)
                                    .arg(closing.countNumber);
    db.forEachRawRow(QStringLiteral("SELECT Secuencia, Hash FROM Registro WHERE ") + entry +
                         QStringLiteral(" ORDER BY Secuencia DESC LIMIT 1"),
                     [&closing](const data::Database::RowView &row) {
                         closing.journalSecuencia = row.integer(0);
                         closing.journalHash = QString::fromUtf8(row.text(1));
                         return false;
                     });
    return closing;
}

printing::Document slipDocument(const Closing &closing, const QString &shopName) {
    using Style = printing::Line::Style;
    const ShiftRecord &s = closing.shift;
    printing::Document doc;
    const auto add = [&doc](const QString &left, const QString &right = {}, Style style = Style::Normal) {
        doc.lines.append({left, right, style});
    };
    if (!shopName.trimmed().isEmpty()) {
        add(shopName.trimmed(), {}, Style::Title);
    }
    add(closing.countNumber > 1 ? QStringLiteral("Recuento de caja") : QStringLiteral("Cierre de turno"), {},
        Style::Centre);
    add(QStringLiteral("Turno"), QString::number(s.numero), Style::Bold);
    add(QStringLiteral("Operador"), s.usuario);
    add(QStringLiteral("Apertura"), when(s.apertura));
    add(QStringLiteral("Cierre"), when(s.cierre));
    add({}, {}, Style::Rule);
    add(QStringLiteral("Fondo"), money(s.totals.floatCents));
    add(QStringLiteral("Ventas"), money(s.totals.salesCents));
    add(QStringLiteral("Ingresos"), money(s.totals.ingresosCents));
    add(QStringLiteral("Retiros"), money(-s.totals.retirosCents));
    add(QStringLiteral("Gastos"), money(-s.totals.gastosCents));
    add(QStringLiteral("Esperado"), money(s.expectedCents), Style::Bold);
    if (s.countedCents && s.differenceCents) {
        add(closing.countNumber > 1 ? QStringLiteral("Contado (recuento %1)").arg(closing.countNumber)
                                    : QStringLiteral("Contado"),
            money(*s.countedCents), Style::Bold);
        const qint64 d = *s.differenceCents;
        add(d > 0   ? QStringLiteral("Sobrante")
            : d < 0 ? QStringLiteral("Faltante")
                    : QStringLiteral("Diferencia"),
            money(d < 0 ? -d : d), Style::Bold);
    } else {
        add(QStringLiteral("Sin arqueo"), {}, Style::Bold);
    }
    if (!closing.count.isEmpty()) {
        add({}, {}, Style::Rule);
        for (const CountLine &line : closing.count) {
            add(QStringLiteral("%1 x %2").arg(money(line.denominationCents)).arg(line.pieces),
                money(line.denominationCents * line.pieces));
        }
    }
    if (!s.nota.isEmpty()) {
        add({}, {}, Style::Rule);
        add(QStringLiteral("Nota: ") + s.nota);
    }
    add({}, {}, Style::Rule);
    add(QStringLiteral("Registro: entrada %1").arg(closing.journalSecuencia));
    add(closing.journalHash.left(16));
    add(QStringLiteral("Verificar: ludomat --verify-journal"));
    return doc;
}

} // namespace shifts
