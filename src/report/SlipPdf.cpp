#include "report/SlipPdf.h"

#include "printing/EscPos.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <cmath>

namespace report {

namespace {

constexpr int kDpi = 300;
constexpr double kMarginMm = 3.0;

double dots(double mm) {
    return mm * kDpi / 25.4;
}

} // namespace

QString saveSlipPdf(const printing::Document &document, int widthMm, const QString &path) {
    const auto failure = [&path](const QString &why) {
        return QStringLiteral("No se pudo guardar %1: %2").arg(path, why);
    };
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return failure(file.errorString());
    }
    const int columns = printing::columnsFor(widthMm);
    const QVector<printing::LaidLine> lines = printing::layout(document, columns);
    bool painted = false;
    {
        QPdfWriter writer(&file);
        writer.setResolution(kDpi);
        writer.setCreator(QStringLiteral("Ludomat"));
        // A monospaced font sized so that a line of the printer's columns fills the roll's width.
        QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        font.setStyleHint(QFont::TypeWriter);
        font.setPixelSize(100);
        const double advance = QFontMetricsF(font, &writer).horizontalAdvance(QLatin1Char('M'));
        const double width = dots(widthMm - 2 * kMarginMm);
        font.setPixelSize(std::max(1, int(std::floor(100 * width / (advance * columns)))));
        QFont big = font;
        big.setPixelSize(font.pixelSize() * 2);
        const QFontMetricsF normal(font, &writer);
        const QFontMetricsF large(big, &writer);
        double height = 0;
        for (const printing::LaidLine &line : lines) {
            height += line.style == printing::Line::Style::Title ? large.lineSpacing() : normal.lineSpacing();
        }
        const double heightMm = height * 25.4 / kDpi + 2 * kMarginMm;
        writer.setPageSize(
            QPageSize(QSizeF(widthMm, heightMm), QPageSize::Millimeter, QString(), QPageSize::ExactMatch));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        QPainter painter;
        if (painter.begin(&writer)) {
            double y = dots(kMarginMm);
            for (const printing::LaidLine &line : lines) {
                const bool title = line.style == printing::Line::Style::Title;
                QFont f = title ? big : font;
                f.setBold(line.style == printing::Line::Style::Bold);
                painter.setFont(f);
                const QFontMetricsF &m = title ? large : normal;
                painter.drawText(QPointF(dots(kMarginMm), y + m.ascent()), line.text);
                y += m.lineSpacing();
            }
            painted = painter.end();
        }
    }
    if (!painted) {
        file.cancelWriting();
        return failure(QStringLiteral("no se pudo dibujar el documento"));
    }
    if (!file.commit()) {
        return failure(file.errorString());
    }
    return {};
}

} // namespace report
