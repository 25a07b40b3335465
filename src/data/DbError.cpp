#include "data/DbError.h"

namespace data {

namespace {
std::string whatText(const QString &message, const QString &statement) {
    if (statement.isEmpty())
        return message.toStdString();
    return (message + QStringLiteral(" [") + statement + QStringLiteral("]")).toStdString();
}
// The engine's words for the failures an operator can do something about, said in Spanish
// first; the engine's own text follows.
QString plainCause(const QString &message) {
    if (message.contains(QLatin1String("database or disk is full"), Qt::CaseInsensitive))
        return QStringLiteral("El disco está lleno: no se pudo guardar nada. Libere espacio en el disco.\n");
    if (message.contains(QLatin1String("readonly database"), Qt::CaseInsensitive))
        return QStringLiteral("La base de datos es de solo lectura: no se pudo guardar nada. Revise los permisos "
                              "del archivo y de su carpeta.\n");
    return {};
}
} // namespace

DbError::DbError(QString message, QString statement)
    : std::runtime_error(whatText(message, statement)), message_(std::move(message)), statement_(std::move(statement)) {
}

QString DbError::describe() const {
    QString text = QStringLiteral("Error en la base de datos:\n") + plainCause(message_) + message_;
    if (!statement_.isEmpty())
        text += QStringLiteral("\n\nInstrucción: ") + statement_;
    return text;
}

} // namespace data
