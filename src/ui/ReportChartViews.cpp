#include "ui/ReportChartViews.h"

#include "data/NumberText.h"

#include <QHelpEvent>
#include <QLinearGradient>
#include <QLocale>
#include <QPainter>
#include <QPainterPath>
#include <QToolTip>
#include <algorithm>
#include <cmath>

namespace {

const QColor kInk(40, 40, 40);
const QColor kRule(210, 210, 210);
const QColor kBar(70, 130, 180);
// Light for little, dark for much; the scale's gradient uses the same stops.
const QColor kHeat[3] = {QColor(255, 255, 204), QColor(253, 141, 60), QColor(189, 0, 38)};

// The program's own text: both decimals always.
QString pesos(qint64 cents) {
    return QStringLiteral("$ ") + numtext::amountText(cents);
}

QColor heat(double t) {
    const double x = std::clamp(t, 0.0, 1.0) * 2.0;
    const int i = std::min(1, static_cast<int>(x));
    const double f = x - i;
    const auto mix = [f](int a, int b) { return static_cast<int>(std::lround(a + (b - a) * f)); };
    return QColor(mix(kHeat[i].red(), kHeat[i + 1].red()), mix(kHeat[i].green(), kHeat[i + 1].green()),
                  mix(kHeat[i].blue(), kHeat[i + 1].blue()));
}

// A step of 1, 2 or 5 times a power of ten, in cents, at least rough.
qint64 niceStep(qint64 rough) {
    qint64 power = 1;
    while (power <= rough / 10) {
        power *= 10;
    }
    for (const qint64 m : {1, 2, 5}) {
        if (m * power >= rough) {
            return m * power;
        }
    }
    return 10 * power;
}

// How many labels of width labelWidth fit in slots of width slot: every nth is written.
int labelEvery(qreal labelWidth, qreal slot) {
    return slot <= 0 ? 1 : std::max(1, static_cast<int>(std::ceil(labelWidth / slot)));
}

} // namespace

ReportChart::ReportChart(const QString &title, QWidget *parent)
    : QWidget(parent), title_(title), emptyText_(QStringLiteral("Sin alquileres en el período.")) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

QImage ReportChart::toImage(QSize size) const {
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    paint(painter, image.rect());
    return image;
}

QFont ReportChart::chartFont(const QRect &rect) const {
    QFont face = font();
    face.setPixelSize(std::clamp(rect.height() / 46, 11, 18));
    return face;
}

QRect ReportChart::bodyArea(const QRect &rect) const {
    const QFont face = chartFont(rect);
    const int margin = face.pixelSize();
    const int titleHeight = face.pixelSize() * 2;
    return rect.adjusted(margin, 2 * margin + titleHeight, -margin, -margin);
}

void ReportChart::setEmpty(bool empty) {
    empty_ = empty;
    update();
}

void ReportChart::paint(QPainter &painter, const QRect &rect) const {
    painter.save();
    painter.setClipRect(rect);
    painter.fillRect(rect, Qt::white);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(kInk);
    const QFont face = chartFont(rect);
    QFont heading = face;
    heading.setPixelSize(face.pixelSize() * 4 / 3);
    heading.setBold(true);
    painter.setFont(heading);
    const QRect body = bodyArea(rect);
    painter.drawText(QRect(body.left(), rect.top(), body.width(), body.top() - rect.top()), Qt::AlignCenter, title_);
    painter.setFont(face);
    if (empty_) {
        painter.drawText(body, Qt::AlignCenter | Qt::TextWordWrap, emptyText_);
    } else if (body.width() > 4 * face.pixelSize() && body.height() > 4 * face.pixelSize()) {
        paintBody(painter, body);
    }
    painter.restore();
}

void ReportChart::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    paint(painter, rect());
}

// Heat map --------------------------------------------------------------------------------------

HeatMapChart::HeatMapChart(QWidget *parent) : ReportChart(QStringLiteral("Recaudación por hora y puesto"), parent) {}

void HeatMapChart::setReport(const cash_close::Report &report) {
    grid_ = cash_close::takingsByHourAndStation(report);
    low_ = grid_[0].value(0);
    high_ = low_;
    for (const auto &hour : grid_.cents) {
        for (const qint64 cents : hour) {
            low_ = std::min(low_, cents);
            high_ = std::max(high_, cents);
        }
    }
    setEmpty(report.rows.isEmpty());
}

