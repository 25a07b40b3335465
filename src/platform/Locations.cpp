#include "platform/Locations.h"

#include "data/DatabaseFile.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <cerrno>
#include <optional>
#include <unistd.h>

namespace sys {

namespace {

const QString kDatabase = QStringLiteral("dbLudomat.mdb");
const QString kAlarm = QStringLiteral("queen.wav");
// A first start's copy of the template, left behind when that start was cut short.
const QString kSeedPattern = QStringLiteral("dbLudomat.*.nueva");

bool writableFolder(const QString &folder) {
    return ::access(QFile::encodeName(folder).constData(), W_OK | X_OK) == 0;
}

// What the folder holds, our own unfinished seeds left out.
QStringList heldIn(const QString &folder) {
    const QDir dir(folder);
    QStringList held = dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    const QRegularExpression seed(QRegularExpression::wildcardToRegularExpression(kSeedPattern));
    held.removeIf([&seed](const QString &name) { return seed.match(name).hasMatch(); });
    return held;
}

// The newest copy in folder and when it was made (its name says: ludomat-yyyyMMdd-HHmmss).
struct Copy {
    QString path;
    QDateTime made;
};
std::optional<Copy> newestCopy(const QString &folder) {
    std::optional<Copy> newest;
    const QFileInfoList copies = QDir(folder).entryInfoList({QStringLiteral("*.mdb")}, QDir::Files);
    for (const QFileInfo &copy : copies) {
        QDateTime made = QDateTime::fromString(copy.fileName().mid(8, 15), QStringLiteral("yyyyMMdd-HHmmss"));
        if (!copy.fileName().startsWith(QLatin1String("ludomat-")) || !made.isValid()) {
            made = copy.lastModified();
        }
        if (!newest || made > newest->made) {
            newest = Copy{copy.absoluteFilePath(), made};
        }
    }
    return newest;
}

} // namespace

QString Locations::database() const {
    return QDir(dataFolder).filePath(kDatabase);
}

QString Locations::alarm() const {
    const QString own = QDir(dataFolder).filePath(kAlarm);
    return QFileInfo::exists(own) || sharedFolder.isEmpty() ? own : QDir(sharedFolder).filePath(kAlarm);
}

QString Locations::backups() const {
    return QDir(dataFolder).filePath(QStringLiteral("copias"));
}

QString Locations::databaseTemplate() const {
    return QDir(sharedFolder).filePath(kDatabase);
}

Locations locate(const LocationChoice &choice) {
    Locations where;
    where.sharedFolder = QDir::cleanPath(choice.programFolder + QStringLiteral("/../share/ludomat"));
    if (!choice.explicitFolder.isEmpty()) {
        where.dataFolder = QDir(choice.explicitFolder).absolutePath();
    } else if (QFileInfo::exists(QDir(choice.programFolder).filePath(kDatabase)) &&
               writableFolder(choice.programFolder)) {
        where.dataFolder = choice.programFolder;
    } else {
        where.dataFolder = choice.userFolder;
    }
    return where;
}

QString askedDataFolder(const QString &dataDirArgument) {
    return dataDirArgument.isEmpty() ? qEnvironmentVariable("LUDOMAT_DATA_DIR") : dataDirArgument;
}

Locations locateProgram(const QString &askedFolder) {
    LocationChoice choice;
    choice.explicitFolder = askedFolder;
    choice.programFolder = QCoreApplication::applicationDirPath();
    choice.userFolder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    return locate(choice);
}

QString prepare(const Locations &where, bool createFolder) {
    const QFileInfo folder(where.dataFolder);
    if (!folder.exists()) {
        if (!createFolder) {
            return QStringLiteral("La carpeta de datos %1 no existe.").arg(where.dataFolder);
        }
        if (!QDir().mkpath(where.dataFolder)) {
            return QStringLiteral("No se pudo crear la carpeta de datos %1.").arg(where.dataFolder);
        }
    } else if (!folder.isDir()) {
        return QStringLiteral("%1 no es una carpeta: no puede guardar los datos de Ludomat.").arg(where.dataFolder);
    }
    if (QFileInfo::exists(where.database())) {
        return {};
    }
    if (QString missing = missingBooks(where); !missing.isEmpty()) {
        return missing;
    }
    // The first start in this folder: a fresh copy of the delivered database.
    QFile source(where.databaseTemplate());
    if (!source.open(QIODevice::ReadOnly)) {
        return QStringLiteral("No se encuentra la base de datos de fábrica %1 (%2): reinstale el programa.")
            .arg(where.databaseTemplate(), source.errorString());
    }
    QTemporaryFile copy(QDir(where.dataFolder).filePath(QStringLiteral("dbLudomat.XXXXXX.nueva")));
    if (!copy.open()) {
        return QStringLiteral("No se pudo escribir en la carpeta de datos %1: %2")
            .arg(where.dataFolder, copy.errorString());
    }
    const QByteArray bytes = source.readAll();
    if (copy.write(bytes) != bytes.size() || !copy.flush() || ::fsync(copy.handle()) != 0) {
        return QStringLiteral("No se pudo copiar la base de datos de fábrica en %1: %2")
            .arg(where.dataFolder, copy.errorString());
    }
    copy.close();
    // Never over a file: if another start made the books meanwhile, those stay.
    if (const int error = data::placeNewFile(copy.fileName(), where.database()); error == 0) {
        copy.setAutoRemove(false);
    } else if (error != EEXIST) {
        return QStringLiteral("No se pudo crear la base de datos %1.").arg(where.database());
    }
    QFile::setPermissions(where.database(), QFile::ReadOwner | QFile::WriteOwner);
    return {};
}

QString missingBooks(const Locations &where) {
    const QFileInfo books(where.database());
    if (books.exists() || !QFileInfo(where.dataFolder).isDir()) {
        return {};
    }
    const QStringList held = heldIn(where.dataFolder);
    if (held.isEmpty()) {
        return {};
    }
    const QStringList shown = held.size() > 4 ? held.mid(0, 4) << QStringLiteral("…") : held;
    QString text =
        QStringLiteral("Faltan los libros del negocio: no está el archivo %1 en la carpeta de datos %2, y la "
                       "carpeta no está vacía (tiene %3). El programa no empieza con libros nuevos en su "
                       "lugar.\n\n")
            .arg(kDatabase, where.dataFolder, shown.join(QStringLiteral(", ")));
    if (const std::optional<Copy> copy = newestCopy(where.backups())) {
        text += QStringLiteral("La copia más reciente es %1, del %2. Para volver a ella: saque de la carpeta los "
                               "archivos %3-wal y %3-shm si están (guárdelos: son de los libros que faltan, y junto "
                               "a la copia se mezclarían con ella), copie la copia en %4 con el nombre %3 y abra el "
                               "programa otra vez.")
                    .arg(copy->path, copy->made.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss")), kDatabase,
                         where.dataFolder);
    } else {
        text += QStringLiteral("No hay copias en %1. Si el archivo se movió, vuelva a ponerlo en su lugar; para "
                               "empezar con libros nuevos, use una carpeta vacía.")
                    .arg(where.backups());
    }
    // A put-back of removed books that a crash cut short: newer than any copy, if it is whole.
    for (const QString &name : held) {
        if (name.startsWith(QLatin1String(".dbLudomat-restituida-"))) {
            text += QStringLiteral("\n\nTambién está %1, una restitución de los libros que no terminó: es más reciente "
                                   "que las copias; compruébela (PRAGMA integrity_check) antes de usarla.")
                        .arg(QDir(where.dataFolder).filePath(name));
        }
    }
    return text;
}

} // namespace sys
