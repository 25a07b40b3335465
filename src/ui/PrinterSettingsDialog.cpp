#include "ui/PrinterSettingsDialog.h"

#include "printing/PrintService.h"
#include "printing/Receipt.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

// Positions in pixels at 96 dpi, placed in twips.
constexpr int kPx = 15;
constexpr int kWidth = 480;
constexpr int kHeight = 300;
constexpr int kField = 200; // where the boxes start

using printing::Kind;

QString hintFor(Kind kind) {
    switch (kind) {
    case Kind::Network:
        return QStringLiteral("192.168.0.50 o 192.168.0.50:9100");
    case Kind::Usb:
        return printing::kDefaultDevice;
    case Kind::Cups:
        return QStringLiteral("nombre de la cola, como Termica");
    case Kind::None:
        break;
    }
    return {};
}

} // namespace

PrinterSettingsDialog::PrinterSettingsDialog(sys::Platform &platform, printing::PrintService &printer,
                                             const printing::PrinterSettings &stored, Save save)
    : ui::Form(platform, QStringLiteral("Impresora"), QSize(kWidth * kPx, kHeight * kPx), QSize(320, 200), 11),
      printer_(printer), save_(std::move(save)) {
    setObjectName(QStringLiteral("frmImpresora"));
    const auto label = [this](const QString &text, int top, QWidget *buddy) {
        auto *l = new QLabel(text, this);
        l->setAttribute(Qt::WA_TranslucentBackground);
        l->setBuddy(buddy);
        place(l, 8 * kPx, top * kPx, (kField - 16) * kPx, 24 * kPx);
    };
    const auto field = [this](QWidget *w, const char *name, int top) {
        w->setObjectName(QString::fromLatin1(name));
        place(w, kField * kPx, top * kPx, (kWidth - kField - 8) * kPx, 24 * kPx);
    };
    cboTipo = new QComboBox(this);
    cboTipo->addItem(QStringLiteral("Ninguna"), int(Kind::None));
    cboTipo->addItem(QStringLiteral("De red (TCP)"), int(Kind::Network));
    cboTipo->addItem(QStringLiteral("USB (dispositivo)"), int(Kind::Usb));
    cboTipo->addItem(QStringLiteral("Cola de CUPS"), int(Kind::Cups));
    field(cboTipo, "cboTipo", 10);
    label(QStringLiteral("&Impresora:"), 10, cboTipo);
    txtDestino = new QLineEdit(this);
    field(txtDestino, "txtDestino", 42);
    label(QStringLiteral("&Dirección, dispositivo o cola:"), 42, txtDestino);
    cboAncho = new QComboBox(this);
    cboAncho->addItem(QStringLiteral("58 mm"), 58);
    cboAncho->addItem(QStringLiteral("80 mm"), 80);
    field(cboAncho, "cboAncho", 74);
    label(QStringLiteral("&Papel:"), 74, cboAncho);
    txtNegocio = new QLineEdit(this);
    txtNegocio->setMaxLength(printing::kMaxShopName);
    field(txtNegocio, "txtNegocio", 106);
    label(QStringLiteral("&Nombre del negocio:"), 106, txtNegocio);
    chkRecibos = new QCheckBox(QStringLiteral("Imprimir un &recibo por cada venta"), this);
    chkRecibos->setObjectName(QStringLiteral("chkRecibos"));
    place(chkRecibos, 8 * kPx, 142 * kPx, (kWidth - 16) * kPx, 24 * kPx);
    chkCajon = new QCheckBox(QStringLiteral("Abrir el ca&jón del dinero con cada venta"), this);
    chkCajon->setObjectName(QStringLiteral("chkCajon"));
    place(chkCajon, 8 * kPx, 172 * kPx, (kWidth - 16) * kPx, 24 * kPx);
    cmdPrueba = button(this, "cmdPrueba", QStringLiteral("Imprimir prueba"), 8 * kPx, 260 * kPx, 150 * kPx, 28 * kPx);
    cmdGuardar =
        button(this, "cmdGuardar", QStringLiteral("&Guardar"), (kWidth - 316) * kPx, 260 * kPx, 150 * kPx, 28 * kPx);
    cmdCancelar =
        button(this, "cmdCancelar", QStringLiteral("&Cancelar"), (kWidth - 158) * kPx, 260 * kPx, 150 * kPx, 28 * kPx);

    cboTipo->setCurrentIndex(cboTipo->findData(int(stored.kind)));
    txtDestino->setText(stored.target);
    cboAncho->setCurrentIndex(cboAncho->findData(stored.widthMm));
    txtNegocio->setText(stored.shopName);
    chkRecibos->setChecked(stored.receipts);
    chkCajon->setChecked(stored.drawer);
    kindChosen();

    tabChain({cboTipo, txtDestino, cboAncho, txtNegocio, chkRecibos, chkCajon, cmdPrueba, cmdGuardar, cmdCancelar});
    connect(cboTipo, &QComboBox::currentIndexChanged, this, &PrinterSettingsDialog::kindChosen);
    connect(cmdPrueba, &QPushButton::clicked, this, &PrinterSettingsDialog::printTest);
    connect(cmdGuardar, &QPushButton::clicked, this, &PrinterSettingsDialog::save);
    connect(cmdCancelar, &QPushButton::clicked, this, &Form::unload);
    connect(&printer_, &printing::PrintService::printed, this, [this](quint64 job) { testEnded(job, {}); });
    connect(&printer_, &printing::PrintService::failed, this, &PrinterSettingsDialog::testEnded);
}

