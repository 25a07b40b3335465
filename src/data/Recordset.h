#pragma once

#include <QStringList>
#include <QVariant>
#include <QVector>

namespace data {

// The rows of one SELECT, read whole when it was opened so no cursor holds the file.
// Positioned on the first row, or at the end when empty.
class Recordset final {
public:
    Recordset() = default;
    Recordset(QStringList columns, QVector<QVector<QVariant>> rows);

    bool isEof() const; // past the last row (DAO's EOF)
    void moveFirst();
    void moveNext();
    void moveLast();
    int recordCount() const;
    // Value of a column of the current row, found without regard to case.
    // Fecha reads as QDate, Hora as QTime, Tiempo as its stored text ("01:25:00"),
    // numbers as qlonglong or double, texts as QString. Throws DbError on an unknown
    // column or when past the end.
    QVariant field(const QString &name) const;
    const QStringList &columnNames() const { return columns_; }
    void close();
    bool isOpen() const { return open_; }

private:
    QStringList columns_;
    QVector<QVector<QVariant>> rows_;
    int position_ = 0;
    bool open_ = false;
};

} // namespace data
