// Exporting a year's cash close of 100,000 rentals: the CSV, the .xlsx and the PDF, each written to a file
// through its temporary name, best of three. Run with QT_QPA_PLATFORM=offscreen.
#include "cash_close/ReportCsv.h"
#include "cash_close/ReportXlsx.h"
#include "report/ReportDocument.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

constexpr int kRows = 100'000;

cash_close::Report yearReport() {
    QVector<cash_close::ReportRow> rows;
    rows.reserve(kRows);
    const QString names[] = {QStringLiteral("Admin"), QStringLiteral("Ana María"), QStringLiteral("José")};
    for (int i = 0; i < kRows; ++i) {
        rows.push_back({1 + i % 5, i % 3 ? QStringLiteral("Contador") : QStringLiteral("Prepago"), names[i % 3],
                        QDate(2026, 1, 1).addDays(i / 274), QTime(9, 0).addSecs(i % 274 * 180),
                        QStringLiteral("01:25:00"), 1000 + i % 977});
    }
    const cash_close::Period year{QDate(2026, 1, 1), QTime(0, 0), QDate(2026, 12, 31), QTime(23, 59, 59)};
    cash_close::Report report =
        cash_close::buildReport(rows, year, QStringLiteral("Admin"), QDateTime(QDate(2027, 1, 1), QTime(8, 0)));
    report.journalEntries = 250'000;
    report.journalLastHash = QString(64, QLatin1Char('a'));
    return report;
}

void measure(const char *what, const QString &path, const std::function<QString()> &save) {
    double best = 1e300;
    for (int run = 0; run < 3; ++run) {
        QElapsedTimer clock;
        clock.start();
        const QString failure = save();
        if (!failure.isEmpty()) {
            std::fprintf(stderr, "%s\n", qPrintable(failure));
            return;
        }
        best = std::min(best, static_cast<double>(clock.nsecsElapsed()) / 1e9);
    }
    std::printf("%-4s %d rows: %.2f s, %.1f MB\n", what, kRows, best,
                static_cast<double>(QFileInfo(path).size()) / 1e6);
}

} // namespace

int main(int argc, char *argv[]) {
    QGuiApplication app(argc, argv);
    QTemporaryDir folder;
    const cash_close::Report report = yearReport();
    int pages = 0;
    const QString csv = folder.filePath(QStringLiteral("cierre.csv"));
    const QString pdf = folder.filePath(QStringLiteral("cierre.pdf"));
    const QString xlsx = folder.filePath(QStringLiteral("cierre.xlsx"));
    measure("CSV", csv, [&] { return cash_close::saveCsv(report, csv); });
    measure("XLSX", xlsx, [&] { return cash_close::saveXlsx(report, xlsx); });
    measure("PDF", pdf, [&] {
        return cash_close::savePdf(report, pdf, [&pages](int, int all) {
            pages = all;
            return true;
        });
    });
    std::printf("PDF pages: %d\n", pages);
    return 0;
}
