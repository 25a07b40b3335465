#include "ui/Locations.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <unistd.h>

namespace ui {

namespace {

const QString kDatabase = QStringLiteral("dbLudomat.mdb");
const QString kAlarm = QStringLiteral("queen.wav");

bool writableFolder(const QString &folder) {
    return ::access(QFile::encodeName(folder).constData(), W_OK | X_OK) == 0;
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

Locations locateProgram(const QString &dataDirArgument) {
    LocationChoice choice;
    choice.explicitFolder = dataDirArgument.isEmpty() ? qEnvironmentVariable("LUDOMAT_DATA_DIR") : dataDirArgument;
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
    // A hard link never replaces: if another start made the file meanwhile, that one stays.
    if (::link(QFile::encodeName(copy.fileName()).constData(), QFile::encodeName(where.database()).constData()) != 0 &&
        !QFileInfo::exists(where.database())) {
        return QStringLiteral("No se pudo crear la base de datos %1.").arg(where.database());
    }
    QFile::setPermissions(where.database(), QFile::ReadOwner | QFile::WriteOwner);
    return {};
}

} // namespace ui
