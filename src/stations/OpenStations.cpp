#include "stations/OpenStations.h"

#include "data/NumberText.h"
#include "stations/StationModel.h"

#include "pricing/TermsCheck.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <algorithm>
#include <cmath>
#include <limits>

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

QString termsText(const pricing::Terms &terms) {
    QJsonArray periods;
    for (const pricing::Period &p : terms.periods) {
        periods.append(QJsonObject{{QStringLiteral("n"), p.name},
                                   {QStringLiteral("d"), int(p.days)},
                                   {QStringLiteral("de"), p.startMinute},
                                   {QStringLiteral("a"), p.endMinute},
                                   {QStringLiteral("c"), double(p.cents)}});
    }
    QJsonObject o{{QStringLiteral("v"), 1},
                  {QStringLiteral("m"), terms.minutes},
                  {QStringLiteral("c"), double(terms.cents)},
                  {QStringLiteral("min"), terms.minimumBlocks},
                  {QStringLiteral("tol"), terms.toleranceMinutes},
                  {QStringLiteral("mando"), double(terms.controllerCents)}};
    if (!periods.isEmpty()) {
        o.insert(QStringLiteral("per"), periods);
    }
    return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
}

namespace {

// A whole number within [low, high] at key, into out (of any integer type); false otherwise.
template <class T> bool jsonWhole(const QJsonObject &o, const char *key, qint64 low, qint64 high, T &out) {
    const QJsonValue v = o.value(QLatin1String(key));
    const double d = v.toDouble(std::nan(""));
    if (!v.isDouble() || !std::isfinite(d) || d != std::floor(d) || d < double(low) || d > double(high)) {
        return false;
    }
    out = static_cast<T>(d);
    return true;
}

} // namespace

std::optional<pricing::Terms> readTerms(const QString &text) {
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(text.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject()) {
        return std::nullopt;
    }
    const QJsonObject o = doc.object();
    pricing::Terms t;
    int version = 0; // only 1 is known to this program
    if (!jsonWhole(o, "v", 1, 1, version) || !jsonWhole(o, "m", 1, pricing::kMaxBlockMinutes, t.minutes) ||
        !jsonWhole(o, "c", 0, pricing::kMaxCents, t.cents) ||
        !jsonWhole(o, "min", 1, pricing::kMaxMinimumBlocks, t.minimumBlocks) ||
        !jsonWhole(o, "tol", 0, pricing::kMaxBlockMinutes, t.toleranceMinutes) ||
        !jsonWhole(o, "mando", 0, pricing::kMaxCents, t.controllerCents)) {
        return std::nullopt;
    }
    const QJsonValue periods = o.value(QStringLiteral("per"));
    if (!periods.isUndefined() && !periods.isArray()) {
        return std::nullopt;
    }
    for (const QJsonValue &v : periods.toArray()) {
        const QJsonObject po = v.toObject();
        pricing::Period p;
        if (!v.isObject() || !po.value(QStringLiteral("n")).isString() ||
            !jsonWhole(po, "d", 1, pricing::kEveryDay, p.days) ||
            !jsonWhole(po, "de", 0, pricing::kMinutesPerDay - 1, p.startMinute) ||
            !jsonWhole(po, "a", 0, pricing::kMinutesPerDay - 1, p.endMinute) ||
            !jsonWhole(po, "c", 0, pricing::kMaxCents, p.cents)) {
            return std::nullopt;
        }
        p.name = po.value(QStringLiteral("n")).toString();
        t.periods.push_back(p);
    }
    if (!pricing::checkTerms(t).isEmpty()) {
        return std::nullopt;
    }
    return t;
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

// A price the rate editor could have saved: from 0 to below the limit, at most two decimals.
bool ratePrice(const QVariant &v, qint64 *cents) {
    bool ok = false;
    const double d = v.toDouble(&ok);
    if (!ok || v.isNull() || !std::isfinite(d) || d < 0 || d >= kMaxRatePesos) {
        return false;
    }
    static const QRegularExpression twoDecimals(QStringLiteral("^[0-9]+(\\.[0-9]{1,2})?$"));
    *cents = centsOf(d);
    return twoDecimals.match(numtext::engineNumber(d)).hasMatch();
}

} // namespace

