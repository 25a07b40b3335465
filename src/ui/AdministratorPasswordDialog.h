#pragma once

#include <QDialog>
#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;

// Asks for the administrator's password before a change that needs the administrator. Shown
// with open(), never exec(): the main window's tick goes on meanwhile. "&Aceptar" hands the
// typed text to check(), which says why it refuses (and then the box is emptied for another
// try); the dialog is accepted only once check() lets it through. "&Cancelar", Esc and the
// close box reject it.
class AdministratorPasswordDialog final : public QDialog {
    Q_OBJECT
public:
    AdministratorPasswordDialog(QWidget *parent, const QString &why, std::function<bool(const QString &typed)> check);

    QLabel *lblMotivo = nullptr;
    QLineEdit *txtContrasena = nullptr; // objectName "txtContraseña"
    QPushButton *cmdAceptar = nullptr;
    QPushButton *cmdCancelar = nullptr;

private:
    void cmdAceptar_Click();

    std::function<bool(const QString &)> check_;
};
