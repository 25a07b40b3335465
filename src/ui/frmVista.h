#pragma once

#include "ui/Form.h"
#include "webview/ViewSettings.h"

#include <functional>
#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTableWidget;
class QTimer;
namespace webview {
class DeviceStore;
class ViewProcess;
} // namespace webview

// "Vista del dueño": the owner's view turned on or off, its port and certificate (the program's
// own or the owner's two files), the address and pairing code as a QR code for the owner's phone,
// the certificate's fingerprint, how the view is doing and the paired devices, each revocable.
// Settings go through save, which stores and applies them or says why not; turning the view off
// revokes every device. The view's state is heard from the ViewProcess's signals. Whoever opens
// it has already asked for the administrator's password.
// Controls by object name: chkActiva, txtPuerto, optCertificadoPropio, optCertificadoDueno,
// txtCertificado, cmdCertificado, txtClave, cmdClave, cmdGuardar, lblEstado, cboDireccion, picQR,
// lblCodigo, cmdNuevoCodigo, cmdCopiar, lblHuella, grdDispositivos, cmdRevocar, cmdCerrar.
class frmVista final : public ui::Form {
    Q_OBJECT
public:
    using Save = std::function<QString(const webview::ViewSettings &settings)>;
    frmVista(sys::Platform &platform, const webview::ViewProcess &view, const webview::ViewSettings &stored, Save save);
    ~frmVista() override;

    // The address the QR code holds: https://<address>:<port>/emparejar?codigo=<code>; empty
    // without a good code.
    QString pairingAddress() const { return pairingAddress_; }

private:
    webview::ViewSettings typedSettings() const;
    void activeClicked(bool on);
    void saveTyped();
    bool store(const webview::ViewSettings &settings);
    void chooseFile(QLineEdit *box, const QString &caption);
    void newCode();
    void revoke();
    void showState();
    void showPairing();
    void showFingerprint();
    void refreshDevices();
    void enableControls();
    // The devices' file, opened at first use; null (and the reason shown) when it cannot be.
    webview::DeviceStore *devices();

    const webview::ViewProcess &view_;
    webview::ViewSettings stored_;
    Save save_;
    std::unique_ptr<webview::DeviceStore> store_;
    QString code_;
    QDateTime codeExpires_;
    QString pairingAddress_;
    QString fingerprint_;
    QString lastListing_; // the devices as last shown: the table is rebuilt only when they change
    qsizetype deviceCount_ = -1;
    QTimer *refresh_ = nullptr;
    QCheckBox *chkActiva = nullptr;
    QLineEdit *txtPuerto = nullptr;
    QRadioButton *optCertificadoPropio = nullptr;
    QRadioButton *optCertificadoDueno = nullptr;
    QLineEdit *txtCertificado = nullptr;
    QPushButton *cmdCertificado = nullptr;
    QLineEdit *txtClave = nullptr;
    QPushButton *cmdClave = nullptr;
    QPushButton *cmdGuardar = nullptr;
    QLabel *lblEstado = nullptr;
    QComboBox *cboDireccion = nullptr;
    QLabel *picQR = nullptr;
    QLabel *lblCodigo = nullptr;
    QPushButton *cmdNuevoCodigo = nullptr;
    QPushButton *cmdCopiar = nullptr;
    QLabel *lblHuella = nullptr;
    QTableWidget *grdDispositivos = nullptr;
    QPushButton *cmdRevocar = nullptr;
    QPushButton *cmdCerrar = nullptr;
};
