#include "ui/frmVista.h"

#include "data/DbError.h"
#include "ui/QrCode.h"
#include "webview/Certificate.h"
#include "webview/Devices.h"
#include "webview/ViewProcess.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkInterface>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTimer>

namespace {

// Positions in pixels at 96 dpi, placed in twips.
constexpr int kPx = 15;
constexpr int kWidth = 640;
constexpr int kHeight = 640;
constexpr int kField = 200; // where the boxes start
constexpr int kQrSide = 200;
constexpr int kRefreshMs = 2000;

// The machine's IPv4 addresses a phone on the shop's network can reach; this machine alone
// when it has none.
QStringList addresses() {
    QStringList found;
    for (const QHostAddress &address : QNetworkInterface::allAddresses()) {
        if (address.protocol() == QAbstractSocket::IPv4Protocol && !address.isLoopback()) {
            found << address.toString();
        }
    }
    if (found.isEmpty()) {
        found << QStringLiteral("127.0.0.1");
    }
    return found;
}

QString when(const QDateTime &utc) {
    return utc.isValid() ? utc.toLocalTime().toString(QStringLiteral("dd/MM/yyyy HH:mm")) : QStringLiteral("—");
}

} // namespace

frmVista::frmVista(sys::Platform &platform, const webview::ViewProcess &view, const webview::ViewSettings &stored,
                   Save save)
    : ui::Form(platform, QStringLiteral("Vista del dueño"), QSize(kWidth * kPx, kHeight * kPx), QSize(400, 400), 13),
      view_(view), stored_(stored), save_(std::move(save)), refresh_(new QTimer(this)) {
    setObjectName(QStringLiteral("frmVista"));
    const auto label = [this](const QString &text, int left, int top, int width, QWidget *buddy) {
        auto *l = new QLabel(text, this);
        l->setAttribute(Qt::WA_TranslucentBackground);
        l->setBuddy(buddy);
        place(l, left * kPx, top * kPx, width * kPx, 24 * kPx);
        return l;
    };
    const auto named = [](QWidget *w, const char *name) {
        w->setObjectName(QString::fromLatin1(name));
        return w;
    };
    chkActiva = new QCheckBox(QStringLiteral("&Activar la vista del dueño"), this);
    named(chkActiva, "chkActiva");
    place(chkActiva, 8 * kPx, 8 * kPx, 400 * kPx, 24 * kPx);
    txtPuerto = new QLineEdit(this);
    named(txtPuerto, "txtPuerto");
    txtPuerto->setMaxLength(5);
    place(txtPuerto, kField * kPx, 40 * kPx, 100 * kPx, 24 * kPx);
    label(QStringLiteral("&Puerto:"), 8, 40, kField - 16, txtPuerto);
    optCertificadoPropio = new QRadioButton(QStringLiteral("Certificado pr&opio del programa"), this);
    named(optCertificadoPropio, "optCertificadoPropio");
    place(optCertificadoPropio, 8 * kPx, 72 * kPx, 400 * kPx, 24 * kPx);
    optCertificadoDueno = new QRadioButton(QStringLiteral("Certificado del &dueño (archivos PEM):"), this);
    named(optCertificadoDueno, "optCertificadoDueno");
    place(optCertificadoDueno, 8 * kPx, 98 * kPx, 400 * kPx, 24 * kPx);
    txtCertificado = new QLineEdit(this);
    named(txtCertificado, "txtCertificado");
    place(txtCertificado, kField * kPx, 126 * kPx, 340 * kPx, 24 * kPx);
    label(QStringLiteral("Cer&tificado:"), 24, 126, kField - 32, txtCertificado);
    cmdCertificado = button(this, "cmdCertificado", QStringLiteral("…"), 548 * kPx, 126 * kPx, 84 * kPx, 24 * kPx);
    txtClave = new QLineEdit(this);
    named(txtClave, "txtClave");
    place(txtClave, kField * kPx, 154 * kPx, 340 * kPx, 24 * kPx);
    label(QStringLiteral("C&lave:"), 24, 154, kField - 32, txtClave);
    cmdClave = button(this, "cmdClave", QStringLiteral("…"), 548 * kPx, 154 * kPx, 84 * kPx, 24 * kPx);
    cmdGuardar =
        button(this, "cmdGuardar", QStringLiteral("&Guardar cambios"), 482 * kPx, 186 * kPx, 150 * kPx, 28 * kPx);
    lblEstado = new QLabel(this);
    named(lblEstado, "lblEstado");
    lblEstado->setWordWrap(true);
    place(lblEstado, 8 * kPx, 186 * kPx, 466 * kPx, 40 * kPx);
    cboDireccion = new QComboBox(this);
    named(cboDireccion, "cboDireccion");
    cboDireccion->addItems(addresses());
    place(cboDireccion, kField * kPx, 232 * kPx, 200 * kPx, 24 * kPx);
    label(QStringLiteral("D&irección del equipo:"), 8, 232, kField - 16, cboDireccion);
    picQR = new QLabel(this);
    named(picQR, "picQR");
    picQR->setAlignment(Qt::AlignCenter);
    place(picQR, 8 * kPx, 264 * kPx, kQrSide * kPx, kQrSide * kPx);
    label(QStringLiteral("Código para emparejar:"), 224, 264, 300, nullptr);
    lblCodigo = new QLabel(this);
    named(lblCodigo, "lblCodigo");
    QFont big = lblCodigo->font();
    big.setPointSize(18);
    big.setBold(true);
    big.setFamily(QStringLiteral("monospace"));
    lblCodigo->setFont(big);
    lblCodigo->setTextInteractionFlags(Qt::TextSelectableByMouse);
    place(lblCodigo, 224 * kPx, 288 * kPx, 408 * kPx, 36 * kPx);
    cmdNuevoCodigo =
        button(this, "cmdNuevoCodigo", QStringLiteral("Nuevo &código"), 224 * kPx, 330 * kPx, 150 * kPx, 28 * kPx);
    cmdCopiar =
        button(this, "cmdCopiar", QStringLiteral("Copiar el &enlace"), 382 * kPx, 330 * kPx, 150 * kPx, 28 * kPx);
    lblHuella = new QLabel(this);
    named(lblHuella, "lblHuella");
    lblHuella->setWordWrap(true);
    lblHuella->setTextInteractionFlags(Qt::TextSelectableByMouse);
    place(lblHuella, 224 * kPx, 366 * kPx, 408 * kPx, 98 * kPx);
    grdDispositivos = new QTableWidget(0, 3, this);
    named(grdDispositivos, "grdDispositivos");
    grdDispositivos->setHorizontalHeaderLabels(
        {QStringLiteral("Dispositivo"), QStringLiteral("Emparejado"), QStringLiteral("Último uso")});
    grdDispositivos->verticalHeader()->hide();
    grdDispositivos->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    grdDispositivos->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdDispositivos->setSelectionMode(QAbstractItemView::SingleSelection);
    grdDispositivos->setEditTriggers(QAbstractItemView::NoEditTriggers);
    place(grdDispositivos, 8 * kPx, 472 * kPx, 624 * kPx, 120 * kPx);
    cmdRevocar = button(this, "cmdRevocar", QStringLiteral("&Revocar"), 8 * kPx, 602 * kPx, 150 * kPx, 28 * kPx);
    cmdCerrar = button(this, "cmdCerrar", QStringLiteral("Cerrar"), 482 * kPx, 602 * kPx, 150 * kPx, 28 * kPx);

    chkActiva->setChecked(stored_.enabled);
    txtPuerto->setText(QString::number(stored_.port));
    const bool owners = !stored_.certificateFile.isEmpty();
    (owners ? optCertificadoDueno : optCertificadoPropio)->setChecked(true);
    txtCertificado->setText(stored_.certificateFile);
    txtClave->setText(stored_.keyFile);

    tabChain({chkActiva, txtPuerto, optCertificadoPropio, optCertificadoDueno, txtCertificado, cmdCertificado, txtClave,
              cmdClave, cmdGuardar, cboDireccion, cmdNuevoCodigo, cmdCopiar, grdDispositivos, cmdRevocar, cmdCerrar});
    connect(chkActiva, &QCheckBox::clicked, this, &frmVista::activeClicked);
    connect(optCertificadoDueno, &QRadioButton::toggled, this, &frmVista::enableControls);
    connect(cmdCertificado, &QPushButton::clicked, this,
            [this] { chooseFile(txtCertificado, QStringLiteral("Certificado de la vista del dueño")); });
    connect(cmdClave, &QPushButton::clicked, this,
            [this] { chooseFile(txtClave, QStringLiteral("Clave privada del certificado")); });
    connect(cmdGuardar, &QPushButton::clicked, this, &frmVista::saveTyped);
    connect(cboDireccion, &QComboBox::currentIndexChanged, this, &frmVista::showPairing);
    connect(cmdNuevoCodigo, &QPushButton::clicked, this, &frmVista::newCode);
    connect(cmdCopiar, &QPushButton::clicked, this, [this] {
        if (!pairingAddress_.isEmpty()) {
            QGuiApplication::clipboard()->setText(pairingAddress_);
        }
    });
    connect(grdDispositivos, &QTableWidget::itemSelectionChanged, this, &frmVista::enableControls);
    connect(cmdRevocar, &QPushButton::clicked, this, &frmVista::revoke);
    connect(cmdCerrar, &QPushButton::clicked, this, &Form::unload);
    connect(&view_, &webview::ViewProcess::stateChanged, this, [this] {
        showState();
        showFingerprint();
        showPairing();
    });
    // Devices pair and are used from the phone while the window is open: a small read every 2 s.
    connect(refresh_, &QTimer::timeout, this, [this] {
        refreshDevices();
        showState();
        showPairing();
    });
    refresh_->start(kRefreshMs);

    // Opened to pair a phone: a fresh code when the view is on.
    if (stored_.enabled) {
        newCode();
    }
    showState();
    showFingerprint();
    showPairing();
    refreshDevices();
    enableControls();
}

