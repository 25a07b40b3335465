#pragma once

#include "cash_close/Report.h"

#include <QAbstractTableModel>

// The rows of the report for the grid, in Caja's seven columns, turned into their regional
// texts only when a cell is drawn, so a year's report shows at once.
class CajaGridModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    void load(const QVector<cash_close::ReportRow> &rows);
    void clear();

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    static Qt::Alignment alignmentOf(int column);

private:
    QVector<cash_close::ReportRow> rows_;
};