RowCheck checkOpenRow(const data::Recordset &rows) {
    RowCheck check;
    // A file that could not take the later columns (read only) has none of them.
    const auto value = [&rows](const char *column) {
        return rows.columnNames().contains(QLatin1String(column), Qt::CaseInsensitive)
                   ? rows.field(QLatin1String(column))
                   : QVariant();
    };
    const auto text = [&value](const char *column) { return value(column).toString(); };
    check.label = QStringLiteral("Puesto=%1, Modo=%2, Usuario=%3, Apertura=%4")
                      .arg(text("Puesto"), text("Modo"), text("Usuario"), text("Apertura"));
    check.detail = QStringLiteral("Puesto=%1; Modo=%2; Usuario=%3; Apertura=%4")
                       .arg(text("Puesto"), text("Modo"), text("Usuario"), text("Apertura"));
    const auto refuse = [&check](const QString &why) {
        check.problem = why;
        return check;
    };
    OpenRow row;
    qint64 n = 0;
    if (!wholeNumber(value("Fila"), 1, std::numeric_limits<qint64>::max() / 2, &n)) {
        return refuse(QStringLiteral("la fila no tiene número"));
    }
    row.fila = check.fila = n;
    if (!wholeNumber(value("Puesto"), 1, kMaxStations, &n)) {
        return refuse(QStringLiteral("el número de puesto no es de 1 a %1").arg(kMaxStations));
    }
    row.puesto = check.puesto = static_cast<int>(n);
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
    if (!wholeNumber(value("Minutos"), 1, kMaxRateMinutes, &n)) {
        return refuse(QStringLiteral("los minutos de la tarifa no son de 1 a %1").arg(kMaxRateMinutes));
    }
    row.rate.Minutos = static_cast<qint16>(n);
    if (!ratePrice(value("Pesos"), &row.rate.cents)) {
        return refuse(QStringLiteral("el importe de la tarifa no es de 0 a menos de 1000000000, con a lo sumo dos "
                                     "decimales"));
    }
    if (row.mode == StationMode::Prepago) {
        if (!wholeNumber(value("Bloques"), 1, kMaxBoughtBlocks, &n)) {
            return refuse(QStringLiteral("los bloques comprados no son de 1 a %1").arg(kMaxBoughtBlocks));
        }
        row.blocks = static_cast<int>(n);
        if (!value("Cortesia").isNull()) {
            if (!wholeNumber(value("Cortesia"), 0, kMaxOpenSeconds / 60, &n)) {
                return refuse(QStringLiteral("los minutos de cortesía no son de 0 a un año"));
            }
            row.courtesyMinutes = n;
        }
        const auto end = readInstant(text("Fin"));
        if (!end || *end != prepaidEnd(row.openedUtc, row.rate, row.blocks).addSecs(row.courtesyMinutes * 60)) {
            return refuse(QStringLiteral("la hora de fin no corresponde a la apertura y a los bloques comprados"));
        }
    }
    // The time kept while it ran; a row written before it was kept has none.
    if (!value("Arranque").isNull()) {
        row.boot = text("Arranque");
        if (row.boot.isEmpty() || !wholeNumber(value("ArranqueMs"), -(qint64(1) << 52), qint64(1) << 52, &n)) {
            return refuse(QStringLiteral("el reloj de arranque guardado no se puede leer"));
        }
        row.bootMs = n;
    }
    if (!value("Transcurrido").isNull()) {
        if (!wholeNumber(value("Transcurrido"), 0, kMaxOpenSeconds, &n)) {
            return refuse(QStringLiteral("el tiempo transcurrido guardado no es de 0 a un año"));
        }
        row.knownSeconds = n;
        row.timeKept = true;
    }
    row.seenUtc = row.openedUtc;
    if (!value("Visto").isNull()) {
        const auto seen = readInstant(text("Visto"));
        if (!seen) {
            return refuse(QStringLiteral("la última hora vista no se puede leer"));
        }
        row.seenUtc = *seen;
    }
    // A pause: none in a row written before pauses were kept.
    if (!value("PausaMs").isNull()) {
        if (!wholeNumber(value("PausaMs"), 0, kMaxOpenSeconds * 1000, &n)) {
            return refuse(QStringLiteral("el tiempo en pausa guardado no es de 0 a un año"));
        }
        row.pauseMs = n;
    }
    if (!value("PausadoEn").isNull()) {
        if (!wholeNumber(value("PausadoEn"), 0, kMaxOpenSeconds * 1000, &n)) {
            return refuse(QStringLiteral("el tiempo de uso al pausar no es de 0 a un año"));
        }
        row.pausedRunMs = n;
    }
    if (row.mode == StationMode::Contador && !value("Descuento").isNull()) {
        if (!ratePrice(value("Descuento"), &row.discountCents)) {
            return refuse(QStringLiteral("el descuento no es de 0 a menos de 1000000000, con a lo sumo dos decimales"));
        }
    }
    // What it opened with; a row written before these were kept has none of them.
    row.consola = text("Consola");
    if (!value("Mandos").isNull()) {
        if (!wholeNumber(value("Mandos"), 1, pricing::kMaxControllers, &n)) {
            return refuse(QStringLiteral("los mandos no son de 1 a %1").arg(pricing::kMaxControllers));
        }
        row.controllers = static_cast<int>(n);
    }
    if (value("Condiciones").isNull()) {
        row.terms = std::make_shared<const pricing::Terms>(termsOf(row.rate));
    } else {
        const std::optional<pricing::Terms> terms = readTerms(text("Condiciones"));
        if (!terms) {
            return refuse(QStringLiteral("las condiciones de precio guardadas no se pueden leer"));
        }
        // The block and base price are kept twice: a row whose two copies differ is damaged.
        if (terms->minutes != row.rate.Minutos || terms->cents != row.rate.cents) {
            return refuse(QStringLiteral("las condiciones de precio guardadas no corresponden a la tarifa de la fila"));
        }
        row.terms = std::make_shared<const pricing::Terms>(*terms);
    }
    if (row.mode == StationMode::Prepago && !value("Pagado").isNull()) {
        if (!ratePrice(value("Pagado"), &row.paidCents)) {
            return refuse(QStringLiteral("el importe pagado no es de 0 a menos de 1000000000, con a lo sumo dos "
                                         "decimales"));
        }
    }
    check.row = row;
    return check;
}

