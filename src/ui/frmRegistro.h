#pragma once

#include "data/Journal.h"
#include "ui/Form.h"

class QComboBox;
class QLabel;
class QTableView;
class RegistroModel;

namespace journal {
class VerificationTask;
}

// The journal of a period, read-only and newest first, narrowed by operator and by kind of
// event; above it, whether the whole journal verifies. The verification runs on a thread of
// its own, so the window is usable while a long journal is walked.
class frmRegistro final : public ui::Form {
    Q_OBJECT
public:
    // A window of owner's: it goes when owner goes.
    frmRegistro(sys::Platform &platform, QWidget *owner);
    ~frmRegistro() override;

    // Starts the verification of the whole journal.
    void Form_Load();
    // Lists the entries made from from to to (both included); a file that cannot be read is told.
    void showPeriod(const QDateTime &from, const QDateTime &to);

    static const QString kAll; // "Todos"

protected:
    bool queryClose() override;

private:
    void applyFilter();
    void showVerification(const journal::Verification &result, const QString &error);

    RegistroModel *model_ = nullptr;
    journal::VerificationTask *verification_ = nullptr;

    QLabel *lblVerificacion = nullptr;
    QLabel *lblUsuario = nullptr;
    QComboBox *cboUsuario = nullptr;
    QLabel *lblEvento = nullptr;
    QComboBox *cboEvento = nullptr;
    QTableView *dgRegistro = nullptr;
};
