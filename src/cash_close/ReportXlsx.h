#pragma once

#include "cash_close/Report.h"
#include "cash_close/ReportCsv.h"

#include <QString>

namespace cash_close {

// The most rentals one sheet takes: a spreadsheet's rows less the heading above them.
inline constexpr qint64 kXlsxMaxRentals = 1048576 - 8;

// The report as a spreadsheet (.xlsx) that opens the same under any locale: every cell typed.
// Sheet "Alquileres": the heading (period, who ran it and when, and the journal's anchor and
// seal in the words of the printed report), then one row per rental: Puesto a number, Fecha a date, Hora a time of day,
// Tiempo a duration (hours may pass 24), Importe a number with a currency format. Sheet "Totales": the same heading,
// both totals and the subtotals by operator, station and mode, amounts as numbers, then the operations by kind; sheet
// "Operaciones", only when the period has some: each one; sheet "Turnos", only when the period
// has some: each shift (its number, operator, opening and close as instants, state, its amounts,
// note) and the differences by operator. Text is always text: nothing a
// spreadsheet would run as a formula. Written through a temporary file renamed over path at the end, like the CSV: a
// failure or a stop leaves what was there. Empty when written, else the operator's sentence naming the path.
QString saveXlsx(const Report &report, const QString &path, const ExportProgress &progress = {});

} // namespace cash_close
