#include "ui/CajaGridModel.h"

#include <QLocale>

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

QString cellText(int column, const cash_close::ReportRow &row) {
    switch (column) {
    case 0:
        return QString::number(row.puesto);
    case 1:
        return row.modo;
    case 2:
        return row.usuario;
    case 3:
        return QLocale().toString(row.fecha, QLocale::ShortFormat);
    case 4:
        return regionalTime(row.hora);
    case 5:
        return durationText(row.tiempo);
    default:
        return cash_close::moneyText(row.cents);
    }
}

} // namespace

Qt::Alignment CajaGridModel::alignmentOf(int column) {
    return (column >= 0 && column < 7 ? kColumns[column].alignment : Qt::AlignLeft) | Qt::AlignVCenter;
}

void CajaGridModel::load(const QVector<cash_close::ReportRow> &rows) {
    beginResetModel();
    rows_ = rows;
    endResetModel();
}

void CajaGridModel::clear() {
    load({});
}

int CajaGridModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int CajaGridModel::columnCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : 7;
}

QVariant CajaGridModel::data(const QModelIndex &index, int role) const {
    if (!index.isValid() || index.row() >= rows_.size() || index.column() >= 7) {
        return {};
    }
    if (role == Qt::DisplayRole) {
        return cellText(index.column(), rows_[index.row()]);
    }
    if (role == Qt::TextAlignmentRole) {
        return static_cast<int>(alignmentOf(index.column()));
    }
    return {};
}

QVariant CajaGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && section >= 0 && section < 7) {
        if (role == Qt::DisplayRole) {
            return QString::fromLatin1(kColumns[section].name);
        }
        if (role == Qt::TextAlignmentRole) {
            return static_cast<int>(alignmentOf(section));
        }
    }
    return QAbstractTableModel::headerData(section, orientation, role);
}
