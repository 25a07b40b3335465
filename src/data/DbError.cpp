#include "data/DbError.h"

#include <sqlite3.h>

namespace data {

namespace {
std::string whatText(const QString &message, const QString &statement) {
    if (statement.isEmpty())
        return message.toStdString();
    return (message + QStringLiteral(" [") + statement + QStringLiteral("]")).toStdString();
}
// The failures an operator can do something about, said in Spanish first; the engine's own
// text follows.
QString plainCause(int code, const QString &message) {
    if (code == SQLITE_FULL || message.contains(QLatin1String("database or disk is full"), Qt::CaseInsensitive))
        return QStringLiteral("El disco está lleno: no se pudo guardar nada. Libere espacio en el disco.\n");
    if (code == SQLITE_READONLY || message.contains(QLatin1String("readonly database"), Qt::CaseInsensitive))
        return QStringLiteral("La base de datos es de solo lectura: no se pudo guardar nada. Revise los permisos "
                              "del archivo y de su carpeta.\n");
    if (code == SQLITE_BUSY || code == SQLITE_LOCKED)
        return busyText() + QLatin1Char('\n');
    return {};
}
} // namespace

DbError::DbError(QString message, QString statement, int code)
    : std::runtime_error(whatText(message, statement)), message_(std::move(message)), statement_(std::move(statement)),
      code_(code & 0xff) {}

bool DbError::isBusy() const {
    return code_ == SQLITE_BUSY || code_ == SQLITE_LOCKED;
}

QString DbError::describe() const {
    QString text = QStringLiteral("Error en la base de datos:\n") + plainCause(code_, message_) + message_;
    if (!statement_.isEmpty())
        text += QStringLiteral("\n\nInstrucción: ") + statement_;
    return text;
}

QString busyText() {
    return QStringLiteral("La base de datos está ocupada; intente de nuevo en un momento.");
}

} // namespace data
