#include "data/DatabaseFile.h"

#include "data/DbError.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace data {

namespace {

std::mutex registryMutex;
std::map<std::pair<dev_t, ino_t>, std::weak_ptr<DatabaseFile>> &registry() {
    static std::map<std::pair<dev_t, ino_t>, std::weak_ptr<DatabaseFile>> files;
    return files;
}

QString systemError(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

bool readAt(int fd, char *buffer, size_t size, off_t offset) {
    return ::pread(fd, buffer, size, offset) == static_cast<ssize_t>(size);
}

// Two names for one file mean two -wal files for one set of pages.
void refuseSecondNames(const QString &path, nlink_t names) {
    if (names > 1) {
        throw DbError(
            QStringLiteral("El archivo de base de datos %1 tiene %2 nombres (enlaces duros). La base de datos "
                           "anota lo pendiente en un archivo -wal que lleva el nombre con que se la abrió: "
                           "con dos nombres habría dos -wal para los mismos datos y los libros se dañarían. "
                           "Deje un solo nombre (borre el otro con rm; los datos quedan en este) y vuelva a "
                           "intentarlo.")
                .arg(path)
                .arg(names));
    }
}

void syncFolder(const QString &path) {
    const int dir = ::open(QFile::encodeName(QFileInfo(path).absolutePath()).constData(), O_RDONLY | O_DIRECTORY);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

} // namespace

DatabaseFile::DatabaseFile(int fd, dev_t device, ino_t inode) : fd_(fd), device_(device), inode_(inode) {}

DatabaseFile::~DatabaseFile() {
    // The last handle on the file has gone, so no connection of this process holds a lock on it.
    ::close(fd_);
}

std::shared_ptr<DatabaseFile> DatabaseFile::acquire(const QString &path) {
    const QByteArray native = QFile::encodeName(path);
    struct stat st {};
    if (::stat(native.constData(), &st) != 0) {
        throw DbError(
            QStringLiteral("No se puede leer el archivo de base de datos %1: %2").arg(path, systemError(errno)));
    }
    const std::lock_guard<std::mutex> guard(registryMutex);
    auto &files = registry();
    const auto key = std::make_pair(st.st_dev, st.st_ino);
    if (auto found = files.find(key); found != files.end()) {
        if (auto alive = found->second.lock()) {
            struct stat now {};
            ::fstat(alive->fd_, &now);
            refuseSecondNames(path, now.st_nlink);
            return alive;
        }
    }
    const int fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        throw DbError(
            QStringLiteral("No se puede leer el archivo de base de datos %1: %2").arg(path, systemError(errno)));
    }
    struct stat opened {};
    ::fstat(fd, &opened);
    try {
        refuseSecondNames(path, opened.st_nlink);
    } catch (const DbError &) {
        ::close(fd);
        throw;
    }
    std::shared_ptr<DatabaseFile> file(new DatabaseFile(fd, opened.st_dev, opened.st_ino));
    files[std::make_pair(opened.st_dev, opened.st_ino)] = file;
    // Drop the entries of files long gone, so the map does not grow with every test folder.
    for (auto it = files.begin(); it != files.end();) {
        it = it->second.expired() ? files.erase(it) : std::next(it);
    }
    return file;
}

bool DatabaseFile::hasDatabaseHeader() const {
    char header[16];
    return readAt(fd_, header, sizeof header, 0) && std::memcmp(header, "SQLite format 3\0", 16) == 0;
}

QString DatabaseFile::changedOnDisk(const QString &path) const {
    struct stat now {};
    if (::stat(QFile::encodeName(path).constData(), &now) != 0) {
        return QStringLiteral("el archivo %1 ya no existe (fue borrado o movido mientras el programa lo usaba)")
            .arg(path);
    }
    if (now.st_dev != device_ || now.st_ino != inode_) {
        return QStringLiteral("el archivo %1 fue reemplazado por otro mientras el programa lo usaba").arg(path);
    }
    struct stat held {};
    if (::fstat(fd_, &held) != 0 || held.st_nlink == 0) {
        return QStringLiteral("el archivo %1 fue borrado mientras el programa lo usaba").arg(path);
    }
    // A database is whole pages after its header; a cut file is neither.
    unsigned char header[18];
    if (!readAt(fd_, reinterpret_cast<char *>(header), sizeof header, 0) ||
        std::memcmp(header, "SQLite format 3\0", 16) != 0) {
        return QStringLiteral("el archivo %1 fue truncado o sobrescrito mientras el programa lo usaba").arg(path);
    }
    const unsigned pageSize = header[16] == 0 && header[17] == 1 ? 65536u : (unsigned(header[16]) << 8) | header[17];
    if (pageSize < 512 || held.st_size < static_cast<off_t>(pageSize) || held.st_size % pageSize != 0) {
        return QStringLiteral("el archivo %1 fue truncado mientras el programa lo usaba").arg(path);
    }
    return {};
}

bool DatabaseFile::pathIsFree(const QString &path) {
    struct stat now {};
    return ::stat(QFile::encodeName(path).constData(), &now) != 0 && errno == ENOENT;
}

std::shared_ptr<DatabaseFile> DatabaseFile::successor() const {
    const std::lock_guard<std::mutex> guard(successorMutex_);
    return successor_;
}

void DatabaseFile::setSuccessor(std::shared_ptr<DatabaseFile> next) {
    const std::lock_guard<std::mutex> guard(successorMutex_);
    successor_ = std::move(next);
    hasSuccessor_.store(true, std::memory_order_release);
}

DatabaseFile::Claim DatabaseFile::claimExclusive() {
    if (claimed_) {
        return Claim::Taken;
    }
    if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) {
        claimed_ = true;
        return Claim::Taken;
    }
    return errno == EWOULDBLOCK ? Claim::HeldElsewhere : Claim::Unsupported;
}

std::optional<DatabaseFile::Holder> DatabaseFile::holder() const {
    // Lines such as "3: FLOCK  ADVISORY  WRITE 4242 fe:01:1311 0 EOF".
    QFile locks(QStringLiteral("/proc/locks"));
    if (!locks.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    const QString inode = QString::number(inode_);
    const QList<QByteArray> lines = locks.readAll().split('\n');
    for (const QByteArray &line : lines) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 6 || fields[1] != "FLOCK" || fields[3] != "WRITE") {
            continue;
        }
        const QList<QByteArray> id = fields[5].split(':');
        if (id.size() != 3 || QString::fromLatin1(id[2]) != inode) {
            continue;
        }
        bool ok = false;
        const unsigned major = id[0].toUInt(&ok, 16);
        const unsigned minor = ok ? id[1].toUInt(&ok, 16) : 0;
        if (!ok || major != ::major(device_) || minor != ::minor(device_)) {
            continue;
        }
        Holder h;
        h.pid = fields[4].toLongLong();
        const QString exe = QFileInfo(QStringLiteral("/proc/%1/exe").arg(h.pid)).symLinkTarget();
        if (!exe.isEmpty()) {
            h.programFolder = QFileInfo(exe).absolutePath();
        }
        return h;
    }
    return std::nullopt;
}

int placeNewFile(const QString &temporary, const QString &path) {
    const QByteArray from = QFile::encodeName(temporary);
    const QByteArray to = QFile::encodeName(path);
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0) {
        syncFolder(path);
        return 0;
    }
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) {
        return errno;
    }
    // A file system that cannot rename without replacing: a hard link never replaces either,
    // and the temporary name goes at once.
    if (::link(from.constData(), to.constData()) != 0) {
        return errno;
    }
    ::unlink(from.constData());
    syncFolder(path);
    return 0;
}

} // namespace data
