#include "printing/PrinterSettings.h"

#include "data/Database.h"
#include "data/DbError.h"
#include "data/Journal.h"
#include "data/Recordset.h"
#include "data/Statements.h"

#include <QHostAddress>
#include <QRegularExpression>

namespace printing {

namespace {

const QString kKindKey = QStringLiteral("Impresora");
const QString kTargetKey = QStringLiteral("Impresora destino");
const QString kWidthKey = QStringLiteral("Impresora ancho");
const QString kShopKey = QStringLiteral("Nombre del negocio");
const QString kReceiptsKey = QStringLiteral("Recibo por venta");
const QString kDrawerKey = QStringLiteral("Cajón por venta");

QString yesNo(bool on) {
    return on ? QStringLiteral("sí") : QStringLiteral("no");
}

QString lookup(data::Database &db, const QString &key) {
    const data::Recordset row = db.openRecordset(statements::salonLookup(key));
    return row.isEof() ? QString() : row.field(QStringLiteral("Valor")).toString();
}

} // namespace

QString kindText(Kind kind) {
    switch (kind) {
    case Kind::Network:
        return QStringLiteral("red");
    case Kind::Usb:
        return QStringLiteral("usb");
    case Kind::Cups:
        return QStringLiteral("cups");
    case Kind::None:
        break;
    }
    return QStringLiteral("ninguna");
}

std::optional<Kind> kindFromText(const QString &text) {
    for (const Kind kind : {Kind::None, Kind::Network, Kind::Usb, Kind::Cups}) {
        if (text == kindText(kind)) {
            return kind;
        }
    }
    return std::nullopt;
}

std::optional<std::pair<QString, quint16>> networkAddress(const QString &target) {
    const QString text = target.trimmed();
    static const QRegularExpression form(
        QStringLiteral(R"(^(?:\[([0-9A-Fa-f:.]+)\]|([A-Za-z0-9.\-]+))(?::([0-9]{1,5}))?$)"));
    // A bare IPv6 address has colons of its own: taken whole, the default port.
    if (QHostAddress(text).protocol() == QAbstractSocket::IPv6Protocol) {
        return std::pair{text, kDefaultPort};
    }
    const QRegularExpressionMatch match = form.match(text);
    if (!match.hasMatch()) {
        return std::nullopt;
    }
    const QString host = match.captured(1).isEmpty() ? match.captured(2) : match.captured(1);
    if (host.isEmpty() || host.startsWith(QLatin1Char('-')) || host.startsWith(QLatin1Char('.'))) {
        return std::nullopt;
    }
    quint16 port = kDefaultPort;
    if (!match.captured(3).isEmpty()) {
        const int value = match.captured(3).toInt();
        if (value < 1 || value > 65535) {
            return std::nullopt;
        }
        port = static_cast<quint16>(value);
    }
    return std::pair{host, port};
}

QString destinationText(const PrinterSettings &settings) {
    switch (settings.kind) {
    case Kind::Network:
        if (const auto address = networkAddress(settings.target)) {
            return address->first.contains(QLatin1Char(':'))
                       ? QStringLiteral("[%1]:%2").arg(address->first).arg(address->second)
                       : QStringLiteral("%1:%2").arg(address->first).arg(address->second);
        }
        return settings.target.trimmed();
    case Kind::Usb:
        return settings.target.trimmed().isEmpty() ? kDefaultDevice : settings.target.trimmed();
    case Kind::Cups:
        return settings.target.trimmed();
    case Kind::None:
        break;
    }
    return {};
}

QString checkSettings(const PrinterSettings &settings) {
    const QString target = settings.target.trimmed();
    switch (settings.kind) {
    case Kind::Network:
        if (target.isEmpty()) {
            return QStringLiteral("Escriba la dirección de la impresora de red, como 192.168.0.50 o "
                                  "192.168.0.50:9100.");
        }
        if (!networkAddress(target)) {
            return QStringLiteral("«%1» no es una dirección de impresora: escriba el nombre o la dirección IP, "
                                  "y si hace falta «:» y el puerto (de 1 a 65535), como 192.168.0.50:9100.")
                .arg(target);
        }
        break;
    case Kind::Usb:
        if (!target.isEmpty() && !target.startsWith(QLatin1Char('/'))) {
            return QStringLiteral("El dispositivo de la impresora es una ruta completa, como %1.").arg(kDefaultDevice);
        }
        break;
    case Kind::Cups: {
        // lp would read a leading '-' as one of its options.
        static const QRegularExpression queue(QStringLiteral(R"(^[^\s/#\\\-][^\s/#\\]*$)"));
        if (!queue.match(target).hasMatch()) {
            return QStringLiteral("Escriba el nombre de la cola de CUPS, sin espacios ni «/» ni «#», como "
                                  "«Termica»; «lpstat -p» lista las que hay.");
        }
        break;
    }
    case Kind::None:
        break;
    }
    if (settings.widthMm != 58 && settings.widthMm != 80) {
        return QStringLiteral("El papel es de 58 o de 80 mm.");
    }
    if (settings.shopName.trimmed().size() > kMaxShopName) {
        return QStringLiteral("El nombre del negocio tiene a lo sumo %1 caracteres.").arg(kMaxShopName);
    }
    return {};
}

PrinterSettings readSettings(data::Database &db) {
    PrinterSettings settings;
    try {
        settings.kind = kindFromText(lookup(db, kKindKey)).value_or(Kind::None);
    } catch (const data::DbError &) {
        // Books from before the room's settings have no Salon: no printer.
        return settings;
    }
    settings.target = lookup(db, kTargetKey);
    settings.widthMm = lookup(db, kWidthKey) == QLatin1String("58") ? 58 : 80;
    settings.shopName = lookup(db, kShopKey);
    settings.receipts = lookup(db, kReceiptsKey) == yesNo(true);
    settings.drawer = lookup(db, kDrawerKey) == yesNo(true);
    return settings;
}

QString settingsText(const PrinterSettings &settings) {
    return QStringLiteral("Impresora=%1; Destino=%2; Ancho=%3; Negocio=%4; Recibos=%5; Cajón=%6")
        .arg(kindText(settings.kind), destinationText(settings), QString::number(settings.widthMm),
             settings.shopName.trimmed(), yesNo(settings.receipts), yesNo(settings.drawer));
}

QString saveSettings(data::Database &db, const PrinterSettings &settings, const QString &administrator,
                     const QDateTime &now) {
    if (QString problem = checkSettings(settings); !problem.isEmpty()) {
        return problem;
    }
    try {
        journal::storeRoomSettings(db,
                                   {
                                       {kKindKey, kindText(settings.kind)},
                                       {kTargetKey, settings.target.trimmed()},
                                       {kWidthKey, QString::number(settings.widthMm)},
                                       {kShopKey, settings.shopName.trimmed()},
                                       {kReceiptsKey, yesNo(settings.receipts)},
                                       {kDrawerKey, yesNo(settings.drawer)},
                                   },
                                   now, administrator, settingsText(settings));
        return {};
    } catch (const data::DbError &error) {
        return QStringLiteral("No se guardó la impresora: ") + error.message();
    }
}

} // namespace printing
