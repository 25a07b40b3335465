#include "stations/OpenStations.h"

#include "stations/StationModel.h"

#include <cmath>

namespace stations {

QString instantText(const QDateTime &instant) {
    return instant.toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ssZ"));
}

std::optional<QDateTime> readInstant(const QString &text) {
    const QDateTime t = QDateTime::fromString(text.trimmed(), Qt::ISODate);
    if (!t.isValid() || t.timeSpec() == Qt::LocalTime) {
        return std::nullopt; // an instant without its offset names no moment
    }
    return t.toUTC();
}

QDateTime prepaidEnd(const QDateTime &openedUtc, const Rate &rate, int blocks) {
    return openedUtc.addSecs(static_cast<qint64>(rate.Minutos) * blocks * 60);
}

namespace {

bool wholeNumber(const QVariant &v, qint64 low, qint64 high, qint64 *out) {
    bool ok = false;
    const double d = v.toDouble(&ok);
    if (!ok || v.isNull() || !std::isfinite(d) || d != std::floor(d) || d < double(low) || d > double(high)) {
        return false;
    }
    *out = static_cast<qint64>(d);
    return true;
}

} // namespace

RowCheck checkOpenRow(const data::Recordset &rows) {
    RowCheck check;
    const auto text = [&rows](const char *column) { return rows.field(QLatin1String(column)).toString(); };
    check.label = QStringLiteral("Puesto=%1, Modo=%2, Usuario=%3, Apertura=%4")
                      .arg(text("Puesto"), text("Modo"), text("Usuario"), text("Apertura"));
    const auto refuse = [&check](const QString &why) {
        check.problem = why;
        return check;
    };
    OpenRow row;
    qint64 n = 0;
    if (!wholeNumber(rows.field(QStringLiteral("Puesto")), 1, kStations, &n)) {
        return refuse(QStringLiteral("el número de puesto no es de 1 a 5"));
    }
    row.puesto = static_cast<int>(n);
    if (text("Modo") == QLatin1String("Contador")) {
        row.mode = StationMode::Contador;
    } else if (text("Modo") == QLatin1String("Prepago")) {
        row.mode = StationMode::Prepago;
    } else {
        return refuse(QStringLiteral("el modo no es Contador ni Prepago"));
    }
    row.usuario = text("Usuario");
    row.apertura = text("Apertura");
    const auto opened = readInstant(row.apertura);
    if (!opened) {
        return refuse(QStringLiteral("la hora de apertura no se puede leer"));
    }
    row.openedUtc = *opened;
    if (!wholeNumber(rows.field(QStringLiteral("Minutos")), 0, kMaxRateMinutes, &n)) {
        return refuse(QStringLiteral("los minutos de la tarifa no son de 0 a %1").arg(kMaxRateMinutes));
    }
    row.rate.Minutos = static_cast<qint16>(n);
    bool ok = false;
    row.rate.Pesos = rows.field(QStringLiteral("Pesos")).toDouble(&ok);
    if (!ok || !std::isfinite(row.rate.Pesos) || row.rate.Pesos < 0) {
        return refuse(QStringLiteral("el importe de la tarifa no es un número de 0 o más"));
    }
    if (row.mode == StationMode::Prepago) {
        if (!wholeNumber(rows.field(QStringLiteral("Bloques")), 1, kMaxBlocks, &n)) {
            return refuse(QStringLiteral("los bloques comprados no son de 1 a %1").arg(kMaxBlocks));
        }
        row.blocks = static_cast<int>(n);
        const auto end = readInstant(text("Fin"));
        if (!end || *end != prepaidEnd(row.openedUtc, row.rate, row.blocks)) {
            return refuse(QStringLiteral("la hora de fin no corresponde a la apertura y a los bloques comprados"));
        }
    }
    check.row = row;
    return check;
}

Restored restoreStation(const OpenRow &row, const QDateTime &nowUtc, qint64 nowMs) {
    Restored r;
    qint64 elapsedMs = row.openedUtc.msecsTo(nowUtc);
    if (elapsedMs < 0) {
        r.restarted = true;
        elapsedMs = 0;
    }
    Station &s = r.station;
    if (row.mode == StationMode::Prepago) {
        choosePrepago(s, row.rate);
        setBlocks(s, row.blocks, row.rate);
    } else {
        chooseContador(s);
    }
    openStation(s, row.rate, nowMs - elapsedMs, row.apertura);
    r.ended = catchUp(s, nowMs).ended;
    return r;
}

QString restoredLabel(const Restored &r, int puesto, const QDateTime &openedLocal, const QDate &today) {
    const Station &s = r.station;
    QString what;
    if (s.mode == StationMode::Contador) {
        what = QStringLiteral("Contador, desde %1")
                   .arg(openedLocal.toString(openedLocal.date() == today ? QStringLiteral("HH:mm")
                                                                         : QStringLiteral("'el' dd/MM HH:mm")));
    } else if (r.ended) {
        what = QStringLiteral("Prepago, terminado mientras el programa estaba cerrado");
    } else {
        const qint64 left = boughtSeconds(s) - s.secondsDone;
        const qint64 minutes = (left + 59) / 60;
        what = QStringLiteral("Prepago, quedan %1:%2").arg(minutes / 60).arg(minutes % 60, 2, 10, QLatin1Char('0'));
    }
    if (r.restarted) {
        what += QStringLiteral("; su hora de apertura guardada era posterior a la hora actual (¿se atrasó el reloj?), "
                               "así que su tiempo empezó de nuevo en 0");
    }
    return QStringLiteral("Puesto %1 (%2)").arg(puesto).arg(what);
}

QString restoreMessage(const QStringList &restored, const QStringList &skipped, const QString &cannotWrite) {
    QStringList parts;
    if (!restored.isEmpty()) {
        parts << (restored.size() == 1 ? QStringLiteral("Se recuperó 1 puesto en curso: ")
                                       : QStringLiteral("Se recuperaron %1 puestos en curso: ").arg(restored.size())) +
                     restored.join(QStringLiteral(", ")) + QLatin1Char('.');
    }
    for (const QString &row : skipped) {
        parts << QStringLiteral("No se pudo recuperar un puesto en curso de la tabla PuestosAbiertos (%1). "
                                "La fila quedó en la tabla sin cambios.")
                     .arg(row);
    }
    if (!cannotWrite.isEmpty() && !restored.isEmpty()) {
        parts << QStringLiteral("Estos puestos siguen contando, pero todavía no se pueden cerrar: %1").arg(cannotWrite);
    }
    return parts.join(QStringLiteral("\n\n"));
}

} // namespace stations
