#pragma once

#include "printing/PrinterSettings.h"
#include "ui/Form.h"

#include <functional>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
namespace printing {
class PrintService;
}

// "Impresora": where slips and receipts go, the paper, the shop's name, a receipt for every sale
// and the cash drawer. "Imprimir prueba" prints a test slip on the printer as typed and says how
// it went, without storing anything; "&Guardar" hands the settings to save, which stores them or
// says why not (the window then keeps what was typed). Whoever opens it has already asked for
// the administrator's password.
// Controls by object name: cboTipo, txtDestino, cboAncho, txtNegocio, chkRecibos, chkCajon,
// cmdPrueba, cmdGuardar, cmdCancelar.
class PrinterSettingsDialog final : public ui::Form {
    Q_OBJECT
public:
    using Save = std::function<QString(const printing::PrinterSettings &settings)>;
    PrinterSettingsDialog(sys::Platform &platform, printing::PrintService &printer,
                          const printing::PrinterSettings &stored, Save save);

    printing::PrinterSettings typedSettings() const;

private:
    void kindChosen();
    void printTest();
    void testEnded(quint64 job, const QString &problem);
    void save();

    printing::PrintService &printer_;
    Save save_;
    quint64 testJob_ = 0;
    QComboBox *cboTipo = nullptr;
    QLineEdit *txtDestino = nullptr;
    QComboBox *cboAncho = nullptr;
    QLineEdit *txtNegocio = nullptr;
    QCheckBox *chkRecibos = nullptr;
    QCheckBox *chkCajon = nullptr;
    QPushButton *cmdPrueba = nullptr;
    QPushButton *cmdGuardar = nullptr;
    QPushButton *cmdCancelar = nullptr;
};
