#pragma once

#include "cash_close/Report.h"

#include <QString>
#include <functional>

class QPagedPaintDevice;

namespace cash_close {

// Called before each page is drawn; false stops the document there.
using PageProgress = std::function<bool(int page, int pages)>;

// The printed cash close on any paged device (a PDF writer, a printer, a print preview): title,
// period, who ran it and when, the number of rentals and the subtotals, the counter's operations
// (by kind, then each with who approved it and why), the shifts when the period has any (the
// differences by operator, then each shift's drawer), every rental in the
// grid's seven columns, and on the last page both totals and the journal's anchor; "Página n
// de m" at the foot of each page. Rows are drawn one by one, so a year of them costs pages,
// not memory. Needs only a QGuiApplication. False when the device could not be painted or
// progress stopped it.
bool paintReport(const Report &report, QPagedPaintDevice &device, const PageProgress &progress = {});

// The document as an A4 PDF written through a temporary file renamed over path at the end:
// empty when written, else the operator's sentence naming the path; a stop leaves nothing.
QString savePdf(const Report &report, const QString &path, const PageProgress &progress = {});

} // namespace cash_close
