#pragma once

// Rentals written the way the main window records them, and a look at Caja.
#include "data/Database.h"
#include "data/Statements.h"

#include <QDate>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStringList>
#include <QTime>

namespace fixtures {

struct Rental {
    int puesto;
    QString usuario;
    QDate fecha;
    QTime hora;
    QString importe; // as the engine reads it
    bool contador = true;
    QString horas = QStringLiteral("1");
    QString minutos = QStringLiteral("25");
};

inline void record(data::Database &db, const Rental &r) {
    db.execute(statements::alquilerInsert(r.puesto, r.contador, r.usuario, r.fecha.day(),
                                          statements::monthAbbrev(r.fecha.month()), r.fecha.year(),
                                          r.hora.toString(QStringLiteral("HH:mm:ss")), r.horas, r.minutos, r.importe));
}

inline void record(const QString &path, const QList<Rental> &rentals) {
    auto db = data::Database::open(path);
    for (const Rental &r : rentals) {
        record(*db, r);
    }
    db->close();
}

// "yyyy-MM-dd HH:mm:ss Usuario Importe" for every row of Caja, in table order.
inline QStringList cajaRows(const QString &path) {
    auto db = data::Database::open(path);
    data::Recordset rs = db->openRecordset(QStringLiteral("SELECT * FROM Caja"));
    QStringList rows;
    for (; !rs.isEof(); rs.moveNext()) {
        rows << QStringLiteral("%1 %2 %3 %4")
                    .arg(rs.field(QStringLiteral("Fecha")).toDate().toString(Qt::ISODate),
                         rs.field(QStringLiteral("Hora")).toTime().toString(QStringLiteral("HH:mm:ss")),
                         rs.field(QStringLiteral("Usuario")).toString(),
                         QString::number(rs.field(QStringLiteral("Importe")).toDouble()));
    }
    db->close();
    rows.sort();
    return rows;
}

// Raw SQL on the file, past the Jet dialect: for faults the program's own statements cannot make.
inline void rawSql(const QString &path, const QString &sql) {
    {
        QSqlDatabase raw = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("fixture-raw"));
        raw.setDatabaseName(path);
        if (!raw.open() || !QSqlQuery(raw).exec(sql)) {
            qFatal("raw statement failed: %s", qPrintable(sql));
        }
        raw.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("fixture-raw"));
}

} // namespace fixtures
