#pragma once

#include "data/Database.h"
#include "ui/Form.h"

#include <QPointer>
#include <array>
#include <memory>

class QLabel;
class QLineEdit;
class QPushButton;
class formLudomat2;

// The rate editor: shows the stored rate and stores a new one, which the main window reads
// at its next start.
class frmTarifa final : public ui::Form {
    Q_OBJECT
public:
    frmTarifa(ui::Platform &platform, formLudomat2 &main);
    ~frmTarifa() override;

    void Form_Load();
    void cmdGuardar_Click();
    void cmdSalir_Click();

    // Controls.
    std::array<QLabel *, 6> Label1{};
    QLineEdit *txtPesos1 = nullptr;
    QLineEdit *txtMinutos1 = nullptr;
    QLineEdit *txtPesos2 = nullptr;
    QLineEdit *txtMinutos2 = nullptr;
    QPushButton *cmdGuardar = nullptr;
    QPushButton *cmdSalir = nullptr;

    // Window-wide state.
    std::unique_ptr<data::Database> database;
    QString sqlText;

protected:
    bool queryClose() override;

private:
    QPointer<formLudomat2> main_; // whose operator changes the rate, for the journal
};
