#pragma once

#include <QString>
#include <memory>

namespace data {
class DatabaseFile;
}

namespace sys {

// One program per database file, whatever path reaches it (a symlink, a hard link, another
// folder): an exclusive flock on the file itself, held for the whole run. It dies with the
// process, so nothing left behind by a copy that crashed can block the next start.
class InstanceLock final {
public:
    explicit InstanceLock(QString databasePath);
    ~InstanceLock();
    enum class Result { Acquired, HeldByAnother, Refused, Unavailable };
    // Refused: the file is there but must not be opened (it has a second name, it cannot be
    // read). Unavailable: the file is missing or takes no lock; the program runs unguarded and
    // its windows report the file.
    Result acquire();
    // Why the program does not start: the running copy's folder and process when the system
    // says, or why the file is refused.
    QString refusal() const;

private:
    QString path_;
    QString refused_;
    std::shared_ptr<data::DatabaseFile> file_;
};

} // namespace sys
