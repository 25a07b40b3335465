#pragma once

#include "cash_close/Report.h"

#include <QString>
#include <functional>

class QIODevice;

namespace cash_close {

// Called now and then while a file is written; false stops it, and nothing is left.
using ExportProgress = std::function<bool(qint64 done, qint64 total)>;

// The rentals as CSV for a spreadsheet or another program: RFC 4180 (CRLF, quotes doubled),
// UTF-8 without a byte-order mark, a header row "Puesto,Modo,Usuario,Fecha,Hora,Tiempo,Importe",
// ISO dates, 24-hour times, Tiempo as stored and amounts with a point and two decimals. Only
// the rentals: the total is the sum of Importe. Text that a spreadsheet would run as a formula
// is written as text, behind a single quote.
void writeCsv(const Report &report, QIODevice &out);

// Writes the CSV to path through a temporary file renamed over it at the end, so a failure or a
// stop half-way leaves whatever was there before, and its companion beside it the same way. An
// empty string when both were written; else the sentence for the operator, naming the path.
QString saveCsv(const Report &report, const QString &path, const ExportProgress &progress = {});

// The CSV stays rentals only, for the scripts that read it; what a reader of the CSV checks it
// against goes into a text file beside it: "cierre.csv" has "cierre-resumen.txt" (a name without
// ".csv" gets "-resumen.txt" added). It holds the period, who ran it and when, the number of
// rentals, both totals, the room when it is not the delivered one (roomLines), the journal's
// anchor as the PDF prints it, then the counter's operations of the period (operationLines) and,
// when the period has any, its shifts (shiftLines).
QString companionPath(const QString &csvPath);
void writeCompanion(const Report &report, const QString &csvPath, QIODevice &out);

// The sentence for a file that could not be written.
QString exportFailure(const QString &path, const QString &reason);
// The sentence for a file the operator stopped.
QString exportCancelled(const QString &path);

} // namespace cash_close
