#include "room/Room.h"

#include "data/Database.h"
#include "data/DbError.h"
#include "pricing/TermsCheck.h"
#include "stations/StationMath.h"

#include <algorithm>
#include <cmath>

namespace room {

namespace {

int whole(const QVariant &value) {
    return static_cast<int>(value.toLongLong());
}

// A stored price in cents; refused (-1, which checkRoom names) when it is not a price.
qint64 cents(const QVariant &value) {
    const double pesos = value.toDouble();
    if (!std::isfinite(pesos) || pesos < 0 || pesos >= stations::kMaxRatePesos) {
        return -1;
    }
    return stations::centsOf(pesos);
}

bool hasTable(data::Database &db, const char *table) {
    bool found = false;
    db.forEachRow(QStringLiteral("SELECT COUNT(*) FROM sqlite_master WHERE type = 'table' AND name = '%1'")
                      .arg(QLatin1String(table)),
                  [&found](const QVector<QVariant> &row) {
                      found = row.value(0).toLongLong() > 0;
                      return false;
                  });
    return found;
}

} // namespace

bool sameName(const QString &a, const QString &b) {
    return a.trimmed().compare(b.trimmed(), Qt::CaseInsensitive) == 0;
}

bool sameTerms(const pricing::Terms &a, const pricing::Terms &b) {
    if (a.minutes != b.minutes || a.cents != b.cents || a.minimumBlocks != b.minimumBlocks ||
        a.toleranceMinutes != b.toleranceMinutes || a.controllerCents != b.controllerCents ||
        a.periods.size() != b.periods.size()) {
        return false;
    }
    for (size_t i = 0; i < a.periods.size(); ++i) {
        const pricing::Period &p = a.periods[i];
        const pricing::Period &q = b.periods[i];
        if (p.name != q.name || p.days != q.days || p.startMinute != q.startMinute || p.endMinute != q.endMinute ||
            p.cents != q.cents) {
            return false;
        }
    }
    return true;
}

Room defaultRoom(const stations::Rate &tarifa) {
    Room room;
    pricing::Terms terms;
    terms.minutes = tarifa.Minutos;
    terms.cents = tarifa.cents;
    room.types.push_back({QStringLiteral("Consola"), terms});
    for (int n = 1; n <= stations::kStations; ++n) {
        room.stations.push_back({n, QStringLiteral("Puesto %1").arg(n), QStringLiteral("Consola")});
    }
    return room;
}

Room readRoom(data::Database &db, const stations::Rate &tarifa) {
    if (!hasTable(db, "Puestos") || !hasTable(db, "Consolas") || !hasTable(db, "Periodos")) {
        return defaultRoom(tarifa);
    }
    Room room;
    db.forEachRow(QStringLiteral("SELECT Numero, Nombre, Tipo FROM Puestos ORDER BY Numero"),
                  [&room](const QVector<QVariant> &row) {
                      room.stations.push_back({whole(row[0]), row[1].toString(), row[2].toString()});
                      return true;
                  });
    if (room.stations.empty()) {
        return defaultRoom(tarifa);
    }
    db.forEachRow(QStringLiteral("SELECT Nombre, Minutos, Pesos, Minimo, Tolerancia, Recargo FROM Consolas "
                                 "ORDER BY Orden, Nombre"),
                  [&room, &tarifa](const QVector<QVariant> &row) {
                      ConsoleType type{row[0].toString(), {}};
                      // The first type's block and price are Tarifa's, whatever its row says.
                      type.terms.minutes = room.types.empty() ? tarifa.Minutos : whole(row[1]);
                      type.terms.cents = room.types.empty() ? tarifa.cents : cents(row[2]);
                      type.terms.minimumBlocks = whole(row[3]);
                      type.terms.toleranceMinutes = whole(row[4]);
                      // A rate changed since to a block no longer than the tolerance leaves the
                      // tolerance inside the block, as the board does, rather than refusing the room.
                      if (room.types.empty() && type.terms.toleranceMinutes >= tarifa.Minutos)
                          type.terms.toleranceMinutes = std::max(0, tarifa.Minutos - 1);
                      type.terms.controllerCents = cents(row[5]);
                      room.types.push_back(std::move(type));
                      return true;
                  });
    db.forEachRow(QStringLiteral("SELECT Consola, Nombre, Dias, Desde, Hasta, Pesos FROM Periodos ORDER BY rowid"),
                  [&room](const QVector<QVariant> &row) {
                      for (ConsoleType &type : room.types) {
                          if (type.name == row[0].toString()) {
                              const qint64 days = row[2].toLongLong();
                              type.terms.periods.push_back(
                                  {row[1].toString(),
                                   static_cast<pricing::Weekdays>(days >= 0 && days <= 0xff ? days : 0xff),
                                   whole(row[3]), whole(row[4]), cents(row[5])});
                              return true;
                          }
                      }
                      throw data::DbError(
                          QStringLiteral("El período «%1» es de la consola «%2», que no está en la tabla Consolas.")
                              .arg(row[1].toString(), row[0].toString()));
                  });
    if (const QString problem = checkRoom(room); !problem.isEmpty()) {
        throw data::DbError(
            QStringLiteral("La configuración del salón guardada en %1 no se puede usar: %2").arg(db.path(), problem));
    }
    return room;
}

std::vector<stations::StationSetup> stationSetups(const Room &room) {
    std::vector<stations::StationSetup> setups;
    for (const StationEntry &station : room.stations) {
        for (size_t t = 0; t < room.types.size(); ++t) {
            if (room.types[t].name == station.type) {
                setups.push_back(
                    {station.number, station.name, station.type, static_cast<int>(t), room.types[t].terms});
                break;
            }
        }
    }
    std::sort(setups.begin(), setups.end(), [](const auto &a, const auto &b) { return a.number < b.number; });
    return setups;
}

QString checkRoom(const Room &room) {
    if (room.stations.empty() || room.stations.size() > static_cast<size_t>(stations::kMaxStations)) {
        return QStringLiteral("El salón debe tener de 1 a %1 puestos (tiene %2).")
            .arg(stations::kMaxStations)
            .arg(room.stations.size());
    }
    if (room.types.empty()) {
        return QStringLiteral("El salón debe tener al menos un tipo de consola.");
    }
    for (size_t i = 0; i < room.types.size(); ++i) {
        const ConsoleType &type = room.types[i];
        if (type.name.trimmed().isEmpty()) {
            return QStringLiteral("La consola %1 no tiene nombre.").arg(i + 1);
        }
        for (size_t j = 0; j < i; ++j) {
            if (sameName(room.types[j].name, type.name)) {
                return QStringLiteral("Hay dos consolas con el nombre «%1».").arg(type.name.trimmed());
            }
        }
        if (const QString problem = pricing::checkTerms(type.terms); !problem.isEmpty()) {
            return QStringLiteral("Consola «%1»: %2").arg(type.name.trimmed(), problem);
        }
    }
    for (size_t i = 0; i < room.stations.size(); ++i) {
        const StationEntry &station = room.stations[i];
        if (station.number < 1 || station.number > stations::kMaxStations) {
            return QStringLiteral("El número de puesto %1 no es válido: deben ser de 1 a %2.")
                .arg(station.number)
                .arg(stations::kMaxStations);
        }
        if (station.name.trimmed().isEmpty()) {
            return QStringLiteral("El puesto %1 no tiene nombre.").arg(station.number);
        }
        for (size_t j = 0; j < i; ++j) {
            if (room.stations[j].number == station.number) {
                return QStringLiteral("Hay dos puestos con el número %1.").arg(station.number);
            }
            if (sameName(room.stations[j].name, station.name)) {
                return QStringLiteral("Hay dos puestos con el nombre «%1».").arg(station.name.trimmed());
            }
        }
        const bool known = std::any_of(room.types.begin(), room.types.end(),
                                       [&station](const ConsoleType &type) { return type.name == station.type; });
        if (!known) {
            return QStringLiteral("El puesto «%1» es de la consola «%2», que no existe.")
                .arg(station.name.trimmed(), station.type);
        }
    }
    return {};
}

} // namespace room
