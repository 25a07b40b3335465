#include "data/Restore.h"

#include "data/Backup.h"
#include "data/BackupRetention.h"
#include "data/Database.h"
#include "data/Journal.h"
#include "data/OutputTarget.h"
#include "data/Statements.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTemporaryFile>
#include <algorithm>

namespace data {

namespace {

const QString kKeptPrefix = QStringLiteral("antes-de-restaurar-");

// The application_id in the file's header (bytes 68 to 71), when it has a database's header.
std::optional<quint32> applicationId(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    const QByteArray head = file.read(100);
    if (head.size() < 100 || !head.startsWith(QByteArray("SQLite format 3\0", 16))) {
        return std::nullopt;
    }
    const auto *b = reinterpret_cast<const unsigned char *>(head.constData()) + 68;
    return quint32(b[0]) << 24 | quint32(b[1]) << 16 | quint32(b[2]) << 8 | b[3];
}

} // namespace

QDateTime copyMadeAt(const QString &path) {
    const QFileInfo file(path);
    QString name = file.fileName();
    if (name.startsWith(kKeptPrefix)) {
        name = QStringLiteral("ludomat-") + name.mid(kKeptPrefix.size());
    }
    const CopyName parsed = parseCopyName(name);
    return parsed.when.isValid() ? parsed.when : file.lastModified();
}

namespace {

// The next free name antes-de-restaurar-yyyyMMdd-HHmmss[-n].mdb in folder.
QString keptName(const QDir &folder, const QDateTime &now) {
    const QString stamp = now.toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString name = kKeptPrefix + stamp + QStringLiteral(".mdb");
    for (int n = 2; folder.exists(name); ++n) {
        name = kKeptPrefix + stamp + QStringLiteral("-%1.mdb").arg(n);
    }
    return folder.filePath(name);
}

QString refused(const QString &why) {
    return QStringLiteral("No se restauró la copia: ") + why;
}

// The copy as the books need it: the mark off, this version's tables (both done by a writable
// open), the stations it had open set aside, and the entry that says what happened.
void makeReady(const QString &staged, const QString &copy, const QString &kept, const QDateTime &now,
               const QString &usuario, const QString &how) {
    auto ready = Database::open(staged);
    runInTransaction(*ready, [&] {
        // A rental the copy saw running went on (or ended) in the books it replaces: it must not
        // come back counting from then at the next start.
        const QString instant = journal::instantText(now);
        const QString why = QStringLiteral("abierto en la copia restaurada %1").arg(copy);
        for (Recordset open = ready->openRecordset(statements::puestosAbiertosList()); !open.isEof(); open.moveNext()) {
            const qint64 fila = open.field(QStringLiteral("Fila")).toLongLong();
            const int puesto = open.field(QStringLiteral("Puesto")).toInt();
            ready->execute(statements::puestoApartar(fila, why, instant));
            ready->execute(statements::puestoAbiertoDeleteFila(fila));
            // Named as the start-up names a row it sets aside: the books' check rebuilds it so.
            const auto text = [&open](const char *column) { return open.field(QLatin1String(column)).toString(); };
            journal::append(*ready, now, usuario, journal::event::kStationSetAside, puesto,
                            QStringLiteral("Puesto=%1; Modo=%2; Usuario=%3; Apertura=%4; Motivo=%5")
                                .arg(text("Puesto"), text("Modo"), text("Usuario"), text("Apertura"), why));
        }
        journal::append(*ready, now, usuario, journal::event::kCopyRestored, 0,
                        QStringLiteral("Archivo=%1; Hecha=%2; Libros reemplazados guardados en %3; %4")
                            .arg(copy, copyMadeAt(copy).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), kept, how));
    });
    ready->close();
}

} // namespace

CopyInfo describeCopy(const QString &path) {
    const QFileInfo file(path);
    CopyInfo info{file.absoluteFilePath(), copyMadeAt(path), -1, {}};
    try {
        auto db = Database::open(path, {.readOnly = true});
        const Recordset summary = db->openRecordset(statements::alquilerSummary());
        info.rentals = summary.field(QStringLiteral("Alquileres")).toLongLong();
        info.lastRental = summary.field(QStringLiteral("Ultimo")).toDate();
    } catch (const DbError &) {
        // Listed all the same; the check before restoring says what is wrong with it.
    }
    return info;
}

