#pragma once

#include "data/Journal.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <functional>
#include <memory>

// The books checked against the journal: every row of Alquiler has exactly one entry
// "Alquiler registrado" with its values, and no such entry lacks its row; the same for every row
// of Operaciones and its entry "Operación registrada"; every row of Tarifa is
// the last rate journaled; each account's stored password hash has the fingerprint of its last
// journal entry, and only the journal's administrator has codigo 0; ClavesProvisorias lists the
// accounts whose last entry gave them a password the administrator set; the open stations are
// the ones opened and not yet ended in the journal, each with the mode, blocks and rate it opened
// with; every row of PuestosApartados has its entry "Puesto apartado" and no such entry lacks its
// row; table Sello keeps the journal's last key. Not checked: Caja, the cash close's working
// copy, and Intentos, the throttle's count, written at every wrong password.
//
// Books kept before the journal covered them are taken as they stood, once, by an entry
// "Libros iniciados" written when a file first meets this check (the delivered file carries it
// as its first entry):
//   Alquileres previos=<rows without an entry>; Hasta=<local yyyy-MM-dd HH:mm:ss>;
//   Resumen=<SHA-256 over those rows>; Tarifa=<M minutos por P | ninguna>;
//   Administrador=<name>; Cuentas=<name>:<fingerprint>,...; Provisorias=<name>,...;
//   Abiertos=<puesto>@<apertura>@<modo>@<minutos>@<pesos>@<bloques>,...
// Names and the open stations' values there have '%', ';', ',', ':', '=', '@' and control
// characters written as %XX. A row without an entry dated up to Hasta belongs to that count and
// digest; one dated later is named as a row the journal does not account for.
namespace journal {

// The Detalle of "Alquiler registrado": the values as the row of Alquiler holds them (fecha
// yyyy-MM-dd, hora HH:mm:ss, the Tiempo's hours and minutes, Importe as the engine reads it).
QString rentalDetail(const QString &puesto, const QString &modo, const QString &usuario, const QString &fecha,
                     const QString &hora, const QString &horas, const QString &minutos, const QString &importe);

// The Detalle of "Operación registrada": the values as the row of Operaciones holds them (minutos
// and importe as the engine reads them).
QString operationDetail(const QString &fecha, const QString &hora, const QString &puesto, const QString &tipo,
                        const QString &usuario, const QString &autorizo, const QString &minutos, const QString &importe,
                        const QString &motivo);

// An account's fingerprint: the lowercase hex SHA-256 of its stored password hash, so the
// journal shows every change of the hash without holding it.
QString accountFingerprint(const QString &storedHash);
// "; Huella=<fingerprint>": the end of every entry that adds an account or sets its password.
QString fingerprintSuffix(const QString &storedHash);
// "; Apertura=<as stored>": the end of every entry that opens or ends an open station.
QString openingSuffix(const QString &apertura);

// What the journal says the books hold, gathered entry by entry as a verification walks it.
class BooksTally final {
public:
    BooksTally();
    ~BooksTally();
    BooksTally(const BooksTally &) = delete;
    BooksTally &operator=(const BooksTally &) = delete;

    // One entry as a walk reads it: its event and Detalle in UTF-8.
    void see(qint64 secuencia, QByteArrayView evento, int puesto, QByteArrayView detalle);
    // The opening an entry's Detalle names ("Apertura=<as stored>"); null when none.
    static QByteArrayView openingOf(QByteArrayView detalle);
    // Whether the journal covers the books: it holds "Libros iniciados".
    bool started() const;
    // Compares with the books, inside the caller's read transaction; uses the tally up.
    // sealKey/sealSalt: the journal's last key (hex salt), empty when none. At most limit
    // differences are listed; more counts the rest.
    QList<Difference> compare(data::Database &db, const QByteArray &sealKey, const QString &sealSalt,
                              const std::function<bool(qint64)> &progress, qint64 *rentals, qint64 *more,
                              int limit = 100);

private:
    friend void startBooks(data::Database &db, const QDateTime &when);
    struct State;
    std::unique_ptr<State> d_;
};

// Inside a write transaction: appends "Libros iniciados" with the books as they stand, unless
// the journal has one already. Walks the whole journal and Alquiler.
void startBooks(data::Database &db, const QDateTime &when);

} // namespace journal
