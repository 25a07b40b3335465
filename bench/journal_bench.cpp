// The journal's cost:
//  - what one entry adds to recording a rental: the rental's insert alone against the insert
//    and journal::append, each in a transaction of its own, on a copy of the delivered database;
//  - verifying a journal of a million entries together with the books behind them (a third of a
//    million rentals, their stations opened and closed, an owner's seal every thousand entries),
//    as --verify-journal does;
//  - one owner's seal, the key's derivation from the password included.
#include "data/Database.h"
#include "data/Journal.h"
#include "data/JournalBooks.h"
#include "data/Seal.h"
#include "data/Statements.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <sqlite3.h>
#include <stdexcept>
#include <vector>

namespace {

constexpr int kRentals = 400;
constexpr qint64 kEntries = 1'000'000;
constexpr int kLeftOpen = 5; // stations open at the end

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double processorSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

QString copyOfTemplate(const QTemporaryDir &folder, const QString &name) {
    const QString path = folder.filePath(name);
    if (!QFile::copy(QStringLiteral(LUDOMAT_TEMPLATE_DB), path)) {
        throw std::runtime_error("cannot copy the delivered database");
    }
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    return path;
}

QString rental(int n) {
    return statements::alquilerInsert(1 + n % 5, true, QStringLiteral("Admin"), 5, QStringLiteral("Dec"), 2026,
                                      QStringLiteral("14:05:09"), QStringLiteral("0"), QStringLiteral("40"),
                                      QStringLiteral("10"));
}

// Milliseconds per recorded rental, median of kRentals, alone and with its journal entry,
// taken in turns so both meet the disk in the same state.
void appendCost(const QString &path) {
    auto db = data::Database::open(path);
    std::vector<double> alone;
    std::vector<double> journalled;
    std::vector<double> appendOnly; // the append's own share, the commit's flush left out
    const QDateTime at(QDate(2026, 12, 5), QTime(14, 5, 9));
    for (int n = 0; n < kRentals; ++n) {
        QElapsedTimer clock;
        clock.start();
        data::runInTransaction(*db, [&] { db->execute(rental(n)); });
        alone.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
        clock.restart();
        data::runInTransaction(*db, [&] {
            db->execute(rental(n));
            QElapsedTimer own;
            own.start();
            journal::append(*db, at.addSecs(n), QStringLiteral("Admin"), journal::event::kRentalRecorded, 1 + n % 5,
                            QStringLiteral("$ 10"));
            appendOnly.push_back(static_cast<double>(own.nsecsElapsed()) / 1e6);
        });
        journalled.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
    }
    const double a = median(alone);
    const double j = median(journalled);
    std::printf("Recording a rental (median of %d, one transaction each): alone %.3f ms, with its journal entry "
                "%.3f ms, the entry adds %.3f ms (journal::append itself: %.3f ms)\n",
                kRentals, a, j, j - a, median(appendOnly));
}

void check(int rc, sqlite3 *db) {
    if (rc != SQLITE_OK && rc != SQLITE_DONE) {
        throw std::runtime_error(sqlite3_errmsg(db));
    }
}

// The books of a shop whose journal reaches kEntries entries, written as the program writes
// them: after the delivered first entry, the owner's key (through the program's own code), then
// rentals in threes of entries (the station opened, the rental recorded, the station closed) and
// a sign-in of the administrator sealed every thousand entries, in one transaction; the last
// five entries open the five stations, left open.
void fill(const QString &path) {
    const QDateTime start(QDate(2016, 1, 1), QTime(8, 0));
    const seal::Key key = *seal::Key::derive(QStringLiteral("clave del dueño"), seal::Derivation::fresh());
    {
        auto db = data::Database::open(path);
        data::runInTransaction(*db, [&] { seal::adopt(*db, key, start, QStringLiteral("Admin")); });
    }
    sqlite3 *db = nullptr;
    check(sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr), db);
    check(sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), db);
    sqlite3_stmt *insert = nullptr;
    sqlite3_stmt *rental = nullptr;
    check(sqlite3_prepare_v2(db, "INSERT INTO Registro VALUES (?,?,?,?,?,?,?)", -1, &insert, nullptr), db);
    check(sqlite3_prepare_v2(db, "INSERT INTO Alquiler VALUES (?,'Contador',?,?,?,'00:40:00',?)", -1, &rental, nullptr),
          db);
    sqlite3_stmt *open = nullptr;
    check(sqlite3_prepare_v2(db,
                             "INSERT INTO PuestosAbiertos (Puesto, Modo, Usuario, Apertura, Minutos, Pesos) VALUES "
                             "(?, 'Contador', ?, ?, 30, 10)",
                             -1, &open, nullptr),
          db);
    journal::Entry e;
    sqlite3_stmt *last = nullptr;
    check(sqlite3_prepare_v2(db, "SELECT Secuencia, Hash FROM Registro ORDER BY Secuencia DESC LIMIT 1", -1, &last,
                             nullptr),
          db);
    sqlite3_step(last);
    const qint64 first = sqlite3_column_int64(last, 0) + 1;
    QString previous = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(last, 1)));
    sqlite3_finalize(last);
    const auto add = [&](const QString &usuario, const QString &evento, int puesto, const QString &detalle) {
        e.secuencia += 1;
        e.usuario = usuario;
        e.evento = evento;
        e.puesto = puesto;
        e.detalle = detalle;
        e.hash = journal::entryHash(previous, e);
        const QByteArray texts[] = {e.instante.toUtf8(), e.usuario.toUtf8(), e.evento.toUtf8(), e.detalle.toUtf8(),
                                    e.hash.toUtf8()};
        sqlite3_bind_int64(insert, 1, e.secuencia);
        for (int t = 0; t < 3; ++t) {
            sqlite3_bind_text(insert, 2 + t, texts[t].constData(), -1, SQLITE_TRANSIENT);
        }
        if (e.puesto > 0) {
            sqlite3_bind_int(insert, 5, e.puesto);
        } else {
            sqlite3_bind_null(insert, 5);
        }
        sqlite3_bind_text(insert, 6, texts[3].constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 7, texts[4].constData(), -1, SQLITE_TRANSIENT);
        check(sqlite3_step(insert), db);
        sqlite3_reset(insert);
        previous = e.hash;
    };
    e.secuencia = first - 1;
    const qint64 body = kEntries - kLeftOpen;
    qint64 n = 0;
    for (; e.secuencia < body; ++n) {
        const QDateTime at = start.addSecs(n * 300);
        e.instante = journal::instantText(at);
        if (n % 333 == 0 && e.secuencia + 2 <= body) {
            add(QStringLiteral("Admin"), journal::event::kSignIn, 0, {});
            add(QStringLiteral("Admin"), journal::event::kSeal, 0,
                QStringLiteral("Secuencia=%1; Hash=%2; Huella=%3; Firma=%4")
                    .arg(e.secuencia)
                    .arg(previous, key.fingerprint(),
                         QString::fromLatin1(key.sign(seal::sealMessage(e.secuencia, previous)).toHex())));
            continue;
        }
        if (e.secuencia + 3 > body) {
            add(QStringLiteral("Admin"), journal::event::kChangeOfUser, 0, {});
            continue;
        }
        const int puesto = static_cast<int>(1 + n % 5);
        const QString usuario = n % 3 == 0 ? QStringLiteral("Ana") : QStringLiteral("Admin");
        const QString opened = at.toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ssZ"));
        const QString fecha = at.date().toString(Qt::ISODate);
        const QString hora = at.time().toString(QStringLiteral("HH:mm:ss"));
        const QString importe = QString::number(10 + n % 7);
        add(usuario, journal::event::kStationOpened, puesto,
            QStringLiteral("Modo=Contador; Tarifa=30 minutos por 10") + journal::openingSuffix(opened));
        add(usuario, journal::event::kRentalRecorded, puesto,
            journal::rentalDetail(QString::number(puesto), QStringLiteral("Contador"), usuario, fecha, hora,
                                  QStringLiteral("0"), QStringLiteral("40"), importe));
        add(usuario, journal::event::kStationClosed, puesto,
            QStringLiteral("Modo=Contador; Tiempo=0:40:00; Importe=%1").arg(importe) + journal::openingSuffix(opened));
        const QByteArray texts[] = {usuario.toUtf8(), fecha.toUtf8(), hora.toUtf8()};
        sqlite3_bind_int(rental, 1, puesto);
        for (int t = 0; t < 3; ++t) {
            sqlite3_bind_text(rental, 2 + t, texts[t].constData(), -1, SQLITE_TRANSIENT);
        }
        sqlite3_bind_int64(rental, 5, 10 + n % 7);
        check(sqlite3_step(rental), db);
        sqlite3_reset(rental);
    }
    // The five stations left open.
    for (int puesto = 1; puesto <= kLeftOpen; ++puesto) {
        const QDateTime at = start.addSecs(n * 300 + puesto);
        e.instante = journal::instantText(at);
        const QString opened = at.toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ssZ"));
        add(QStringLiteral("Admin"), journal::event::kStationOpened, puesto,
            QStringLiteral("Modo=Contador; Tarifa=30 minutos por 10") + journal::openingSuffix(opened));
        const QByteArray texts[] = {QByteArrayLiteral("Admin"), opened.toUtf8()};
        sqlite3_bind_int(open, 1, puesto);
        for (int t = 0; t < 2; ++t) {
            sqlite3_bind_text(open, 2 + t, texts[t].constData(), -1, SQLITE_TRANSIENT);
        }
        check(sqlite3_step(open), db);
        sqlite3_reset(open);
    }
    sqlite3_finalize(insert);
    sqlite3_finalize(rental);
    sqlite3_finalize(open);
    check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db);
    sqlite3_close(db);
}

