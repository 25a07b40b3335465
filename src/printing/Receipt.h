#pragma once

#include "printing/Document.h"

#include <QString>

namespace stations {
struct Sale;
}

// The small documents of the counter: a sale's receipt, the drawer opened alone, the test slip.
namespace printing {

// The shop's name, when and where, what was sold, the amount, who sold it; the paper cut.
Document receipt(const QString &shopName, const stations::Sale &sale);
// Only the cash drawer's pulse: nothing printed, nothing cut.
Document drawerOnly();
// "Prueba de impresión" with the letters a printer must show right, under the shop's name.
Document testSlip(const QString &shopName, const QString &destination, int widthMm);

} // namespace printing
