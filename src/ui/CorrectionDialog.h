#pragma once

#include <QDialog>
#include <QList>
#include <utility>

class QComboBox;
class QLabel;
class QLineEdit;
class QSpinBox;

// One of the counter's corrections on a running station, asked for in one small window: the
// fields the correction needs (a count, an amount, the station to move to, a reason, the
// administrator's password) and "&Aceptar" / "&Cancelar". "&Aceptar" hands what was typed to
// whoever opened it, which either closes it or says why not and leaves it open; Esc and the close
// box leave it with nothing done. Shown with open(): the tick goes on meanwhile. Controls by
// object name: lblPuesto, spnCantidad, txtImporte, cboPuesto, txtMotivo, txtContraseña,
// cmdAceptar, cmdCancelar.
class CorrectionDialog final : public QDialog {
    Q_OBJECT
public:
    struct Fields {
        QString title;
        QString about;      // what the station runs, shown first
        QString countLabel; // set: a count from 1 to countMax
        int countMax = 0;
        QString amountLabel;                     // set: an amount in pesos
        QList<std::pair<int, QString>> stations; // set: the stations it may go to (index, name)
        bool reason = false;                     // a reason must be typed
        bool password = false;                   // the administrator's password
    };
    CorrectionDialog(QWidget *parent, const Fields &fields);

    int count() const;
    QString amount() const;
    int station() const; // the chosen index, -1 when none
    QString reason() const;
    QString password() const;
    // After a refusal: the password box emptied for another try.
    void clearPassword();

Q_SIGNALS:
    void submitted();

private:
    QLabel *about_ = nullptr;
    QSpinBox *count_ = nullptr;
    QLineEdit *amount_ = nullptr;
    QComboBox *station_ = nullptr;
    QLineEdit *reason_ = nullptr;
    QLineEdit *password_ = nullptr;
};
