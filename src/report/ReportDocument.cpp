#include "report/ReportDocument.h"

#include "cash_close/ReportCsv.h"
#include "data/NumberText.h"
#include "data/RentalKinds.h"

#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTextLayout>
#include <algorithm>
#include <vector>

namespace cash_close {

namespace {

struct Column {
    const char *title;
    double weight;
    Qt::Alignment alignment;
};

// The grid's columns, with room for longer names than the window shows.
constexpr Column kColumns[7] = {
    {"Puesto", 8, Qt::AlignHCenter}, {"Modo", 10, Qt::AlignLeft},    {"Usuario", 20, Qt::AlignLeft},
    {"Fecha", 12, Qt::AlignHCenter}, {"Hora", 10, Qt::AlignHCenter}, {"Tiempo", 10, Qt::AlignHCenter},
    {"Importe", 12, Qt::AlignRight},
};

QString dateTimeText(const QDate &date, const QTime &time) {
    return date.toString(QStringLiteral("dd/MM/yyyy")) + QLatin1Char(' ') + time.toString(QStringLiteral("HH:mm:ss"));
}

QString subtotalText(const Subtotal &s, bool mode) {
    // Added blocks and refunds are money, never rentals: their mode has no count to show.
    if (mode && !kinds::countsAsRental(s.key)) {
        return QStringLiteral("%1: $ %2").arg(s.key, numtext::amountText(s.cents));
    }
    return QStringLiteral("%1: $ %2 (%3)").arg(s.key, numtext::amountText(s.cents)).arg(s.rentals);
}

QString operationText(const Operation &o) {
    QString text =
        QStringLiteral("%1, Puesto %2, %3, %4").arg(dateTimeText(o.fecha, o.hora)).arg(o.puesto).arg(o.tipo, o.usuario);
    if (!o.autorizo.isEmpty()) {
        text += QStringLiteral(" (autorizó %1)").arg(o.autorizo);
    }
    text += QStringLiteral(", %1 min, $ %2").arg(o.minutos).arg(numtext::amountText(o.cents));
    return o.motivo.isEmpty() ? text : text + QStringLiteral(": ") + o.motivo;
}

QString shiftText(const shifts::ShiftRecord &s) {
    const QString when = s.cierre.isValid()
                             ? QStringLiteral("%1 a %2").arg(dateTimeText(s.apertura.date(), s.apertura.time()),
                                                             dateTimeText(s.cierre.date(), s.cierre.time()))
                             : QStringLiteral("desde %1").arg(dateTimeText(s.apertura.date(), s.apertura.time()));
    const auto pesos = [](qint64 cents) { return QStringLiteral("$ ") + numtext::amountText(cents); };
    QString text = QStringLiteral("Turno %1, %2, %3, %4: fondo %5, ventas %6, ingresos %7, retiros %8, gastos %9")
                       .arg(s.numero)
                       .arg(s.usuario, when, s.estado, pesos(s.totals.floatCents), pesos(s.totals.salesCents),
                            pesos(s.totals.ingresosCents), pesos(s.totals.retirosCents), pesos(s.totals.gastosCents));
    text += QStringLiteral(", esperado %1").arg(pesos(s.expectedCents));
    if (s.countedCents && s.differenceCents) {
        text += QStringLiteral(", contado %1, diferencia %2").arg(pesos(*s.countedCents), pesos(*s.differenceCents));
    }
    return s.nota.isEmpty() ? text : text + QStringLiteral(". Nota: ") + s.nota;
}

// One piece of the flow: a line of text, or the table of rentals (table set).
struct Item {
    QString text;
    const QFont *font = nullptr;
    double height = 0;
    bool keepWithNext = false;
    bool table = false;
};

// What goes on one page: items, or a run of the table's rows.
struct Slice {
    std::size_t item;
    double top;
    qsizetype firstRow = 0;
    qsizetype rows = 0;
};

class Layout final {
public:
    Layout(const Report &report, QPagedPaintDevice &device) : report_(report), device_(device) {
        unit_ = device.logicalDpiY() / 72.0;
        width_ = device.width();
        title_.setPointSizeF(16);
        title_.setBold(true);
        body_.setPointSizeF(9);
        bold_ = body_;
        bold_.setBold(true);
        small_.setPointSizeF(7.5);
        // Without shaping there are no ligatures: a hash's "ff" stays two letters for whoever
        // reads or copies it out of the PDF.
        anchor_ = body_;
        anchor_.setStyleStrategy(QFont::PreferNoShaping);
        rowHeight_ = QFontMetricsF(body_, &device).height() * 1.2;
        footerHeight_ = QFontMetricsF(small_, &device).height() * 2;
        pageHeight_ = device.height() - footerHeight_;
        fitColumns();
        build();
        paginate();
    }