printing::PrinterSettings PrinterSettingsDialog::typedSettings() const {
    printing::PrinterSettings s;
    s.kind = static_cast<Kind>(cboTipo->currentData().toInt());
    s.target = txtDestino->text().trimmed();
    s.widthMm = cboAncho->currentData().toInt();
    s.shopName = txtNegocio->text().trimmed();
    s.receipts = chkRecibos->isChecked();
    s.drawer = chkCajon->isChecked();
    return s;
}

void PrinterSettingsDialog::kindChosen() {
    const Kind kind = static_cast<Kind>(cboTipo->currentData().toInt());
    txtDestino->setEnabled(kind != Kind::None);
    txtDestino->setPlaceholderText(hintFor(kind));
    cmdPrueba->setEnabled(kind != Kind::None && testJob_ == 0);
}

void PrinterSettingsDialog::printTest() {
    const printing::PrinterSettings typed = typedSettings();
    if (typed.kind == Kind::None || testJob_ != 0) {
        return;
    }
    if (const QString problem = printing::checkSettings(typed); !problem.isEmpty()) {
        platform().messages.showMessage(this, problem);
        return;
    }
    // One test at a time: the button waits for the printer's answer; the window stays usable.
    testJob_ =
        printer_.printTo(typed, printing::testSlip(typed.shopName, printing::destinationText(typed), typed.widthMm));
    cmdPrueba->setEnabled(false);
}

void PrinterSettingsDialog::testEnded(quint64 job, const QString &problem) {
    if (job != testJob_ || testJob_ == 0) {
        return;
    }
    testJob_ = 0;
    kindChosen();
    platform().messages.postMessage(this,
                                    problem.isEmpty()
                                        ? QStringLiteral("La prueba se envió a la impresora: revise que las letras con "
                                                         "acento, la ñ y los signos ¿ ¡ salgan bien.")
                                        : problem,
                                    {});
}

void PrinterSettingsDialog::save() {
    if (isUnloading()) {
        return;
    }
    if (const QString problem = save_(typedSettings()); !problem.isEmpty()) {
        platform().messages.showMessage(this, problem);
        return;
    }
    platform().messages.showMessage(this, QStringLiteral("Se guardó la impresora."));
    unload();
}
