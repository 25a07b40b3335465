#pragma once

#include <QMap>
#include <QString>
#include <QVector>
#include <vector>

namespace data {
class Database;
}
namespace stations {
struct StationSetup;
}

// What the reports call each station: its name and its console type, by the number its rentals
// carry. A number the room does not name (a station removed since, or a room never configured)
// is "Puesto N" of type "Consola", so no rental goes unnamed or uncounted.
namespace cash_close {

struct StationLabels {
    QMap<int, QString> names;
    QMap<int, QString> types;

    // The room as delivered: "Puesto 1" ... "Puesto 5", all of type "Consola".
    static StationLabels defaults();
    QString name(int number) const;
    QString type(int number) const;
    // The numbers the room names, ascending.
    QVector<int> numbers() const;
    // The station is called and typed as in the delivered room.
    bool plain(int number) const;
};

QString defaultStationName(int number);
QString defaultStationType();

// The room's stations as the board holds them.
StationLabels labelsOf(const std::vector<stations::StationSetup> &room);

// The room as the file keeps it (Puestos: Numero, Nombre, Tipo); the delivered room when the
// file has no such table or it is empty. Throws data::DbError when the table cannot be read.
StationLabels readStationLabels(data::Database &database);

} // namespace cash_close
