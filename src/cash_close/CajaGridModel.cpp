#include "cash_close/CajaGridModel.h"

#include "data/NumberText.h"

#include <QLocale>
#include <QTime>

namespace {

struct GridColumn {
    const char *name;
    Qt::Alignment alignment;
};

const GridColumn kColumns[7] = {
    {"Puesto", Qt::AlignHCenter}, {"Modo", Qt::AlignLeft},    {"Usuario", Qt::AlignLeft},
    {"Fecha", Qt::AlignHCenter},  {"Hora", Qt::AlignHCenter}, {"Tiempo", Qt::AlignHCenter},
    {"Importe", Qt::AlignRight},
};

int kindOfName(const QString &name) {
    for (int c = 0; c < 7; ++c) {
        if (name.compare(QLatin1String(kColumns[c].name), Qt::CaseInsensitive) == 0) {
            return c;
        }
    }
    return -1;
}

// The regional time of day, always with its seconds.
QString regionalTime(const QTime &time) {
    const QLocale locale;
    QString format = locale.timeFormat(QLocale::ShortFormat);
    if (!format.contains(QLatin1String("ss"))) {
        format.replace(QLatin1String("mm"), QLatin1String("mm:ss"));
    }
    return locale.toString(time, format);
}

// A stored duration "01:25:00" shown as 1:25:00; hours may pass 23.
QString durationText(const QString &stored) {
    QString text = stored;
    while (text.size() > 7 && text.startsWith(QLatin1Char('0'))) {
        text.remove(0, 1);
    }
    return text;
}

QString cellText(int kind, const QVariant &value) {
    switch (kind) {
    case 0:
        return QString::number(value.toLongLong());
    case 3:
        return QLocale().toString(value.toDate(), QLocale::ShortFormat);
    case 4:
        return regionalTime(value.toTime());
    case 5:
        return durationText(value.toString());
    case 6:
        return numtext::toText(value.toDouble());
    default:
        return value.toString();
    }
}

} // namespace

Qt::Alignment CajaGridModel::alignmentOf(int kind) {
    return (kind >= 0 && kind < 7 ? kColumns[kind].alignment : Qt::AlignLeft) | Qt::AlignVCenter;
}

void CajaGridModel::load(data::Recordset &rows) {
    beginResetModel();
    names_ = rows.columnNames();
    kinds_.clear();
    for (const QString &name : std::as_const(names_)) {
        kinds_.push_back(kindOfName(name));
    }
    rows_.clear();
    rows_.reserve(rows.recordCount());
    for (rows.moveFirst(); !rows.isEof(); rows.moveNext()) {
        QVector<QVariant> row;
        row.reserve(names_.size());
        for (const QString &name : std::as_const(names_)) {
            row.push_back(rows.field(name));
        }
        rows_.push_back(std::move(row));
    }
    endResetModel();
}

int CajaGridModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int CajaGridModel::columnCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : static_cast<int>(names_.size());
}

QVariant CajaGridModel::data(const QModelIndex &index, int role) const {
    if (!index.isValid() || index.row() >= rows_.size() || index.column() >= names_.size()) {
        return {};
    }
    const int kind = kinds_[index.column()];
    if (role == Qt::DisplayRole) {
        return cellText(kind, rows_[index.row()][index.column()]);
    }
    if (role == Qt::TextAlignmentRole) {
        return static_cast<int>(alignmentOf(kind));
    }
    return {};
}

QVariant CajaGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && section >= 0 && section < names_.size()) {
        if (role == Qt::DisplayRole) {
            return names_[section];
        }
        if (role == Qt::TextAlignmentRole) {
            return static_cast<int>(alignmentOf(kinds_[section]));
        }
    }
    return QAbstractTableModel::headerData(section, orientation, role);
}
