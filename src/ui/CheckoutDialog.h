#pragma once

#include "stations/StationBoard.h"

#include <QDialog>

// The checkout of a running station: what its close records, frozen at the press of its button,
// with "&Cobrar" (Enter: record it) and "&Seguir" (Esc: the rental goes on as if nothing had
// happened). Shown with open(): the tick goes on meanwhile. Its controls are found by their
// object names: lblPuesto, lblTiempo, lblBloques, lblImporte, cmdCobrar, cmdSeguir.
class CheckoutDialog final : public QDialog {
    Q_OBJECT
public:
    // name: the station's, as its row shows it.
    CheckoutDialog(QWidget *parent, const stations::Checkout &quote, const QString &name);

    const stations::Checkout &quote() const { return quote_; }

private:
    stations::Checkout quote_;
};