    int pageCount() const { return static_cast<int>(pages_.size()); }

    void paintPage(QPainter &painter, int page) const {
        for (const Slice &slice : pages_[page]) {
            const Item &item = items_[slice.item];
            if (item.table) {
                paintTable(painter, slice);
            } else if (!item.text.isEmpty()) {
                painter.setFont(*item.font);
                painter.drawText(QRectF(0, slice.top, width_, item.height), item.text, wrapping());
            }
        }
        painter.setFont(small_);
        painter.drawText(QRectF(0, pageHeight_, width_, footerHeight_), Qt::AlignHCenter | Qt::AlignBottom,
                         QStringLiteral("Página %1 de %2").arg(page + 1).arg(pageCount()));
    }

private:
    // Wrapped at the width between words, so the journal's hash goes whole onto a line of its
    // own; a word longer than the width is broken rather than cut off.
    static QTextOption wrapping() {
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        return option;
    }

    // The text with every digit in the font's widest one: no value of as many characters is wider.
    static QString widestDigits(QString text, const QFontMetricsF &metrics) {
        QChar widest = QLatin1Char('0');
        for (char d = '1'; d <= '9'; ++d) {
            if (metrics.horizontalAdvance(QLatin1Char(d)) > metrics.horizontalAdvance(widest)) {
                widest = QLatin1Char(d);
            }
        }
        for (QChar &c : text) {
            if (c.isDigit()) {
                c = widest;
            }
        }
        return text;
    }

    // Each column as wide as its widest value (or its heading) asks, the room left shared by
    // the weights. When the values ask for more than the page, the operators' names give way:
    // a long name is the only thing ever shortened, never an amount, a date or a time.
    void fitColumns() {
        const QFontMetricsF metrics(body_, &device_);
        const QFontMetricsF heading(bold_, &device_);
        const double pad = 2 * unit_;
        double need[7];
        for (int c = 0; c < 7; ++c) {
            need[c] = heading.horizontalAdvance(QString::fromLatin1(kColumns[c].title));
        }
        const auto widen = [&](int c, const QString &text) {
            need[c] = std::max(need[c], metrics.horizontalAdvance(text));
        };
        widen(0, widestDigits(QString::number(report_.stations.isEmpty() ? 5 : report_.stations.last()), metrics));
        widen(1, QStringLiteral("Contador"));
        widen(1, QStringLiteral("Prepago"));
        for (const Subtotal &s : report_.byOperator) {
            widen(2, s.key.simplified());
        }
        widen(3, widestDigits(QStringLiteral("00/00/0000"), metrics));
        widen(4, widestDigits(QStringLiteral("00:00:00"), metrics));
        qsizetype longest = 0;
        for (const ReportRow &row : report_.rows) {
            longest = std::max(longest, row.tiempo.size());
        }
        widen(5, widestDigits(QString(longest, QLatin1Char('0')), metrics));
        widen(6, widestDigits(longestMoneyText(report_.rows), metrics));
        double needed = 0;
        double weights = 0;
        for (int c = 0; c < 7; ++c) {
            need[c] += 2 * pad + 1;
            needed += need[c];
            weights += kColumns[c].weight;
        }
        if (needed <= width_) {
            for (int c = 0; c < 7; ++c) {
                columnWidth_[c] = need[c] + (width_ - needed) * kColumns[c].weight / weights;
            }
        } else {
            std::copy(std::begin(need), std::end(need), std::begin(columnWidth_));
            columnWidth_[2] = std::max(0.0, width_ - (needed - need[2]));
        }
        double x = 0;
        for (int c = 0; c < 7; ++c) {
            columnLeft_[c] = x;
            x += columnWidth_[c];
        }
    }

    void add(QString text, const QFont &font, bool keepWithNext = false) {
        for (QChar &c : text) {
            if (c.unicode() < 0x20) {
                c = QLatin1Char(' ');
            }
        }
        QTextLayout layout(text.isEmpty() ? QStringLiteral(" ") : text, font, &device_);
        layout.setTextOption(wrapping());
        layout.beginLayout();
        double height = 0;
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(width_);
            height += line.height();
        }
        layout.endLayout();
        items_.push_back({text, &font, height + 3 * unit_, keepWithNext, false});
    }

