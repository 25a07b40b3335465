#pragma once

// Rentals written the way the main window records them, and a look at Caja.
#include "data/Database.h"
#include "data/Statements.h"

#include <QDate>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStringList>
#include <QTest>
#include <QTime>

namespace fixtures {

struct Rental {
    int puesto;
    QString usuario;
    QDate fecha;
    QTime hora;
    QString importe;                     // as the engine reads it
    QString horas = QStringLiteral("1"); // the duration is horas:25:00
};

inline void record(const QString &path, const QList<Rental> &rentals) {
    auto db = data::Database::open(path);
    for (const Rental &r : rentals) {
        db->execute(statements::alquilerInsert(
            r.puesto, true, r.usuario, r.fecha.day(), statements::monthAbbrev(r.fecha.month()), r.fecha.year(),
            r.hora.toString(QStringLiteral("HH:mm:ss")), r.horas, QStringLiteral("25"), r.importe));
    }
}

// "yyyy-MM-dd HH:mm:ss Usuario Importe" for every row of Caja, sorted.
inline QStringList cajaRows(const QString &path) {
    auto db = data::Database::open(path);
    QStringList rows;
    for (auto rs = db->openRecordset(QStringLiteral("SELECT * FROM Caja")); !rs.isEof(); rs.moveNext()) {
        const auto f = [&rs](const char *name) { return rs.field(QString::fromLatin1(name)); };
        rows << QStringLiteral("%1 %2 %3 %4")
                    .arg(f("Fecha").toDate().toString(Qt::ISODate), f("Hora").toTime().toString(Qt::ISODate),
                         f("Usuario").toString(), QString::number(f("Importe").toDouble()));
    }
    rows.sort();
    return rows;
}

// A trigger that refuses inserting into Caja the rows matching `when`, set past the Jet dialect.
inline void refuseCajaRows(const QString &path, const QString &when) {
    {
        QSqlDatabase raw = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("fixture-raw"));
        raw.setDatabaseName(path);
        QVERIFY(raw.open());
        QVERIFY(QSqlQuery(raw).exec(QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON Caja WHEN %1 "
                                                   "BEGIN SELECT RAISE(ABORT, 'refused'); END")
                                        .arg(when)));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("fixture-raw"));
}

} // namespace fixtures