HeatMapChart::Layout HeatMapChart::layout(const QRect &area, const QFontMetricsF &metrics) const {
    const qreal gap = metrics.height() / 2;
    // The names' column: the longest name, up to a quarter of the width (longer ones are cut).
    qreal names = 0;
    for (const QString &name : grid_.names) {
        names = std::max(names, metrics.horizontalAdvance(name));
    }
    const qreal rowLabels = std::min(names, area.width() / 4.0) + gap;
    const qreal scaleWidth = metrics.height() + gap +
                             std::max(metrics.horizontalAdvance(pesos(high_)), metrics.horizontalAdvance(pesos(low_)));
    Layout out;
    // Below the cells: the hours and their caption.
    out.cells = QRectF(area.left() + rowLabels, area.top(), area.width() - rowLabels - scaleWidth - 2 * gap,
                       area.height() - 2.5 * metrics.height());
    out.scale = QRectF(out.cells.right() + 2 * gap, out.cells.top(), metrics.height(), out.cells.height());
    return out;
}

void HeatMapChart::paintBody(QPainter &painter, const QRect &area) const {
    const QFontMetricsF metrics(painter.font());
    const Layout at = layout(area, metrics);
    const qreal cellWidth = at.cells.width() / cash_close::kHours;
    const int rows = stationRows();
    const qreal cellHeight = at.cells.height() / rows;
    const qint64 span = high_ - low_;
    for (int h = 0; h < cash_close::kHours; ++h) {
        for (int s = 0; s < rows; ++s) {
            const double t = span > 0 ? static_cast<double>(grid_[h].value(s) - low_) / static_cast<double>(span) : 0.0;
            painter.fillRect(
                QRectF(at.cells.left() + h * cellWidth, at.cells.top() + s * cellHeight, cellWidth, cellHeight),
                heat(t));
        }
    }
    // Thin rules between cells keep neighbours of one colour apart.
    painter.setPen(QPen(Qt::white, 1));
    for (int h = 1; h < cash_close::kHours; ++h) {
        const qreal x = at.cells.left() + h * cellWidth;
        painter.drawLine(QPointF(x, at.cells.top()), QPointF(x, at.cells.bottom()));
    }
    for (int s = 1; s < rows; ++s) {
        const qreal y = at.cells.top() + s * cellHeight;
        painter.drawLine(QPointF(at.cells.left(), y), QPointF(at.cells.right(), y));
    }
    painter.setPen(kInk);
    painter.drawRect(at.cells);
    // Twenty stations on a small chart: every other name, and the tool tip names each cell.
    for (int s = 0; s < rows; s += labelEvery(metrics.height(), cellHeight)) {
        const QRectF label(area.left(), at.cells.top() + s * cellHeight, at.cells.left() - area.left() - 4, cellHeight);
        painter.drawText(label, Qt::AlignRight | Qt::AlignVCenter,
                         metrics.elidedText(grid_.names.value(s), Qt::ElideRight, label.width()));
    }
    const int every = labelEvery(metrics.horizontalAdvance(QStringLiteral("23")) + 4, cellWidth);
    for (int h = 0; h < cash_close::kHours; h += every) {
        painter.drawText(QRectF(at.cells.left() + h * cellWidth, at.cells.bottom() + 2, cellWidth, metrics.height()),
                         Qt::AlignHCenter | Qt::AlignTop, QString::number(h));
    }
    painter.drawText(
        QRectF(at.cells.left(), at.cells.bottom() + 2 + metrics.height(), at.cells.width(), metrics.height() * 1.5),
        Qt::AlignCenter, QStringLiteral("Hora del día"));

    QLinearGradient ramp(at.scale.topLeft(), at.scale.bottomLeft());
    ramp.setColorAt(0.0, kHeat[2]);
    ramp.setColorAt(0.5, kHeat[1]);
    ramp.setColorAt(1.0, kHeat[0]);
    painter.fillRect(at.scale, ramp);
    painter.drawRect(at.scale);
    const qreal textLeft = at.scale.right() + metrics.height() / 2;
    painter.drawText(QRectF(textLeft, at.scale.top(), area.right() - textLeft, metrics.height()),
                     Qt::AlignLeft | Qt::AlignTop, pesos(high_));
    painter.drawText(QRectF(textLeft, at.scale.bottom() - metrics.height(), area.right() - textLeft, metrics.height()),
                     Qt::AlignLeft | Qt::AlignBottom, pesos(low_));
}

