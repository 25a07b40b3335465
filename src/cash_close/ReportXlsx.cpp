#include "cash_close/ReportXlsx.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <cstdio>
#include <optional>
#include <xlsxwriter.h>

namespace cash_close {

namespace {

constexpr qint64 kRowsPerStep = 2000;
constexpr int kMaxCellText = 32767; // a spreadsheet cell holds no more

// Amounts in pesos, the sign before the currency; the spreadsheet's locale gives the separators.
const char *const kMoneyFormat = "\"$ \"#,##0.00;\\-\"$ \"#,##0.00";

struct Formats {
    lxw_format *bold = nullptr;
    lxw_format *title = nullptr;
    lxw_format *date = nullptr;
    lxw_format *time = nullptr;
    lxw_format *instant = nullptr;
    lxw_format *duration = nullptr;
    lxw_format *money = nullptr;
    lxw_format *boldMoney = nullptr;
};

Formats makeFormats(lxw_workbook *book) {
    Formats f;
    const auto make = [book](const char *number, bool bold) {
        lxw_format *format = workbook_add_format(book);
        if (number) {
            format_set_num_format(format, number);
        }
        if (bold) {
            format_set_bold(format);
        }
        return format;
    };
    f.bold = make(nullptr, true);
    f.title = make(nullptr, true);
    format_set_font_size(f.title, 14);
    f.date = make("dd/mm/yyyy", false);
    f.time = make("hh:mm:ss", false);
    f.instant = make("dd/mm/yyyy hh:mm:ss", false);
    f.duration = make("[h]:mm:ss", false);
    f.money = make(kMoneyFormat, false);
    f.boldMoney = make(kMoneyFormat, true);
    return f;
}

// A spreadsheet's serial day: days since 30 December 1899 (right from March 1900 on), the time of
// day as the fraction. A time alone has day 0.
double serial(const QDate &date, const QTime &time) {
    const qint64 days = date.isValid() ? QDate(1899, 12, 30).daysTo(date) : 0;
    return static_cast<double>(days) + time.msecsSinceStartOfDay() / 86400000.0;
}

// A stored duration "546:25:00" as a fraction of days; nothing when it does not read as one.
std::optional<double> durationDays(const QString &stored) {
    const QStringList parts = stored.split(QLatin1Char(':'));
    if (parts.size() != 3) {
        return std::nullopt;
    }
    qint64 seconds = 0;
    for (const QString &part : parts) {
        bool ok = false;
        const int value = part.toInt(&ok);
        if (!ok || value < 0) {
            return std::nullopt;
        }
        seconds = seconds * 60 + value;
    }
    return static_cast<double>(seconds) / 86400.0;
}

// Writes the cells of one sheet; the first failure is kept and every later write skipped.
class Sheet {
public:
    Sheet(lxw_worksheet *sheet, lxw_error &error) : sheet_(sheet), error_(error) {}

