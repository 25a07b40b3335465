#pragma once

#include <QString>
#include <stdexcept>

namespace data {

// A failure of the database engine or of the statement text; what DAO raised with fail-on-error.
class DbError final : public std::runtime_error {
public:
    // code: the engine's primary result code (SQLITE_BUSY, SQLITE_FULL, ...), 0 when the
    // failure is not the engine's.
    explicit DbError(QString message, QString statement = {}, int code = 0);

    const QString &message() const { return message_; }
    const QString &statement() const { return statement_; }
    int code() const { return code_; }
    // Another connection holds the file's write lock: worth trying again in a moment.
    bool isBusy() const;
    // Spanish text for a message box: what failed and, when there is one, the statement.
    QString describe() const;

private:
    QString message_;
    QString statement_;
    int code_;
};

// The sentence a window shows when a write met a busy file.
QString busyText();

} // namespace data
