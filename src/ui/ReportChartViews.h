#pragma once

#include "cash_close/ReportCharts.h"

#include <QImage>
#include <QWidget>
#include <algorithm>

// The pictures of a report. Each paints itself with the same code on screen and into an image
// of any size, so a saved picture is what the window showed, only larger.
class ReportChart : public QWidget {
    Q_OBJECT
public:
    ReportChart(const QString &title, QWidget *parent);

    const QString &title() const { return title_; }
    // The chart on white, at size pixels.
    QImage toImage(QSize size) const;
    // The chart on white within rect.
    void paint(QPainter &painter, const QRect &rect) const;

protected:
    void paintEvent(QPaintEvent *event) override;
    // The face the chart writes with at rect's size; the title is a third larger.
    QFont chartFont(const QRect &rect) const;
    // What is left of rect below the title.
    QRect bodyArea(const QRect &rect) const;
    void setEmpty(bool empty);
    // What an empty chart says.
    void setEmptyText(const QString &text) { emptyText_ = text; }

private:
    virtual void paintBody(QPainter &painter, const QRect &area) const = 0;

    QString title_;
    QString emptyText_;
    bool empty_ = true;
};

// Takings by hour of day (columns) and station (rows, one for each station of the report, by
// name), coloured by amount, with its scale.
class HeatMapChart final : public ReportChart {
    Q_OBJECT
public:
    explicit HeatMapChart(QWidget *parent);
    void setReport(const cash_close::Report &report);

protected:
    bool event(QEvent *event) override; // a cell's amount as its tool tip

private:
    struct Layout {
        QRectF cells;
        QRectF scale;
    };
    Layout layout(const QRect &area, const QFontMetricsF &metrics) const;
    void paintBody(QPainter &painter, const QRect &area) const override;
    int stationRows() const { return std::max(1, static_cast<int>(grid_.stations.size())); }

    cash_close::HourStationGrid grid_;
    qint64 low_ = 0;
    qint64 high_ = 0;
};

// One bar per operator, labelled with the name and the amount.
class OperatorBarsChart final : public ReportChart {
    Q_OBJECT
public:
    explicit OperatorBarsChart(QWidget *parent);
    void setReport(const cash_close::Report &report);

private:
    void paintBody(QPainter &painter, const QRect &area) const override;

    QVector<cash_close::Subtotal> operators_;
};

// Takings day by day over the whole period, with the dates along the bottom.
class DailyLineChart final : public ReportChart {
    Q_OBJECT
public:
    explicit DailyLineChart(QWidget *parent);
    void setReport(const cash_close::Report &report);

private:
    void paintBody(QPainter &painter, const QRect &area) const override;

    QVector<cash_close::DayTakings> days_;
};

// The differences of each operator's counted shifts over time: a line per operator, each shift a
// point at its close, with zero marked and a legend of the operators.
class DifferencesChart final : public ReportChart {
    Q_OBJECT
public:
    explicit DifferencesChart(QWidget *parent);
    void setReport(const cash_close::Report &report);
    // The colour of the i-th operator's line.
    static QColor seriesColor(qsizetype i);

private:
    void paintBody(QPainter &painter, const QRect &area) const override;

    QVector<cash_close::DifferenceSeries> series_;
};