bool HeatMapChart::event(QEvent *event) {
    if (event->type() != QEvent::ToolTip) {
        return ReportChart::event(event);
    }
    const auto *help = static_cast<QHelpEvent *>(event);
    const Layout at = layout(bodyArea(rect()), QFontMetricsF(chartFont(rect())));
    const QPointF pos = help->pos();
    if (at.cells.contains(pos) && !at.cells.isEmpty()) {
        const int h = std::min(cash_close::kHours - 1,
                               static_cast<int>((pos.x() - at.cells.left()) * cash_close::kHours / at.cells.width()));
        const int rows = stationRows();
        const int s = std::min(rows - 1, static_cast<int>((pos.y() - at.cells.top()) * rows / at.cells.height()));
        QToolTip::showText(
            help->globalPos(),
            QStringLiteral("%1, de %2:00 a %2:59: %3").arg(grid_.names.value(s)).arg(h).arg(pesos(grid_[h].value(s))),
            this);
    } else {
        QToolTip::hideText();
        event->ignore();
    }
    return true;
}

// Bars by operator ------------------------------------------------------------------------------

OperatorBarsChart::OperatorBarsChart(QWidget *parent)
    : ReportChart(QStringLiteral("Recaudación por operador"), parent) {}

void OperatorBarsChart::setReport(const cash_close::Report &report) {
    operators_ = cash_close::takingsByOperator(report);
    setEmpty(report.rows.isEmpty());
}

void OperatorBarsChart::paintBody(QPainter &painter, const QRect &area) const {
    const QFontMetricsF metrics(painter.font());
    const qreal gap = metrics.height() / 2;
    qreal names = 0;
    qreal amounts = 0;
    qint64 most = 1;
    for (const cash_close::Subtotal &op : operators_) {
        names = std::max(names, metrics.horizontalAdvance(op.key));
        amounts = std::max(amounts, metrics.horizontalAdvance(pesos(op.cents)));
        most = std::max(most, op.cents);
    }
    names = std::min(names, area.width() / 3.0) + gap;
    const qreal barsLeft = area.left() + names;
    const qreal barsWidth = std::max(0.0, area.width() - names - amounts - gap);
    const qreal row = area.height() / static_cast<qreal>(std::max<qsizetype>(1, operators_.size()));
    const qreal thickness = std::min(row * 0.7, metrics.height() * 2.5);
    painter.drawLine(QPointF(barsLeft, area.top()), QPointF(barsLeft, area.bottom()));
    for (qsizetype i = 0; i < operators_.size(); ++i) {
        const cash_close::Subtotal &op = operators_[i];
        const qreal middle = area.top() + (static_cast<qreal>(i) + 0.5) * row;
        // A name wider than its column is cut with an ellipsis; "Admin " keeps its space.
        painter.drawText(QRectF(area.left(), middle - row / 2, names - gap, row), Qt::AlignRight | Qt::AlignVCenter,
                         metrics.elidedText(op.key, Qt::ElideRight, names - gap));
        const qreal length = barsWidth * static_cast<double>(std::max<qint64>(0, op.cents)) / static_cast<double>(most);
        painter.fillRect(QRectF(barsLeft, middle - thickness / 2, length, thickness), kBar);
        painter.drawText(QRectF(barsLeft + length + gap / 2, middle - row / 2, amounts + gap, row),
                         Qt::AlignLeft | Qt::AlignVCenter, pesos(op.cents));
    }
}

// Line by day -----------------------------------------------------------------------------------

DailyLineChart::DailyLineChart(QWidget *parent) : ReportChart(QStringLiteral("Recaudación por día"), parent) {}

void DailyLineChart::setReport(const cash_close::Report &report) {
    days_ = cash_close::takingsByDay(report);
    setEmpty(report.rows.isEmpty() || days_.isEmpty());
}

