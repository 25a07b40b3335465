#pragma once

#include <QString>
#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <sys/types.h>

namespace data {

// The process's one descriptor on a database file, shared by every handle on that file and
// kept open until the last of them is gone.
//
// Closing any descriptor of a file drops every POSIX lock the process holds on it, those of
// the engine's connections included; another program would then believe it is the last user,
// checkpoint and delete the -wal the connections still write to. So nothing outside the engine
// ever opens and closes the file while a connection is open: the header is read, the file's
// identity checked and the one-program lock taken through this descriptor alone.
class DatabaseFile final {
public:
    // The shared descriptor of the file the path names (found by device and inode, so a
    // symlink reaches the same one). Throws DbError when it cannot be read, and when the file
    // has more than one name: the engine names its -wal after the path it was given, so a hard
    // link would be a second -wal beside the same pages, and the books would come apart.
    static std::shared_ptr<DatabaseFile> acquire(const QString &path);
    ~DatabaseFile();
    DatabaseFile(const DatabaseFile &) = delete;
    DatabaseFile &operator=(const DatabaseFile &) = delete;

    // The first 16 bytes say "SQLite format 3".
    bool hasDatabaseHeader() const;

    // Why the file must not be written any more: the path no longer names the file that was
    // opened (removed, replaced), or it was truncated. Empty while all is well.
    QString changedOnDisk(const QString &path) const;
    // The path names nothing any more (the file was removed or moved away): one stat.
    static bool pathIsFree(const QString &path);

    // The file that took this one's place after it was removed and put back, once there is one.
    std::shared_ptr<DatabaseFile> successor() const;
    bool hasSuccessor() const { return hasSuccessor_.load(std::memory_order_acquire); }
    void setSuccessor(std::shared_ptr<DatabaseFile> next);

    // One program per file: an exclusive flock on the file itself, held until this object
    // goes. flock and the engine's POSIX locks are independent on Linux.
    enum class Claim { Taken, HeldElsewhere, Unsupported };
    Claim claimExclusive();
    // This process holds the one-program lock on the file.
    bool claimed() const { return claimed_; }
    // The process that holds the flock on this file, and its program's folder, when /proc says.
    struct Holder {
        qint64 pid = 0;
        QString programFolder;
    };
    std::optional<Holder> holder() const;

    dev_t device() const { return device_; }
    ino_t inode() const { return inode_; }

private:
    DatabaseFile(int fd, dev_t device, ino_t inode);
    int fd_;
    dev_t device_;
    ino_t inode_;
    bool claimed_ = false;
    mutable std::mutex successorMutex_;
    std::shared_ptr<DatabaseFile> successor_;
    std::atomic<bool> hasSuccessor_ = false;
};

// Gives a finished file (written under a temporary name in the same folder) its final name,
// only if that name is free: never over a file that is there, and never two names for the file
// where the file system can rename without replacing. 0, or the errno (EEXIST: the name is taken).
int placeNewFile(const QString &temporary, const QString &path);

} // namespace data
