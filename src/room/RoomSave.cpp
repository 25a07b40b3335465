#include "room/RoomSave.h"

#include "data/Database.h"
#include "data/DbError.h"
#include "data/Journal.h"
#include "data/NumberText.h"
#include "data/Statements.h"
#include "stations/StationMath.h"

#include <QStringList>

namespace room {

namespace {

struct Running {
    int number = 0;
    QString type; // empty: a rental of an earlier version, at plain terms
};

std::vector<Running> running(data::Database &db) {
    bool hasType = false;
    db.forEachRow(QStringLiteral("SELECT COUNT(*) FROM pragma_table_info('PuestosAbiertos') WHERE name = 'Consola'"),
                  [&hasType](const QVector<QVariant> &row) {
                      hasType = row.value(0).toLongLong() > 0;
                      return false;
                  });
    std::vector<Running> out;
    db.forEachRow(hasType ? QStringLiteral("SELECT Puesto, Consola FROM PuestosAbiertos ORDER BY Puesto")
                          : QStringLiteral("SELECT Puesto FROM PuestosAbiertos ORDER BY Puesto"),
                  [&out](const QVector<QVariant> &row) {
                      out.push_back({static_cast<int>(row[0].toLongLong()), row.value(1).toString()});
                      return true;
                  });
    return out;
}

const StationEntry *station(const Room &room, int number) {
    for (const StationEntry &entry : room.stations) {
        if (entry.number == number) {
            return &entry;
        }
    }
    return nullptr;
}

const ConsoleType *type(const Room &room, const QString &name) {
    for (const ConsoleType &entry : room.types) {
        if (entry.name == name) {
            return &entry;
        }
    }
    return nullptr;
}

QString text(const QString &value) {
    return QLatin1Char('\'') + statements::quoted(value) + QLatin1Char('\'');
}

QString price(qint64 cents) {
    return numtext::engineNumber(stations::pesosOf(cents));
}

// Why after cannot replace before while these rentals run; empty when it can.
QString refusal(const Room &before, const Room &after, const std::vector<Running> &rentals) {
    for (const ConsoleType &gone : before.types) {
        if (type(after, gone.name)) {
            continue;
        }
        for (const StationEntry &entry : after.stations) {
            if (entry.type == gone.name) {
                return QStringLiteral("No se puede quitar la consola «%1»: la usa el puesto «%2».")
                    .arg(gone.name, entry.name);
            }
        }
    }
    for (const Running &rental : rentals) {
        const StationEntry *was = station(before, rental.number);
        const StationEntry *now = station(after, rental.number);
        const QString name = was ? was->name : QStringLiteral("Puesto %1").arg(rental.number);
        if (was && !now) {
            return QStringLiteral("No se puede quitar el puesto «%1»: tiene un alquiler en curso.").arg(name);
        }
        if (was && now && was->type != now->type) {
            return QStringLiteral("No se puede cambiar la consola del puesto «%1»: tiene un alquiler en curso.")
                .arg(name);
        }
        if (!rental.type.isEmpty() && !type(after, rental.type)) {
            return QStringLiteral("No se puede quitar la consola «%1»: el puesto %2 tiene un alquiler en curso con "
                                  "ella.")
                .arg(rental.type)
                .arg(rental.number);
        }
    }
    return {};
}

QStringList writes(const Room &after) {
    QStringList out{QStringLiteral("DELETE FROM Periodos"), QStringLiteral("DELETE FROM Consolas"),
                    QStringLiteral("DELETE FROM Puestos")};
    for (size_t i = 0; i < after.types.size(); ++i) {
        const ConsoleType &t = after.types[i];
        // The first type's block and price are Tarifa's: kept there, never here.
        const bool first = i == 0;
        out << QStringLiteral("INSERT INTO Consolas (Nombre, Orden, Minutos, Pesos, Minimo, Tolerancia, Recargo) "
                              "VALUES (%1, %2, %3, %4, %5, %6, %7)")
                   .arg(text(t.name))
                   .arg(i)
                   .arg(first ? QStringLiteral("NULL") : QString::number(t.terms.minutes))
                   .arg(first ? QStringLiteral("NULL") : price(t.terms.cents))
                   .arg(t.terms.minimumBlocks)
                   .arg(t.terms.toleranceMinutes)
                   .arg(price(t.terms.controllerCents));
        for (const pricing::Period &p : t.terms.periods) {
            out << QStringLiteral("INSERT INTO Periodos (Consola, Nombre, Dias, Desde, Hasta, Pesos) "
                                  "VALUES (%1, %2, %3, %4, %5, %6)")
                       .arg(text(t.name), text(p.name))
                       .arg(p.days)
                       .arg(p.startMinute)
                       .arg(p.endMinute)
                       .arg(price(p.cents));
        }
    }
    for (const StationEntry &s : after.stations) {
        out << QStringLiteral("INSERT INTO Puestos (Numero, Nombre, Tipo) VALUES (%1, %2, %3)")
                   .arg(s.number)
                   .arg(text(s.name), text(s.type));
    }
    return out;
}

} // namespace

std::vector<int> runningStations(data::Database &db) {
    std::vector<int> out;
    for (const Running &rental : running(db)) {
        out.push_back(rental.number);
    }
    return out;
}

QString changeText(const Room &before, const Room &after) {
    QStringList parts{QStringLiteral("Puestos=%1").arg(after.stations.size())};
    for (const StationEntry &now : after.stations) {
        const StationEntry *was = station(before, now.number);
        if (!was) {
            parts << QStringLiteral("Agregado=%1 (%2)").arg(now.name, now.type);
            continue;
        }
        if (was->name != now.name) {
            parts << QStringLiteral("Renombrado=%1 > %2").arg(was->name, now.name);
        }
        if (was->type != now.type) {
            parts << QStringLiteral("Cambio de consola=%1: %2 > %3").arg(now.name, was->type, now.type);
        }
    }
    for (const StationEntry &was : before.stations) {
        if (!station(after, was.number)) {
            parts << QStringLiteral("Quitado=%1").arg(was.name);
        }
    }
    parts << QStringLiteral("Consolas=%1").arg(after.types.size());
    for (const ConsoleType &now : after.types) {
        const ConsoleType *was = type(before, now.name);
        if (!was) {
            parts << QStringLiteral("Consola agregada=%1").arg(now.name);
        } else if (!sameTerms(was->terms, now.terms)) {
            parts << QStringLiteral("Precios cambiados=%1").arg(now.name);
        }
    }
    for (const ConsoleType &was : before.types) {
        if (!type(after, was.name)) {
            parts << QStringLiteral("Consola quitada=%1").arg(was.name);
        }
    }
    return parts.join(QStringLiteral("; "));
}

QString saveRoom(data::Database &db, const Room &before, const Room &after, const QString &administrator,
                 const QDateTime &now) {
    try {
        QString problem;
        data::runInTransaction(db, [&] {
            // Read inside the write transaction: no rental opens between the check and the write.
            problem = refusal(before, after, running(db));
            if (problem.isEmpty()) {
                problem = checkRoom(after);
            }
            if (!problem.isEmpty()) {
                return;
            }
            for (const QString &sql : writes(after)) {
                db.execute(sql);
            }
            journal::append(db, now, administrator, journal::event::kRoomConfigured, 0, changeText(before, after));
        });
        return problem;
    } catch (const data::DbError &error) {
        return QStringLiteral("No se guardó la configuración del salón: ") + error.message();
    }
}

} // namespace room
