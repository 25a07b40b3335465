#pragma once

#include <QString>

// The values of Alquiler.Modo and Operaciones.Tipo. A rental is counted once, by its row in
// Contador or Prepago; blocks added to a prepaid rental and the refund of a cancelled one are
// rows of their own, in the totals but not counted as rentals.
namespace kinds {

inline const QString kContador = QStringLiteral("Contador");
inline const QString kPrepago = QStringLiteral("Prepago");
inline const QString kPrepagoAgregado = QStringLiteral("Prepago (agregado)");
inline const QString kAnulacion = QStringLiteral("Anulación");

// Whether a row of Alquiler in this mode is a rental of its own.
inline bool countsAsRental(const QString &modo) {
    return modo != kPrepagoAgregado && modo != kAnulacion;
}

// Operaciones.Tipo. Minutos: the minutes added or given, or the time a cancelled rental had run;
// Importe: what the blocks cost, the amount taken off, or what a cancellation refunded (a
// prepaid) or left uncharged (a Contador); 0 for courtesy time.
inline const QString kOpBloques = QStringLiteral("Bloques agregados");
inline const QString kOpCortesia = QStringLiteral("Cortesía");
inline const QString kOpDescuento = QStringLiteral("Descuento");
inline const QString kOpAnulacion = QStringLiteral("Anulación");

} // namespace kinds