Elapsed elapsedAtStart(const OpenRow &row, const ClockReading &now) {
    Elapsed e;
    const qint64 known = row.knownSeconds * 1000;
    const bool kept = !row.boot.isEmpty();
    // A boot clock behind the opening cannot be this boot's: the wall clock tells the time then.
    if (kept && row.boot == now.boot && now.bootMs >= row.bootMs) {
        e.sameBoot = true;
        e.ms = now.bootMs - row.bootMs;
    } else {
        const qint64 sinceOpening = row.openedUtc.msecsTo(now.wallUtc);
        const qint64 sinceSeen = row.seenUtc.msecsTo(now.wallUtc);
        e.wallBehind = sinceSeen < 0;
        // Two wall differences, from the opening and from the last sighting (plus the time known
        // then). One less than the time known shows its reading was wrong; of the others the
        // smaller: a wall clock wrong at the opening or at the last sighting, and right now,
        // does not count its error.
        e.ms = known;
        qint64 best = -1;
        for (const qint64 candidate : {sinceOpening, known + sinceSeen}) {
            if (candidate >= known && (best < 0 || candidate < best)) {
                best = candidate;
            }
        }
        if (best >= 0) {
            e.ms = best;
        }
    }
    if (row.timeKept) {
        e.downSeconds = std::max<qint64>(0, e.ms / 1000 - row.knownSeconds);
    }
    if (e.ms / 1000 > kMaxOpenSeconds) {
        e.problem = QStringLiteral("lleva más de un año abierto");
    }
    return e;
}