frmVista::~frmVista() = default;

webview::ViewSettings frmVista::typedSettings() const {
    webview::ViewSettings s;
    s.enabled = stored_.enabled;
    bool ok = false;
    const uint port = txtPuerto->text().trimmed().toUInt(&ok);
    s.port = ok && port <= 65535 ? static_cast<quint16>(port) : quint16(0); // 0: refused as out of range
    if (optCertificadoDueno->isChecked()) {
        s.certificateFile = txtCertificado->text().trimmed();
        s.keyFile = txtClave->text().trimmed();
    }
    return s;
}

bool frmVista::store(const webview::ViewSettings &settings) {
    QString problem = webview::checkSettings(settings);
    if (problem.isEmpty() && !settings.certificateFile.isEmpty()) {
        // The pair is read as the view will read it: a wrong file is said here, not by a view
        // that never starts.
        const webview::CertificatePair pair = webview::loadCertificate(settings.certificateFile, settings.keyFile);
        problem = pair.error;
    }
    if (problem.isEmpty()) {
        problem = save_(settings);
    }
    if (!problem.isEmpty()) {
        platform().messages.showMessage(this, problem);
        return false;
    }
    stored_ = settings;
    return true;
}

void frmVista::activeClicked(bool on) {
    if (on) {
        webview::ViewSettings settings = typedSettings();
        settings.enabled = true;
        if (!store(settings)) {
            chkActiva->setChecked(false);
            return;
        }
        newCode();
    } else {
        if (platform().messages.ask(this,
                                    QStringLiteral("Se revocarán todos los dispositivos emparejados. ¿Apagar la vista "
                                                   "del dueño?"),
                                    {QStringLiteral("Apagar"), QStringLiteral("Cancelar")}) != 0) {
            chkActiva->setChecked(true);
            return;
        }
        webview::ViewSettings settings = stored_;
        settings.enabled = false;
        if (!store(settings)) {
            chkActiva->setChecked(true);
            return;
        }
        code_.clear();
        if (webview::DeviceStore *store = devices()) {
            try {
                store->revokeAll();
            } catch (const data::DbError &error) {
                platform().messages.showMessage(
                    this, QStringLiteral("La vista quedó apagada, pero no se pudieron revocar los dispositivos: ") +
                              error.message());
            }
        }
    }
    showState();
    showFingerprint();
    showPairing();
    refreshDevices();
    enableControls();
}

