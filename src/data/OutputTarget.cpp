#include "data/OutputTarget.h"

#include <QFile>
#include <QFileInfo>
#include <QList>
#include <cstring>
#include <optional>
#include <sys/stat.h>

namespace data {

namespace {

const char *const kSideSuffixes[] = {"-wal", "-shm", "-journal"};

struct Identity {
    dev_t device = 0;
    ino_t inode = 0;
    bool operator==(const Identity &) const = default;
};

// The file a path leads to, links followed.
std::optional<Identity> identityOf(const QString &path) {
    struct stat st {};
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &st) != 0) {
        return std::nullopt;
    }
    return Identity{st.st_dev, st.st_ino};
}

// The path a write would reach: symlinks followed, even one that leads to nothing yet.
QString followLinks(const QString &path) {
    QString current = QFileInfo(path).absoluteFilePath();
    for (int hop = 0; hop < 40; ++hop) {
        const QFileInfo info(current);
        const QString next = info.isSymLink() ? info.symLinkTarget() : QString();
        if (next.isEmpty()) {
            break;
        }
        current = next;
    }
    return current;
}

// A file that exists, by its identity; one that does not, by its folder's identity and its name.
struct Place {
    std::optional<Identity> file;
    std::optional<Identity> folder;
    QString name;
};

Place placeOf(const QString &path) {
    const QFileInfo info(path);
    return {identityOf(path), identityOf(info.absolutePath()), info.fileName()};
}

bool samePlace(const Place &a, const Place &b) {
    if (a.file || b.file) {
        return a.file && b.file && *a.file == *b.file;
    }
    // Compared without case: on a file system that ignores it (a memory stick) both are one file.
    return a.folder && b.folder && *a.folder == *b.folder && a.name.compare(b.name, Qt::CaseInsensitive) == 0;
}

QByteArray firstBytes(const QString &path, qint64 count) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.read(count) : QByteArray();
}

bool isDatabase(const QByteArray &head) {
    return head.startsWith(QByteArray("SQLite format 3\0", 16));
}

bool isMarkedCopy(const QByteArray &head) {
    if (head.size() < 72) {
        return false;
    }
    const auto *bytes = reinterpret_cast<const unsigned char *>(head.constData()) + 68; // application_id
    return (quint32(bytes[0]) << 24 | quint32(bytes[1]) << 16 | quint32(bytes[2]) << 8 | bytes[3]) == kCopyMark;
}

bool isWriteAheadLog(const QByteArray &head) {
    return head.startsWith("\x37\x7f\x06\x82") || head.startsWith("\x37\x7f\x06\x83");
}

} // namespace

QString outputRefusal(const QString &target, const QString &books) {
    const QString reached = followLinks(target);
    const Place place = placeOf(reached);
    if (!books.isEmpty()) {
        // The books' own name and, when it is a link, the name the engine names its side files after.
        QStringList names{QFileInfo(books).absoluteFilePath()};
        if (const QString real = QFileInfo(books).canonicalFilePath(); !real.isEmpty() && real != names.first()) {
            names << real;
        }
        for (const QString &name : std::as_const(names)) {
            if (samePlace(place, placeOf(name))) {
                return QStringLiteral("es la base de datos en uso (%1): ninguna copia ni exportación se escribe "
                                      "sobre ella")
                    .arg(books);
            }
            for (const char *suffix : kSideSuffixes) {
                if (samePlace(place, placeOf(name + QLatin1String(suffix)))) {
                    return QStringLiteral("es un archivo de la base de datos en uso (%1): ninguna copia ni "
                                          "exportación se escribe sobre él")
                        .arg(books);
                }
            }
        }
    }
    if (place.file) {
        const QByteArray head = firstBytes(reached, 100);
        if (isDatabase(head) && !isMarkedCopy(head)) {
            return QStringLiteral("ya existe y es una base de datos que no es una copia hecha por Ludomat: no se "
                                  "reemplaza; elija otro nombre");
        }
        if (isWriteAheadLog(head)) {
            return QStringLiteral("ya existe y guarda los cambios pendientes (-wal) de una base de datos: no se "
                                  "reemplaza; elija otro nombre");
        }
    }
    for (const char *suffix : kSideSuffixes) {
        if (reached.endsWith(QLatin1String(suffix), Qt::CaseInsensitive)) {
            const QString base = reached.chopped(static_cast<qsizetype>(std::strlen(suffix)));
            if (isDatabase(firstBytes(base, 16))) {
                return QStringLiteral("es un archivo auxiliar de la base de datos %1: no se reemplaza; elija otro "
                                      "nombre")
                    .arg(base);
            }
        }
    }
    return {};
}

} // namespace data