Restored restoreStation(const OpenRow &row, qint64 elapsedMs, qint64 nowMs) {
    Restored r;
    Station &s = r.station;
    if (row.mode == StationMode::Prepago) {
        choosePrepago(s, row.rate);
        setBlocks(s, row.blocks, row.rate);
        if (row.paidCents >= 0) {
            s.cents = row.paidCents;
        }
    } else {
        chooseContador(s);
    }
    s.controllers = row.controllers;
    s.terms = row.terms ? row.terms : std::make_shared<const pricing::Terms>(termsOf(row.rate));
    const qint64 elapsed = std::max<qint64>(0, elapsedMs);
    openStation(s, row.rate, nowMs - elapsed, row.apertura);
    s.discountCents = row.discountCents;
    s.courtesyMinutes = row.courtesyMinutes;
    s.minutes += row.courtesyMinutes; // as an extension while it ran counts them
    if (row.pausedRunMs >= 0) {
        // Still paused: it comes back with the time it had run, paused since now.
        s.pausedAtMs = nowMs;
        s.pausedMs = std::max<qint64>(0, elapsed - row.pausedRunMs);
    } else {
        s.pausedMs = std::min(row.pauseMs, elapsed);
    }
    r.ended = catchUp(s, nowMs).ended;
    return r;
}

QString spanText(qint64 minutes) {
    if (minutes < 60) {
        return QStringLiteral("%1 min").arg(minutes);
    }
    return QStringLiteral("%1 h %2 min").arg(minutes / 60).arg(minutes % 60);
}

QString restoredLabel(const Restored &r, const QString &name, const QDateTime &openedLocal, const QDate &today) {
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
        what = QStringLiteral("Prepago, quedan %1").arg(spanText((left + 59) / 60));
    }
    return QStringLiteral("%1 (%2)").arg(name, what);
}

QString downtimeText(const QList<Elapsed> &restored) {
    qint64 down = -1;
    for (const Elapsed &e : restored) {
        if (e.wallBehind) {
            return QStringLiteral("El reloj de la computadora marca una hora anterior a la última que vio el programa: "
                                  "no se sabe cuánto tiempo estuvo cerrado, y ese tiempo no se contó.");
        }
        if (e.downSeconds >= 0 && (down < 0 || e.downSeconds < down)) {
            down = e.downSeconds;
        }
    }
    if (down < 0) {
        return {};
    }
    return QStringLiteral("El programa estuvo cerrado %1; ese tiempo se contó en los puestos en curso.")
        .arg(down < 60 ? QStringLiteral("menos de 1 min") : spanText(down / 60));
}

QString restoreMessage(const RestoreReport &report) {
    QStringList parts;
    const QStringList &restored = report.restored;
    if (!restored.isEmpty()) {
        parts << (restored.size() == 1 ? QStringLiteral("Se recuperó 1 puesto en curso: ")
                                       : QStringLiteral("Se recuperaron %1 puestos en curso: ").arg(restored.size())) +
                     restored.join(QStringLiteral(", ")) + QLatin1Char('.');
        if (!report.downtime.isEmpty()) {
            parts << report.downtime;
        }
    }
    for (const QString &row : report.rejected) {
        parts << (report.setAside
                      ? QStringLiteral("No se puede recuperar un puesto en curso de la tabla PuestosAbiertos (%1). "
                                       "Se apartó a la tabla PuestosApartados y no volverá a abrirse.")
                      : QStringLiteral("No se puede recuperar un puesto en curso de la tabla PuestosAbiertos (%1). "
                                       "La fila quedó en la tabla sin cambios."))
                     .arg(row);
    }
    if (!report.cannotWrite.isEmpty() && !restored.isEmpty()) {
        parts << QStringLiteral("Estos puestos siguen contando, pero todavía no se pueden cerrar: %1")
                     .arg(report.cannotWrite);
    }
    return parts.join(QStringLiteral("\n\n"));
}

} // namespace stations