QList<CopyInfo> listCopies(const QString &folder) {
    QList<CopyInfo> copies;
    const QFileInfoList files = QDir(folder).entryInfoList({QStringLiteral("*.mdb")}, QDir::Files);
    for (const QFileInfo &file : files) {
        copies << describeCopy(file.absoluteFilePath());
    }
    std::sort(copies.begin(), copies.end(), [](const CopyInfo &a, const CopyInfo &b) {
        return a.made != b.made ? a.made > b.made : a.path > b.path;
    });
    return copies;
}

QString restoreRefusal(const QString &copy, const QString &books) {
    const QFileInfo file(copy);
    if (!file.isFile()) {
        return QStringLiteral("%1 no es un archivo que se pueda leer.").arg(copy);
    }
    if (const QString inUse = QFileInfo(books).canonicalFilePath();
        !inUse.isEmpty() && file.canonicalFilePath() == inUse) {
        return QStringLiteral("%1 es la base de datos en uso, no una copia.").arg(copy);
    }
    const std::optional<quint32> mark = applicationId(copy);
    if (!mark) {
        return QStringLiteral("%1 no es una base de datos.").arg(copy);
    }
    if (*mark != kCopyMark) {
        return QStringLiteral("%1 no es una copia hecha por Ludomat (solo se restauran las copias que hace el "
                              "programa).")
            .arg(copy);
    }
    if (const QString verdict = checkCopy(copy); verdict != QLatin1String("ok")) {
        return QStringLiteral("la copia %1 está dañada (%2).").arg(copy, verdict);
    }
    try {
        Database::open(copy, {.readOnly = true})->close(); // the books' tables
        const journal::Verification chain = journal::verifyFile(copy);
        if (!chain.ok) {
            return QStringLiteral("el registro de eventos de la copia %1 no verifica (entrada %2: %3).")
                .arg(copy)
                .arg(chain.firstBad)
                .arg(chain.problem);
        }
        if (chain.booksChecked && !chain.booksAgree()) {
            return QStringLiteral("en la copia %1 %2.").arg(copy, chain.differences.front().spanish());
        }
    } catch (const DbError &error) {
        return QStringLiteral("la copia %1 no se puede usar: %2").arg(copy, error.message());
    }
    return {};
}

Restored restoreCopy(Database &live, const QString &copy, const QString &keptFolder, const QDateTime &now,
                     const QString &usuario, const QString &how) {
    const QString source = QFileInfo(copy).absoluteFilePath();
    if (const QString refusal = restoreRefusal(source, live.path()); !refusal.isEmpty()) {
        return {refused(refusal), {}};
    }
    try {
        QStringList open;
        for (Recordset rows = live.openRecordset(statements::puestosAbiertosList()); !rows.isEof(); rows.moveNext()) {
            open << QStringLiteral("Puesto %1").arg(rows.field(QStringLiteral("Puesto")).toString());
        }
        if (!open.isEmpty()) {
            return {refused(QStringLiteral("hay puestos en curso (%1). Ciérrelos antes de restaurar una copia.")
                                .arg(open.join(QStringLiteral(", ")))),
                    {}};
        }
    } catch (const DbError &error) {
        return {refused(error.describe()), {}};
    }
    if (!QDir().mkpath(keptFolder)) {
        return {refused(QStringLiteral("no se pudo crear la carpeta %1.").arg(keptFolder)), {}};
    }
    const QString kept = keptName(QDir(keptFolder), now);
    if (const QString failure = backupTo(live, kept); !failure.isEmpty()) {
        return {refused(QStringLiteral("antes hay que guardar los libros actuales, y eso falló. ") + failure), {}};
    }
    // Made ready beside the books, so the disk that takes them takes it.
    QTemporaryFile scratch(QFileInfo(live.path()).absolutePath() + QStringLiteral("/.ludomat-restaurar-XXXXXX"));
    if (!scratch.open()) {
        return {refused(scratch.errorString()), kept};
    }
    const QString staged = scratch.fileName();
    scratch.close();
    // Every connection on it is closed by then: what it leaves beside it goes with it.
    const auto dropSideFiles = qScopeGuard([&staged] {
        for (const char *suffix : {"-wal", "-shm", "-journal"}) {
            QFile::remove(staged + QLatin1String(suffix));
        }
    });
    try {
        Database::open(source, {.readOnly = true})->backupTo(staged);
        makeReady(staged, source, kept, now, usuario, how);
        if (const QString verdict = checkCopy(staged); verdict != QLatin1String("ok")) {
            return {refused(QStringLiteral("la copia preparada no pasó la verificación (%1).").arg(verdict)), kept};
        }
        live.restoreFrom(staged);
    } catch (const DbError &error) {
        return {refused(error.describe()), kept};
    }
    return {{}, kept};
}

} // namespace data
