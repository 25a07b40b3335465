#include "printing/Receipt.h"

#include "data/NumberText.h"
#include "data/RentalKinds.h"
#include "stations/StationBoard.h"

namespace printing {

namespace {

using Style = Line::Style;

QString money(qint64 cents) {
    return QStringLiteral("$ ") + numtext::amountText(cents);
}

QString duration(qint64 seconds) {
    return QStringLiteral("%1:%2").arg(seconds / 3600).arg((seconds / 60) % 60, 2, 10, QLatin1Char('0'));
}

QString what(const stations::Sale &sale) {
    const QString blocks = numtext::counted(sale.blocks, QStringLiteral("bloque"), QStringLiteral("bloques"));
    if (sale.kind == kinds::kPrepagoAgregado) {
        return QStringLiteral("Bloques agregados: %1 (%2)").arg(blocks, numtext::minutesText(sale.seconds / 60));
    }
    if (sale.kind == QLatin1String("Prepago")) {
        return QStringLiteral("Prepago: %1 (%2)").arg(blocks, numtext::minutesText(sale.seconds / 60));
    }
    return QStringLiteral("Contador: %1 h, %2").arg(duration(sale.seconds), blocks);
}

} // namespace

Document receipt(const QString &shopName, const stations::Sale &sale) {
    Document d;
    if (!shopName.trimmed().isEmpty()) {
        d.lines.push_back({shopName.trimmed(), {}, Style::Title});
    }
    d.lines.push_back({QStringLiteral("Recibo"), {}, Style::Centre});
    d.lines.push_back({sale.at.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss")), {}, Style::Normal});
    const QString plain = QStringLiteral("Puesto %1").arg(sale.number);
    d.lines.push_back(
        {sale.name == plain ? plain : QStringLiteral("%1 (%2)").arg(plain, sale.name), {}, Style::Normal});
    d.lines.push_back({what(sale), {}, Style::Normal});
    d.lines.push_back({{}, {}, Style::Rule});
    d.lines.push_back({QStringLiteral("Total"), money(sale.cents), Style::Bold});
    d.lines.push_back({QStringLiteral("Atendió: ") + sale.operatorName, {}, Style::Normal});
    return d;
}

Document drawerOnly() {
    Document d;
    d.cut = false;
    d.openDrawer = true;
    return d;
}

Document testSlip(const QString &shopName, const QString &destination, int widthMm) {
    Document d;
    if (!shopName.trimmed().isEmpty()) {
        d.lines.push_back({shopName.trimmed(), {}, Style::Title});
    }
    d.lines.push_back({QStringLiteral("Prueba de impresión — áéíóú ñÑ ¿¡ $ 1.234,50"), {}, Style::Normal});
    d.lines.push_back({{}, {}, Style::Rule});
    d.lines.push_back({QStringLiteral("Impresora"), destination, Style::Normal});
    d.lines.push_back({QStringLiteral("Papel"), QStringLiteral("%1 mm").arg(widthMm), Style::Normal});
    d.lines.push_back({QStringLiteral("Importe"), money(123450), Style::Bold});
    return d;
}

} // namespace printing
