#pragma once

#include <QString>
#include <stdexcept>

namespace data {

// A failure of the database engine or of the statement text; what DAO raised with fail-on-error.
class DbError final : public std::runtime_error {
public:
    explicit DbError(QString message, QString statement = {});

    const QString &message() const { return message_; }
    const QString &statement() const { return statement_; }
    // Spanish text for a message box: what failed and, when there is one, the statement.
    QString describe() const;

private:
    QString message_;
    QString statement_;
};

} // namespace data