void DailyLineChart::paintBody(QPainter &painter, const QRect &area) const {
    const QFontMetricsF metrics(painter.font());
    const qreal gap = metrics.height() / 2;
    qint64 low = 0;
    qint64 high = 0;
    for (const cash_close::DayTakings &d : days_) {
        low = std::min(low, d.cents);
        high = std::max(high, d.cents);
    }
    // Round limits on the amount axis, four or five steps between them.
    const qint64 step = niceStep(std::max<qint64>(1, (high - low + 3) / 4));
    const qint64 bottom = low < 0 ? -((-low + step - 1) / step) * step : 0;
    const qint64 top = std::max(step, (high + step - 1) / step * step);
    qreal axisWidth = 0;
    for (qint64 v = bottom; v <= top; v += step) {
        axisWidth = std::max(axisWidth, metrics.horizontalAdvance(pesos(v)));
    }
    const bool years = days_.front().day.year() != days_.back().day.year();
    const QString dateFormat = years ? QStringLiteral("d/M/yy") : QStringLiteral("d/M");
    const auto dateText = [&](const QDate &day) { return QLocale().toString(day, dateFormat); };
    const qreal dateWidth = metrics.horizontalAdvance(dateText(QDate(2000, 12, 28))) + gap;
    // Half a date's width each side, so the first and the last date are not cut.
    const QRectF plot(area.left() + axisWidth + gap + dateWidth / 2, area.top() + metrics.height() / 2,
                      area.width() - axisWidth - gap - dateWidth, area.height() - 2 * metrics.height());
    const qsizetype n = days_.size();
    const auto x = [&](qsizetype i) {
        return n == 1 ? plot.center().x()
                      : plot.left() + plot.width() * static_cast<double>(i) / static_cast<double>(n - 1);
    };
    const auto y = [&](qint64 cents) {
        return plot.bottom() - plot.height() * static_cast<double>(cents - bottom) / static_cast<double>(top - bottom);
    };

    for (qint64 v = bottom; v <= top; v += step) {
        painter.setPen(v == 0 ? kInk : kRule);
        painter.drawLine(QPointF(plot.left(), y(v)), QPointF(plot.right(), y(v)));
        painter.setPen(kInk);
        painter.drawText(QRectF(area.left(), y(v) - metrics.height() / 2, axisWidth, metrics.height()),
                         Qt::AlignRight | Qt::AlignVCenter, pesos(v));
    }
    const qreal slot = n == 1 ? plot.width() : plot.width() / static_cast<double>(n - 1);
    const int every = labelEvery(dateWidth, slot);
    for (qsizetype i = 0; i < n; i += every) {
        painter.drawLine(QPointF(x(i), plot.bottom()), QPointF(x(i), plot.bottom() + 3));
        painter.drawText(QRectF(x(i) - dateWidth / 2, plot.bottom() + 4, dateWidth, metrics.height()),
                         Qt::AlignHCenter | Qt::AlignTop, dateText(days_[i].day));
    }

    QPolygonF line;
    line.reserve(n);
    for (qsizetype i = 0; i < n; ++i) {
        line << QPointF(x(i), y(days_[i].cents));
    }
    // Thousands of days on a few hundred pixels: the line alone, drawn plainly.
    painter.setRenderHint(QPainter::Antialiasing, slot >= 1);
    painter.setPen(QPen(kBar, 2));
    painter.drawPolyline(line);
    if (slot >= 6) {
        painter.setBrush(kBar);
        for (const QPointF &p : std::as_const(line)) {
            painter.drawEllipse(p, 3, 3);
        }
    }
}

// Differences by operator ------------------------------------------------------------------------

DifferencesChart::DifferencesChart(QWidget *parent)
    : ReportChart(QStringLiteral("Diferencias de caja por operador"), parent) {
    setEmptyText(QStringLiteral("Sin turnos contados en el período."));
}

QColor DifferencesChart::seriesColor(qsizetype i) {
    static const QColor colors[] = {QColor(31, 119, 180),  QColor(214, 39, 40),  QColor(44, 160, 44),
                                    QColor(148, 103, 189), QColor(255, 127, 14), QColor(140, 86, 75),
                                    QColor(227, 119, 194), QColor(23, 190, 207)};
    return colors[static_cast<std::size_t>(i) % std::size(colors)];
}

void DifferencesChart::setReport(const cash_close::Report &report) {
    series_ = cash_close::differencesOverTime(report);
    setEmpty(series_.isEmpty());
}