void frmVista::saveTyped() {
    const webview::ViewSettings settings = typedSettings();
    if (settings == stored_) {
        return;
    }
    if (store(settings)) {
        platform().messages.showMessage(this, QStringLiteral("Se guardó la vista del dueño."));
        showFingerprint();
        showPairing();
    }
}

void frmVista::chooseFile(QLineEdit *box, const QString &caption) {
    const QString start = box->text().isEmpty() ? QDir::homePath() : QFileInfo(box->text()).absolutePath();
    const QString chosen = platform().files.openPath(
        this, {caption, start, {QStringLiteral("Archivos PEM (*.pem *.crt *.key)"), QStringLiteral("Todos (*)")}});
    if (!chosen.isEmpty()) {
        box->setText(chosen);
        optCertificadoDueno->setChecked(true);
    }
}

webview::DeviceStore *frmVista::devices() {
    if (!store_) {
        try {
            store_ = std::make_unique<webview::DeviceStore>(
                QDir(platform().where.dataFolder).filePath(webview::kDevicesFileName));
        } catch (const data::DbError &error) {
            lblEstado->setText(QStringLiteral("No se puede abrir la lista de dispositivos: ") + error.message());
            return nullptr;
        }
    }
    return store_.get();
}

void frmVista::newCode() {
    webview::DeviceStore *store = stored_.enabled ? devices() : nullptr;
    if (!store) {
        return;
    }
    try {
        const webview::PairingCode made = store->newPairingCode(platform().clock.wallTime().toUTC());
        code_ = made.code;
        codeExpires_ = made.expiresUtc;
    } catch (const data::DbError &error) {
        code_.clear();
        platform().messages.showMessage(this, QStringLiteral("No se pudo crear el código: ") + error.message());
    }
    showPairing();
}

