#pragma once

#include "data/Recordset.h"

#include <QAbstractTableModel>
#include <QVector>

// The rows of Caja for the grid, held as read and turned into their regional texts only when
// a cell is drawn, so a year's report shows at once.
class CajaGridModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    // Takes every row of the result set (read whole already).
    void load(data::Recordset &rows);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // The grid's own columns, in table order: -1 for a column it does not know.
    int kindOf(int column) const { return kinds_.value(column, -1); }
    static Qt::Alignment alignmentOf(int kind);

private:
    QStringList names_;
    QVector<int> kinds_;
    QVector<QVector<QVariant>> rows_;
};