void DifferencesChart::paintBody(QPainter &painter, const QRect &area) const {
    const QFontMetricsF metrics(painter.font());
    const qreal gap = metrics.height() / 2;
    QDateTime first;
    QDateTime last;
    qint64 low = 0;
    qint64 high = 0;
    qreal legend = 0;
    for (const cash_close::DifferenceSeries &one : series_) {
        legend = std::max(legend, metrics.horizontalAdvance(one.usuario));
        for (const cash_close::DifferencePoint &p : one.points) {
            first = !first.isValid() || p.at < first ? p.at : first;
            last = !last.isValid() || p.at > last ? p.at : last;
            low = std::min(low, p.cents);
            high = std::max(high, p.cents);
        }
    }
    // Round limits on the amount axis, zero always among them.
    const qint64 step = niceStep(std::max<qint64>(1, (high - low + 3) / 4));
    const qint64 bottom = low < 0 ? -((-low + step - 1) / step) * step : 0;
    const qint64 top = high > 0 ? (high + step - 1) / step * step : 0;
    const qint64 span = std::max<qint64>(1, top - bottom);
    qreal axisWidth = 0;
    for (qint64 v = bottom; v <= top; v += step) {
        axisWidth = std::max(axisWidth, metrics.horizontalAdvance(pesos(v)));
    }
    legend = std::min(legend + metrics.height() + gap, area.width() / 4.0);
    const QString format = first.date() == last.date() ? QStringLiteral("HH:mm") : QStringLiteral("d/M HH:mm");
    const qreal dateWidth = metrics.horizontalAdvance(QLocale().toString(QDateTime(QDate(2000, 12, 28), QTime(23, 59)),
                                                                         QStringLiteral("d/M HH:mm"))) +
                            gap;
    const QRectF plot(area.left() + axisWidth + gap + dateWidth / 2, area.top() + metrics.height() / 2,
                      area.width() - axisWidth - gap - dateWidth - legend - gap, area.height() - 2 * metrics.height());
    const qint64 seconds = std::max<qint64>(1, first.secsTo(last));
    const auto x = [&](const QDateTime &at) {
        return first == last
                   ? plot.center().x()
                   : plot.left() + plot.width() * static_cast<double>(first.secsTo(at)) / static_cast<double>(seconds);
    };
    const auto y = [&](qint64 cents) {
        return plot.bottom() - plot.height() * static_cast<double>(cents - bottom) / static_cast<double>(span);
    };
    for (qint64 v = bottom; v <= top; v += step) {
        painter.setPen(v == 0 ? QPen(kInk, 2) : QPen(kRule));
        painter.drawLine(QPointF(plot.left(), y(v)), QPointF(plot.right(), y(v)));
        painter.setPen(kInk);
        painter.drawText(QRectF(area.left(), y(v) - metrics.height() / 2, axisWidth, metrics.height()),
                         Qt::AlignRight | Qt::AlignVCenter, pesos(v));
    }
    // The first and the last close under the axis, and the ones between that fit.
    const int ticks = std::max(1, std::min(6, static_cast<int>(plot.width() / dateWidth)));
    for (int i = 0; i <= ticks && (i == 0 || first != last); ++i) {
        const QDateTime at = first.addSecs(seconds * i / ticks);
        painter.drawLine(QPointF(x(at), plot.bottom()), QPointF(x(at), plot.bottom() + 3));
        painter.drawText(QRectF(x(at) - dateWidth / 2, plot.bottom() + 4, dateWidth, metrics.height()),
                         Qt::AlignHCenter | Qt::AlignTop, QLocale().toString(at, format));
    }
    for (qsizetype s = 0; s < series_.size(); ++s) {
        const QColor color = seriesColor(s);
        QPolygonF line;
        for (const cash_close::DifferencePoint &p : series_[s].points) {
            line << QPointF(x(p.at), y(p.cents));
        }
        painter.setPen(QPen(color, 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawPolyline(line);
        painter.setBrush(color);
        for (const QPointF &p : std::as_const(line)) {
            painter.drawEllipse(p, 3.5, 3.5);
        }
        // The legend, top right: a swatch and the name.
        const qreal row = area.top() + static_cast<qreal>(s) * metrics.height() * 1.4;
        const qreal left = area.right() - legend;
        painter.fillRect(QRectF(left, row + metrics.height() * 0.2, metrics.height() * 0.6, metrics.height() * 0.6),
                         color);
        painter.setPen(kInk);
        painter.drawText(QRectF(left + metrics.height(), row, legend - metrics.height(), metrics.height()),
                         Qt::AlignLeft | Qt::AlignVCenter,
                         metrics.elidedText(series_[s].usuario, Qt::ElideRight, legend - metrics.height()));
    }
}