void frmVista::showPairing() {
    const bool expired = !code_.isEmpty() && platform().clock.wallTime().toUTC() >= codeExpires_;
    QString address;
    if (stored_.enabled && !code_.isEmpty() && !expired) {
        const quint16 port = view_.state() == webview::ViewProcess::State::Running ? view_.port() : stored_.port;
        address =
            QStringLiteral("https://%1:%2/emparejar?codigo=%3").arg(cboDireccion->currentText()).arg(port).arg(code_);
    }
    if (address == pairingAddress_ && !(expired && lblCodigo->text() == code_)) {
        return; // the same picture: a fresh one every 2 s would flicker
    }
    pairingAddress_ = address;
    if (!stored_.enabled) {
        lblCodigo->setText(QStringLiteral("—"));
    } else if (expired || code_.isEmpty()) {
        lblCodigo->setText(QStringLiteral("Pida un código nuevo"));
    } else {
        lblCodigo->setText(code_);
        lblCodigo->setToolTip(QStringLiteral("Vale hasta las %1, para un solo dispositivo.")
                                  .arg(codeExpires_.toLocalTime().toString(QStringLiteral("HH:mm"))));
    }
    const QImage code = address.isEmpty() ? QImage() : ui::qrCode(address);
    if (code.isNull()) {
        picQR->clear();
    } else {
        const int scale = std::max(1, kQrSide / code.width());
        picQR->setPixmap(QPixmap::fromImage(code.scaled(code.width() * scale, code.height() * scale)));
    }
    picQR->setToolTip(address);
    enableControls();
}

void frmVista::showFingerprint() {
    QString text;
    if (view_.state() == webview::ViewProcess::State::Running && !view_.fingerprint().isEmpty()) {
        text = view_.fingerprint();
    } else if (stored_.enabled && !stored_.certificateFile.isEmpty()) {
        const webview::CertificatePair pair = webview::loadCertificate(stored_.certificateFile, stored_.keyFile);
        text = pair.ok() ? webview::fingerprintText(pair.certificate) : pair.error;
    } else if (stored_.enabled &&
               QFileInfo::exists(QDir(platform().where.dataFolder).filePath(webview::kOwnCertificateFile))) {
        // Only read: the view makes the program's own certificate at its first start.
        const webview::CertificatePair pair = webview::ownCertificate(platform().where.dataFolder);
        text = pair.ok() ? webview::fingerprintText(pair.certificate) : pair.error;
    }
    fingerprint_ = text;
    lblHuella->setText(text.isEmpty() ? QString()
                                      : QStringLiteral("Huella del certificado (SHA-256), la misma que muestra el "
                                                       "teléfono:\n") +
                                            text);
}

