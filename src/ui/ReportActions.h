#pragma once

#include "cash_close/Report.h"
#include "printing/Document.h"

#include <QString>

class QWidget;

namespace sys {
struct Platform;
}

// What the cash-close window's Exportar and Imprimir buttons do with the last report.
namespace cash_close {

// The name offered for a report, in the user's documents folder: "cierre-2026-12-05.csv", or
// "cierre-2026-12-01-al-2026-12-05.csv" for more than one day.
QString suggestedExportPath(const Report &report);

// Saves the report where the operator chooses (the platform's file chooser), as CSV, PDF or .xlsx by the name's
// extension, and says how it went. Without a report it asks for a run first.
void exportReport(QWidget *parent, sys::Platform &platform, const Report *report);

// The print preview of the report, printing through the printer chosen from it.
void printReport(QWidget *parent, sys::Platform &platform, const Report *report);

// Saves a shift's slip as a one-page PDF at the roll's width where the operator chooses
// ("turno-12.pdf" in the documents folder offered), and says how it went.
void exportShiftSlip(QWidget *parent, sys::Platform &platform, const printing::Document &slip, int widthMm,
                     qint64 numero);

} // namespace cash_close