    void text(lxw_row_t row, lxw_col_t col, const QString &value, lxw_format *format = nullptr) {
        if (error_ == LXW_NO_ERROR) {
            // Always a text cell: worksheet_write_string never reads "=..." as a formula.
            error_ = worksheet_write_string(sheet_, row, col, value.left(kMaxCellText).toUtf8().constData(), format);
        }
    }
    void number(lxw_row_t row, lxw_col_t col, double value, lxw_format *format = nullptr) {
        if (error_ == LXW_NO_ERROR) {
            error_ = worksheet_write_number(sheet_, row, col, value, format);
        }
    }
    void money(lxw_row_t row, lxw_col_t col, qint64 cents, lxw_format *format) {
        number(row, col, static_cast<double>(cents) / 100.0, format);
    }
    void moment(lxw_row_t row, lxw_col_t col, const QDate &date, const QTime &time, lxw_format *format) {
        number(row, col, serial(date, time), format);
    }
    lxw_worksheet *get() const { return sheet_; }

private:
    lxw_worksheet *sheet_;
    lxw_error &error_;
};

// The heading both sheets start with; the row after it.
lxw_row_t writeHeading(Sheet &sheet, const Report &report, const Formats &f) {
    sheet.text(0, 0, QStringLiteral("Cierre de Caja"), f.title);
    sheet.text(1, 0, QStringLiteral("Desde"), f.bold);
    sheet.moment(1, 1, report.period.from, report.period.fromTime, f.instant);
    sheet.text(1, 2, QStringLiteral("hasta"), f.bold);
    sheet.moment(1, 3, report.period.to, report.period.toTime, f.instant);
    if (report.ranBy.isEmpty()) {
        sheet.text(2, 0, QStringLiteral("Procesado el"), f.bold);
        sheet.moment(2, 1, report.ranAt.date(), report.ranAt.time(), f.instant);
        sheet.text(2, 2, QStringLiteral("sin operador"));
    } else {
        sheet.text(2, 0, QStringLiteral("Procesado por"), f.bold);
        sheet.text(2, 1, report.ranBy);
        sheet.text(2, 2, QStringLiteral("el"), f.bold);
        sheet.moment(2, 3, report.ranAt.date(), report.ranAt.time(), f.instant);
    }
    // The journal's anchor in the words of the paper and the CSV's companion, to compare.
    if (report.journalEntries > 0) {
        sheet.text(3, 0, journalAnchorLine(report));
        sheet.text(4, 0, sealAnchorLine(report));
    }
    return 6;
}

const char *const kHeadings[7] = {"Puesto", "Modo", "Usuario", "Fecha", "Hora", "Tiempo", "Importe"};

// The rentals, one row each; false when progress said stop.
bool writeRentals(Sheet &sheet, const Report &report, const Formats &f, const ExportProgress &progress) {
    const lxw_row_t top = writeHeading(sheet, report, f);
    for (lxw_col_t c = 0; c < 7; ++c) {
        sheet.text(top, c, QString::fromLatin1(kHeadings[c]), f.bold);
    }
    const qint64 total = report.rows.size();
    for (qint64 i = 0; i < total; ++i) {
        const ReportRow &r = report.rows[i];
        const auto row = static_cast<lxw_row_t>(top + 1 + i);
        sheet.number(row, 0, r.puesto);
        sheet.text(row, 1, r.modo);
        sheet.text(row, 2, r.usuario);
        sheet.moment(row, 3, r.fecha, QTime(0, 0), f.date);
        // A time of day alone: the date part of the cell is zero.
        sheet.moment(row, 4, QDate(), r.hora, f.time);
        if (const std::optional<double> days = durationDays(r.tiempo)) {
            sheet.number(row, 5, *days, f.duration);
        } else {
            sheet.text(row, 5, r.tiempo);
        }
        sheet.money(row, 6, r.cents, f.money);
        if (progress && ((i + 1) % kRowsPerStep == 0 || i + 1 == total) && !progress(i + 1, total)) {
            return false;
        }
    }
    worksheet_freeze_panes(sheet.get(), top + 1, 0);
    if (total > 0) {
        worksheet_autofilter(sheet.get(), top, 0, static_cast<lxw_row_t>(top + total), 6);
    }
    return true;
}

void writeTotals(Sheet &sheet, const Report &report, const Formats &f) {
    lxw_row_t row = writeHeading(sheet, report, f);
    sheet.text(row, 0, QStringLiteral("Alquileres"), f.bold);
    sheet.number(row++, 1, static_cast<double>(report.rentals));
    sheet.text(row, 0, QStringLiteral("Total Facturado"), f.bold);
    sheet.money(row++, 1, report.totalCents, f.boldMoney);
    if (!report.ranBy.isEmpty()) {
        sheet.text(row, 0, QStringLiteral("Total Facturado %1").arg(report.ranBy), f.bold);
        sheet.money(row++, 1, report.operatorCents, f.boldMoney);
    }
    const std::pair<QString, const QVector<Subtotal> *> groups[] = {
        {QStringLiteral("Por operador"), &report.byOperator},
        {QStringLiteral("Por puesto"), &report.byStation},
        {QStringLiteral("Por consola"), &report.byType},
        {QStringLiteral("Por modo"), &report.byMode}};
    for (const auto &[title, list] : groups) {
        if (list->isEmpty() && list == &report.byType) {
            continue; // a room of one console type
        }
        ++row;
        sheet.text(row, 0, title, f.bold);
        sheet.text(row, 1, QStringLiteral("Importe"), f.bold);
        sheet.text(row++, 2, QStringLiteral("Alquileres"), f.bold);
        for (const Subtotal &s : *list) {
            sheet.text(row, 0, s.key);
            sheet.money(row, 1, s.cents, f.money);
            sheet.number(row++, 2, s.rentals);
        }
    }
    if (!report.byOperation.isEmpty()) {
        ++row;
        sheet.text(row, 0, QStringLiteral("Operaciones"), f.bold);
        sheet.text(row, 1, QStringLiteral("Importe"), f.bold);
        sheet.text(row, 2, QStringLiteral("Cantidad"), f.bold);
        sheet.text(row++, 3, QStringLiteral("Minutos"), f.bold);
        for (const OperationTotal &t : report.byOperation) {
            sheet.text(row, 0, t.tipo);
            sheet.money(row, 1, t.cents, f.money);
            sheet.number(row, 2, t.count);
            sheet.number(row++, 3, static_cast<double>(t.minutes));
        }
    }
}

// The counter's operations, one row each: when, where, what, who, who approved, how much, why.
void writeOperations(Sheet &sheet, const Report &report, const Formats &f) {
    const lxw_row_t top = writeHeading(sheet, report, f);
    const char *const headings[] = {"Fecha",    "Hora",    "Puesto",  "Tipo",  "Usuario",
                                    "Autorizó", "Minutos", "Importe", "Motivo"};
    for (lxw_col_t c = 0; c < 9; ++c) {
        sheet.text(top, c, QString::fromUtf8(headings[c]), f.bold);
    }
    lxw_row_t row = top + 1;
    for (const Operation &o : report.operations) {
        sheet.moment(row, 0, o.fecha, QTime(0, 0), f.date);
        sheet.moment(row, 1, QDate(), o.hora, f.time);
        sheet.number(row, 2, o.puesto);
        sheet.text(row, 3, o.tipo);
        sheet.text(row, 4, o.usuario);
        sheet.text(row, 5, o.autorizo);
        sheet.number(row, 6, static_cast<double>(o.minutos));
        sheet.money(row, 7, o.cents, f.money);
        sheet.text(row++, 8, o.motivo);
    }
}

// The shifts, one row each, then the differences by operator. A time, a count or a difference
// that a shift has not got is an empty cell.
void writeShifts(Sheet &sheet, const Report &report, const Formats &f) {
    const lxw_row_t top = writeHeading(sheet, report, f);
    const char *const headings[] = {"Turno",    "Usuario", "Apertura", "Cierre",   "Estado",  "Fondo",      "Ventas",
                                    "Ingresos", "Retiros", "Gastos",   "Esperado", "Contado", "Diferencia", "Nota"};
    for (lxw_col_t c = 0; c < 14; ++c) {
        sheet.text(top, c, QString::fromUtf8(headings[c]), f.bold);
    }
    lxw_row_t row = top + 1;
    for (const shifts::ShiftRecord &s : report.shifts) {
        sheet.number(row, 0, static_cast<double>(s.numero));
        sheet.text(row, 1, s.usuario);
        sheet.moment(row, 2, s.apertura.date(), s.apertura.time(), f.instant);
        if (s.cierre.isValid()) {
            sheet.moment(row, 3, s.cierre.date(), s.cierre.time(), f.instant);
        }
        sheet.text(row, 4, s.estado);
        const qint64 amounts[] = {s.totals.floatCents,   s.totals.salesCents,  s.totals.ingresosCents,
                                  s.totals.retirosCents, s.totals.gastosCents, s.expectedCents};
        for (lxw_col_t c = 0; c < 6; ++c) {
            sheet.money(row, 5 + c, amounts[c], f.money);
        }
        if (s.countedCents) {
            sheet.money(row, 11, *s.countedCents, f.money);
        }
        if (s.differenceCents) {
            sheet.money(row, 12, *s.differenceCents, f.money);
        }
        sheet.text(row++, 13, s.nota);
    }
    if (!report.differences.isEmpty()) {
        ++row;
        sheet.text(row, 0, QStringLiteral("Diferencias por operador"), f.bold);
        sheet.text(row, 1, QStringLiteral("Diferencia"), f.bold);
        sheet.text(row++, 2, QStringLiteral("Turnos"), f.bold);
        for (const ShiftDifference &d : report.differences) {
            sheet.text(row, 0, d.usuario);
            sheet.money(row, 1, d.cents, f.money);
            sheet.number(row++, 2, d.shifts);
        }
    }
}

QString englishError(lxw_error error) {
    return QString::fromUtf8(lxw_strerror(error));
}

} // namespace

QString saveXlsx(const Report &report, const QString &path, const ExportProgress &progress) {
    if (report.rows.size() > kXlsxMaxRentals) {
        return exportFailure(path, QStringLiteral("el período tiene %1 alquileres y una hoja de cálculo admite %2; "
                                                  "exporte un período más corto, o en CSV")
                                       .arg(report.rows.size())
                                       .arg(kXlsxMaxRentals));
    }
    const QFileInfo info(path);
    if (info.isDir()) {
        return exportFailure(path, QStringLiteral("es una carpeta"));
    }
    // A name of our own beside the target, so the rename at the end stays on one file system.
    QTemporaryFile scratch(info.absolutePath() + QStringLiteral("/.ludomat-exporta-XXXXXX.xlsx"));
    if (!scratch.open()) {
        return exportFailure(path, scratch.errorString());
    }
    const QByteArray temporary = QFile::encodeName(scratch.fileName());
    const QByteArray folder = QFile::encodeName(info.absolutePath());
    scratch.close();

    // Rows go to the file as they are written, so a year of rentals costs no memory; the
    // library's own scratch files go beside the target too.
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    options.tmpdir = const_cast<char *>(folder.constData());
    lxw_workbook *book = workbook_new_opt(temporary.constData(), &options);
    if (!book) {
        return exportFailure(path, QStringLiteral("no se pudo crear el libro"));
    }
    const Formats formats = makeFormats(book);
    lxw_error error = LXW_NO_ERROR;
    lxw_worksheet *rentalsSheet = workbook_add_worksheet(book, "Alquileres");
    lxw_worksheet *totalsSheet = workbook_add_worksheet(book, "Totales");
    // A sheet of operations only when the period has some: older books export as before.
    lxw_worksheet *operationsSheet =
        report.operations.isEmpty() ? nullptr : workbook_add_worksheet(book, "Operaciones");
    lxw_worksheet *shiftsSheet = report.shifts.isEmpty() ? nullptr : workbook_add_worksheet(book, "Turnos");
    bool stopped = false;
    if (!rentalsSheet || !totalsSheet || (!report.operations.isEmpty() && !operationsSheet) ||
        (!report.shifts.isEmpty() && !shiftsSheet)) {
        error = LXW_ERROR_MEMORY_MALLOC_FAILED;
    } else {
        Sheet rentals(rentalsSheet, error);
        worksheet_set_column(rentalsSheet, 0, 0, 14, nullptr);
        worksheet_set_column(rentalsSheet, 1, 2, 16, nullptr);
        worksheet_set_column(rentalsSheet, 3, 3, 20, nullptr);
        worksheet_set_column(rentalsSheet, 4, 6, 14, nullptr);
        stopped = !writeRentals(rentals, report, formats, progress);
        Sheet totals(totalsSheet, error);
        worksheet_set_column(totalsSheet, 0, 0, 24, nullptr);
        worksheet_set_column(totalsSheet, 1, 3, 20, nullptr);
        if (!stopped) {
            writeTotals(totals, report, formats);
        }
        if (!stopped && operationsSheet) {
            Sheet operations(operationsSheet, error);
            worksheet_set_column(operationsSheet, 0, 0, 14, nullptr);
            worksheet_set_column(operationsSheet, 3, 5, 18, nullptr);
            worksheet_set_column(operationsSheet, 8, 8, 40, nullptr);
            writeOperations(operations, report, formats);
        }
        if (!stopped && shiftsSheet) {
            Sheet shifts(shiftsSheet, error);
            worksheet_set_column(shiftsSheet, 0, 0, 24, nullptr);
            worksheet_set_column(shiftsSheet, 1, 1, 16, nullptr);
            worksheet_set_column(shiftsSheet, 2, 3, 20, nullptr);
            worksheet_set_column(shiftsSheet, 4, 12, 14, nullptr);
            worksheet_set_column(shiftsSheet, 13, 13, 40, nullptr);
            writeShifts(shifts, report, formats);
        }
    }
    const lxw_error closed = workbook_close(book); // frees the book whatever happened
    if (stopped) {
        return exportCancelled(path); // the scratch file goes with its QTemporaryFile
    }
    if (error != LXW_NO_ERROR || closed != LXW_NO_ERROR) {
        return exportFailure(path, englishError(error != LXW_NO_ERROR ? error : closed));
    }
    if (std::rename(temporary.constData(), QFile::encodeName(path).constData()) != 0) {
        return exportFailure(path, QStringLiteral("no se pudo poner el archivo en su lugar"));
    }
    scratch.setAutoRemove(false); // it is the target now
    return {};
}

} // namespace cash_close