    void build() {
        add(QStringLiteral("Cierre de Caja"), title_);
        add(QStringLiteral("Desde %1 hasta %2")
                .arg(dateTimeText(report_.period.from, report_.period.fromTime),
                     dateTimeText(report_.period.to, report_.period.toTime)),
            body_);
        const QString ranAt = dateTimeText(report_.ranAt.date(), report_.ranAt.time());
        // From the command line a report may be run for nobody in particular.
        add(report_.ranBy.isEmpty() ? QStringLiteral("Procesado el %1, sin operador").arg(ranAt)
                                    : QStringLiteral("Procesado por %1 el %2").arg(report_.ranBy, ranAt),
            body_);
        add(QStringLiteral("Alquileres: %1").arg(report_.rentals), body_);
        const std::pair<QString, const QVector<Subtotal> *> groups[] = {
            {QStringLiteral("Por operador"), &report_.byOperator},
            {QStringLiteral("Por puesto"), &report_.byStation},
            {QStringLiteral("Por consola"), &report_.byType},
            {QStringLiteral("Por modo"), &report_.byMode}};
        for (const auto &[title, list] : groups) {
            if (list->isEmpty() && list == &report_.byType) {
                continue; // a room of one console type
            }
            add(QString(), body_, true);
            add(title, bold_, true);
            for (const Subtotal &s : *list) {
                add(subtotalText(s, list == &report_.byMode), body_);
            }
        }
        // The counter's operations: each kind summed, then each one with who approved it and why.
        if (!report_.operations.isEmpty()) {
            add(QString(), body_, true);
            add(QStringLiteral("Operaciones"), bold_, true);
            for (const OperationTotal &t : report_.byOperation) {
                add(operationTotalText(t), body_, true);
            }
            for (const Operation &o : report_.operations) {
                add(operationText(o), body_);
            }
        }
        // The shifts: each operator's differences, then each shift with its drawer's figures.
        if (!report_.shifts.isEmpty()) {
            add(QString(), body_, true);
            add(QStringLiteral("Turnos"), bold_, true);
            for (const ShiftDifference &d : report_.differences) {
                add(QStringLiteral("Diferencia de %1: $ %2 (%3)")
                        .arg(d.usuario, numtext::amountText(d.cents), QString::number(d.shifts)),
                    body_, true);
            }
            for (const shifts::ShiftRecord &s : report_.shifts) {
                add(shiftText(s), body_);
            }
        }
        add(QString(), body_);
        items_.push_back({QString(), &body_, 0, false, true});
        // The closing lines stay together, so they are all on the last page.
        add(QString(), body_, true);
        const bool anchored = report_.journalEntries > 0;
        add(QStringLiteral("Total Facturado: $ %1").arg(numtext::amountText(report_.totalCents)), bold_,
            anchored || !report_.ranBy.isEmpty());
        if (!report_.ranBy.isEmpty()) {
            add(QStringLiteral("Total Facturado %1: $ %2")
                    .arg(report_.ranBy, numtext::amountText(report_.operatorCents)),
                bold_, anchored);
        }
        if (anchored) {
            add(journalAnchorLine(report_), anchor_, true);
            add(sealAnchorLine(report_), anchor_);
        }
    }

    void newPage() {
        pages_.emplace_back();
        top_ = 0;
    }

    void paginate() {
        newPage();
        for (std::size_t i = 0; i < items_.size(); ++i) {
            if (items_[i].table) {
                placeTable(i);
                continue;
            }
            double together = items_[i].height;
            for (std::size_t j = i; j + 1 < items_.size() && items_[j].keepWithNext && !items_[j + 1].table; ++j) {
                together += items_[j + 1].height;
            }
            if (top_ > 0 && top_ + together > pageHeight_ && together <= pageHeight_) {
                newPage();
            }
            pages_.back().push_back({i, top_});
            top_ += items_[i].height;
        }
    }

    // The heading on every page the table runs through, and at least one row under it.
    void placeTable(std::size_t item) {
        const qsizetype total = report_.rows.size();
        qsizetype placed = 0;
        do {
            if (top_ > 0 && top_ + 2 * rowHeight_ > pageHeight_) {
                newPage();
            }
            const auto room = static_cast<qsizetype>((pageHeight_ - top_) / rowHeight_) - 1;
            const qsizetype rows = std::min(std::max<qsizetype>(room, 1), total - placed);
            pages_.back().push_back({item, top_, placed, rows});
            top_ += static_cast<double>(rows + 1) * rowHeight_;
            placed += rows;
        } while (placed < total);
    }

