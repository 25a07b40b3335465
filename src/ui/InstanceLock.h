#pragma once

#include <QLockFile>
#include <QString>
#include <memory>

namespace ui {

// One program per folder: a lock file beside the database, held for the whole run, so two
// copies never count the same stations. A lock left by a program that died is taken over.
class InstanceLock final {
public:
    explicit InstanceLock(const QString &programFolder);
    enum class Result { Acquired, HeldByAnother, Unavailable };
    // Unavailable: the folder takes no lock file (read-only); the program runs unguarded.
    Result acquire();
    static QString lockPath(const QString &programFolder);

private:
    std::unique_ptr<QLockFile> lock_;
};

} // namespace ui
