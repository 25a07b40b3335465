#pragma once

#include "printing/Document.h"

#include <QString>

// A slip as a PDF of one page as wide as the paper roll (58 or 80 mm) and as long as the slip,
// for a shop without a thermal printer: the same lines, in the same columns, as the printer's.
namespace report {

// Written under a temporary name and renamed at the end; what went wrong, in Spanish, or empty.
// Whoever asks for it checks the target first, as for every export (data::outputRefusal).
QString saveSlipPdf(const printing::Document &document, int widthMm, const QString &path);

} // namespace report