void verifyCost(const QString &path) {
    QElapsedTimer clock;
    clock.start();
    fill(path);
    std::printf("Built a journal of %lld entries with its books in %.1f s\n", static_cast<long long>(kEntries),
                static_cast<double>(clock.elapsed()) / 1000.0);
    std::vector<double> times;
    std::vector<double> cpu; // the processor's time: what a machine shared with other work still shows
    journal::Verification v;
    for (int run = 0; run < 3; ++run) {
        const double cpuBefore = processorSeconds();
        clock.restart();
        v = journal::verifyFile(path);
        times.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e9);
        cpu.push_back(processorSeconds() - cpuBefore);
    }
    if (!v.ok || v.entries != kEntries || !v.booksChecked || !v.booksAgree() || v.lastSeal == 0) {
        throw std::runtime_error("the built journal does not verify: " + v.problem.toStdString() +
                                 v.differences.value(0).english().toStdString());
    }
    std::printf("Verifying %lld entries, %lld rentals and the rest of the books behind them, every seal (median of "
                "3): %.2f s (processor time %.2f s)\n",
                static_cast<long long>(kEntries), static_cast<long long>(v.rentals), median(times), median(cpu));
}

// One seal as the administrator's sign-in makes it: the key derived from the password with the
// stored salt, checked against the stored key, and the journal's last entry signed, committed.
void sealCost(const QString &path) {
    {
        auto db = data::Database::open(path);
        const seal::Key key = *seal::Key::derive(QStringLiteral("clave del dueño"), seal::Derivation::fresh());
        data::runInTransaction(*db,
                               [&] { seal::adopt(*db, key, QDateTime::currentDateTime(), QStringLiteral("Admin")); });
    }
    auto db = data::Database::open(path);
    std::vector<double> times;
    for (int run = 0; run < 5; ++run) {
        QElapsedTimer clock;
        clock.start();
        const std::optional<seal::Key> key = seal::keyFor(*db, QStringLiteral("clave del dueño"));
        data::runInTransaction(*db, [&] {
            if (!key || !seal::adopt(*db, *key, QDateTime::currentDateTime(), QStringLiteral("Admin"))) {
                throw std::runtime_error("the password does not give the stored key");
            }
            seal::sealLast(*db, *key, QDateTime::currentDateTime(), QStringLiteral("Admin"));
        });
        times.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e9);
    }
    std::printf("One owner's seal, the key's derivation included (median of 5): %.3f s\n", median(times));
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir folder;
    // --keep leaves the files behind for a closer look.
    if (app.arguments().contains(QStringLiteral("--keep"))) {
        folder.setAutoRemove(false);
        std::printf("Databases kept in %s\n", qPrintable(folder.path()));
    }
    try {
        appendCost(copyOfTemplate(folder, QStringLiteral("rentals.mdb")));
        sealCost(copyOfTemplate(folder, QStringLiteral("seal.mdb")));
        verifyCost(copyOfTemplate(folder, QStringLiteral("journal.mdb")));
    } catch (const data::DbError &error) {
        std::fprintf(stderr, "%s\n", qPrintable(error.describe()));
        return 1;
    } catch (const std::exception &error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
