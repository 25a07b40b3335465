#include "data/DbError.h"

namespace data {

namespace {
std::string whatText(const QString &message, const QString &statement) {
    if (statement.isEmpty())
        return message.toStdString();
    return (message + QStringLiteral(" [") + statement + QStringLiteral("]")).toStdString();
}
} // namespace

DbError::DbError(QString message, QString statement)
    : std::runtime_error(whatText(message, statement)), message_(std::move(message)), statement_(std::move(statement)) {
}

QString DbError::describe() const {
    QString text = QStringLiteral("Error en la base de datos:\n") + message_;
    if (!statement_.isEmpty())
        text += QStringLiteral("\n\nInstrucción: ") + statement_;
    return text;
}

} // namespace data
