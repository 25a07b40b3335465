#include "data/Recordset.h"

#include "data/DbError.h"

#include <QDate>
#include <QTime>

namespace data {

Recordset::Recordset(QStringList columns, QVector<QVector<QVariant>> rows)
    : columns_(std::move(columns)), rows_(std::move(rows)), open_(true) {}

bool Recordset::isEof() const {
    return position_ >= rows_.size();
}

void Recordset::moveFirst() {
    position_ = 0;
}

void Recordset::moveNext() {
    // DAO refuses to step past EOF; a loop that does so has a bug worth seeing.
    if (isEof())
        throw DbError(QStringLiteral("No hay registro actual: el recordset ya está al final"));
    ++position_;
}

void Recordset::moveLast() {
    position_ = rows_.isEmpty() ? 0 : static_cast<int>(rows_.size()) - 1;
}

int Recordset::recordCount() const {
    return static_cast<int>(rows_.size());
}

QVariant Recordset::field(const QString &name) const {
    if (!open_)
        throw DbError(QStringLiteral("El recordset está cerrado"));
    qsizetype index = -1;
    for (qsizetype i = 0; i < columns_.size(); ++i) {
        if (columns_[i].compare(name, Qt::CaseInsensitive) == 0) {
            index = i;
            break;
        }
    }
    if (index < 0)
        throw DbError(QStringLiteral("No se encuentra el campo: ") + name);
    if (isEof())
        throw DbError(QStringLiteral("No hay registro actual (campo ") + name + QStringLiteral(")"));
    const QVariant &value = rows_[position_].value(index);
    // The file keeps dates and times as ISO text; the windows work with QDate and QTime.
    if (value.typeId() == QMetaType::QString) {
        const QString text = value.toString();
        // Fixed forms, read by position: a cash close reads these for every copied row.
        const auto number = [&text](qsizetype at, qsizetype length) {
            return QStringView(text).mid(at, length).toInt();
        };
        if (name.compare(QLatin1String("Fecha"), Qt::CaseInsensitive) == 0)
            return text.size() == 10 ? QDate(number(0, 4), number(5, 2), number(8, 2)) : QDate();
        if (name.compare(QLatin1String("Hora"), Qt::CaseInsensitive) == 0)
            return text.size() == 8 ? QTime(number(0, 2), number(3, 2), number(6, 2)) : QTime();
    }
    return value;
}

void Recordset::close() {
    open_ = false;
    rows_.clear();
    position_ = 0;
}

} // namespace data
