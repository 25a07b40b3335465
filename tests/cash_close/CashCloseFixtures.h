#pragma once

// Rentals written the way the main window records them, each with its journal entry, and a
// look at Caja.
#include "data/Database.h"
#include "data/JournalBooks.h"
#include "data/NumberText.h"
#include "data/Statements.h"

#include <QDate>
#include <QStringList>
#include <QTime>

namespace fixtures {

struct Rental {
    int puesto;
    QString usuario;
    QDate fecha;
    QTime hora;
    QString importe;                     // as the engine reads it
    QString horas = QStringLiteral("1"); // the duration is horas:25:00
    QString modo = QStringLiteral("Contador");
};

// One of the counter's operations, as the station board writes it.
struct Op {
    QDate fecha;
    QTime hora;
    QString tipo;
    QString usuario;
    QString autorizo;
    qint64 minutos;
    QString importe;
    QString motivo;
};

inline void record(const QString &path, const QList<Rental> &rentals) {
    auto db = data::Database::open(path);
    data::runInTransaction(*db, [&] {
        for (const Rental &r : rentals) {
            const QString hora = r.hora.toString(QStringLiteral("HH:mm:ss"));
            db->execute(statements::alquilerInsert(r.puesto, r.modo, r.usuario, r.fecha.day(),
                                                   statements::monthAbbrev(r.fecha.month()), r.fecha.year(), hora,
                                                   r.horas, QStringLiteral("25"), r.importe));
            journal::append(*db, QDateTime(r.fecha, r.hora), r.usuario, journal::event::kRentalRecorded, r.puesto,
                            journal::rentalDetail(QString::number(r.puesto), r.modo, r.usuario,
                                                  r.fecha.toString(Qt::ISODate), hora, r.horas, QStringLiteral("25"),
                                                  numtext::engineNumber(r.importe.toDouble())));
        }
    });
}

inline void record(const QString &path, const QList<Op> &ops) {
    auto db = data::Database::open(path);
    data::runInTransaction(*db, [&] {
        for (const Op &o : ops) {
            db->execute(statements::operacionInsert(o.fecha.toString(Qt::ISODate), o.hora.toString(Qt::ISODate), 2,
                                                    o.tipo, o.usuario, o.autorizo, o.minutos, o.importe, o.motivo));
        }
    });
}

// "yyyy-MM-dd HH:mm:ss Usuario Importe" for every row of Caja, sorted.
inline QStringList cajaRows(const QString &path) {
    auto db = data::Database::open(path);
    QStringList rows;
    for (auto rs = db->openRecordset(QStringLiteral("SELECT * FROM Caja")); !rs.isEof(); rs.moveNext()) {
        rows << QStringLiteral("%1 %2 %3 %4")
                    .arg(rs.field("Fecha").toDate().toString(Qt::ISODate),
                         rs.field("Hora").toTime().toString(Qt::ISODate), rs.field("Usuario").toString(),
                         QString::number(rs.field("Importe").toDouble()));
    }
    rows.sort();
    return rows;
}

} // namespace fixtures