void frmVista::showState() {
    lblEstado->setText(stored_.enabled || view_.state() != webview::ViewProcess::State::Off
                           ? view_.stateText()
                           : QStringLiteral("Apagada: nadie puede ver el salón desde otro dispositivo."));
}

void frmVista::refreshDevices() {
    webview::DeviceStore *store = devices();
    if (!store) {
        return;
    }
    QVector<webview::Device> list;
    try {
        list = store->devices();
    } catch (const data::DbError &error) {
        lblEstado->setText(QStringLiteral("No se puede leer la lista de dispositivos: ") + error.message());
        return;
    }
    QString listing;
    for (const webview::Device &d : list) {
        listing += QStringLiteral("%1|%2|%3|%4\n").arg(d.id).arg(d.name, when(d.pairedUtc), when(d.lastUseUtc));
    }
    // One more device: the code shown was used (it pairs one device only).
    if (deviceCount_ >= 0 && list.size() > deviceCount_ && !code_.isEmpty()) {
        code_.clear();
        showPairing();
    }
    deviceCount_ = list.size();
    if (listing == lastListing_) {
        return; // the selection stays where the administrator put it
    }
    lastListing_ = listing;
    const qint64 selected =
        grdDispositivos->currentRow() >= 0 && grdDispositivos->item(grdDispositivos->currentRow(), 0)
            ? grdDispositivos->item(grdDispositivos->currentRow(), 0)->data(Qt::UserRole).toLongLong()
            : 0;
    grdDispositivos->clearSelection();
    grdDispositivos->setRowCount(static_cast<int>(list.size()));
    for (int row = 0; row < list.size(); ++row) {
        const webview::Device &d = list[row];
        auto *name = new QTableWidgetItem(d.name);
        name->setData(Qt::UserRole, d.id);
        grdDispositivos->setItem(row, 0, name);
        grdDispositivos->setItem(row, 1, new QTableWidgetItem(when(d.pairedUtc)));
        grdDispositivos->setItem(row, 2, new QTableWidgetItem(when(d.lastUseUtc)));
        if (d.id == selected) {
            grdDispositivos->selectRow(row);
        }
    }
    enableControls();
}

void frmVista::revoke() {
    const int row = grdDispositivos->currentRow();
    const QTableWidgetItem *item =
        row >= 0 && !grdDispositivos->selectedItems().isEmpty() ? grdDispositivos->item(row, 0) : nullptr;
    webview::DeviceStore *store = item ? devices() : nullptr;
    if (!store) {
        return;
    }
    if (platform().messages.ask(this,
                                QStringLiteral("¿Revocar «%1»? Ese dispositivo ya no verá el salón hasta que se "
                                               "empareje de nuevo.")
                                    .arg(item->text()),
                                {QStringLiteral("Revocar"), QStringLiteral("Cancelar")}) != 0) {
        return;
    }
    try {
        store->revoke(item->data(Qt::UserRole).toLongLong());
    } catch (const data::DbError &error) {
        platform().messages.showMessage(this, QStringLiteral("No se pudo revocar el dispositivo: ") + error.message());
    }
    refreshDevices();
}

void frmVista::enableControls() {
    const bool owners = optCertificadoDueno->isChecked();
    for (QWidget *w : {static_cast<QWidget *>(txtCertificado), static_cast<QWidget *>(cmdCertificado),
                       static_cast<QWidget *>(txtClave), static_cast<QWidget *>(cmdClave)}) {
        w->setEnabled(owners);
    }
    cboDireccion->setEnabled(stored_.enabled);
    cmdNuevoCodigo->setEnabled(stored_.enabled);
    cmdCopiar->setEnabled(!pairingAddress_.isEmpty());
    cmdRevocar->setEnabled(!grdDispositivos->selectedItems().isEmpty());
}