    QString cell(const ReportRow &row, int column) const {
        switch (column) {
        case 0:
            return QString::number(row.puesto);
        case 1:
            return row.modo;
        case 2:
            return row.usuario;
        case 3:
            return row.fecha.toString(QStringLiteral("dd/MM/yyyy"));
        case 4:
            return row.hora.toString(QStringLiteral("HH:mm:ss"));
        case 5:
            return row.tiempo;
        default:
            return numtext::amountText(row.cents);
        }
    }

    void paintRow(QPainter &painter, const QFontMetricsF &metrics, double top, const QString (&cells)[7]) const {
        const double baseline = top + (rowHeight_ + metrics.ascent() - metrics.descent()) / 2;
        const double pad = 2 * unit_;
        for (int c = 0; c < 7; ++c) {
            QString text = cells[c];
            const double room = columnWidth_[c] - 2 * pad;
            double advance = metrics.horizontalAdvance(text);
            // A name too long for its column, or one with a line break, stays on its line.
            if (advance > room || text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r'))) {
                text = metrics.elidedText(text.simplified(), Qt::ElideRight, room);
                advance = metrics.horizontalAdvance(text);
            }
            double x = columnLeft_[c] + pad;
            if (kColumns[c].alignment & Qt::AlignHCenter) {
                x = columnLeft_[c] + (columnWidth_[c] - advance) / 2;
            } else if (kColumns[c].alignment & Qt::AlignRight) {
                x = columnLeft_[c] + columnWidth_[c] - pad - advance;
            }
            painter.drawText(QPointF(x, baseline), text);
        }
    }

    void paintTable(QPainter &painter, const Slice &slice) const {
        QString cells[7];
        for (int c = 0; c < 7; ++c) {
            cells[c] = QString::fromLatin1(kColumns[c].title);
        }
        painter.setFont(bold_);
        paintRow(painter, QFontMetricsF(bold_, &device_), slice.top, cells);
        painter.drawLine(QPointF(0, slice.top + rowHeight_), QPointF(width_, slice.top + rowHeight_));
        painter.setFont(body_);
        const QFontMetricsF metrics(body_, &device_);
        for (qsizetype r = 0; r < slice.rows; ++r) {
            const ReportRow &row = report_.rows[slice.firstRow + r];
            for (int c = 0; c < 7; ++c) {
                cells[c] = cell(row, c);
            }
            paintRow(painter, metrics, slice.top + static_cast<double>(r + 1) * rowHeight_, cells);
        }
    }

    const Report &report_;
    QPagedPaintDevice &device_;
    QFont title_, body_, bold_, small_, anchor_;
    double unit_ = 1; // device units in a point
    double width_ = 0;
    double pageHeight_ = 0;
    double footerHeight_ = 0;
    double rowHeight_ = 0;
    double columnLeft_[7] = {};
    double columnWidth_[7] = {};
    std::vector<Item> items_;
    std::vector<std::vector<Slice>> pages_;
    double top_ = 0;
};

} // namespace

bool paintReport(const Report &report, QPagedPaintDevice &device, const PageProgress &progress) {
    QPainter painter;
    if (!painter.begin(&device)) {
        return false;
    }
    const Layout layout(report, device);
    for (int page = 0; page < layout.pageCount(); ++page) {
        if (progress && !progress(page + 1, layout.pageCount())) {
            painter.end();
            return false;
        }
        if (page > 0 && !device.newPage()) {
            painter.end();
            return false;
        }
        layout.paintPage(painter, page);
    }
    return painter.end();
}

QString savePdf(const Report &report, const QString &path, const PageProgress &progress) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return exportFailure(path, file.errorString());
    }
    bool stopped = false;
    bool painted = false;
    {
        QPdfWriter writer(&file);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
        writer.setTitle(QStringLiteral("Cierre de Caja"));
        writer.setCreator(QStringLiteral("Ludomat"));
        painted = paintReport(report, writer, [&](int page, int pages) {
            stopped = progress && !progress(page, pages);
            return !stopped;
        });
    }
    if (stopped) {
        file.cancelWriting();
        return exportCancelled(path);
    }
    if (!painted) {
        file.cancelWriting();
        return exportFailure(path, QStringLiteral("no se pudo dibujar el documento"));
    }
    if (!file.commit()) {
        return exportFailure(path, file.errorString());
    }
    return {};
}

} // namespace cash_close
