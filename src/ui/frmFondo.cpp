#include "ui/frmFondo.h"

#include "accounts/Session.h"
#include "data/NumberText.h"
#include "shifts/ShiftService.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

frmFondo::frmFondo(sys::Platform &platform, shifts::ShiftService &shifts, const accounts::Session &session,
                   const QString &note)
    : ui::Form(platform, QStringLiteral("Fondo de caja"), QSize(5400, 2760), QSize(360, 184), 11), shifts_(shifts),
      session_(session) {
    setObjectName(QStringLiteral("frmFondo"));
    lblAviso = new QLabel(note.isEmpty() ? QStringLiteral("Turno de %1.").arg(session.user()) : note, this);
    lblAviso->setObjectName(QStringLiteral("lblAviso"));
    lblAviso->setWordWrap(true);
    lblAviso->setAttribute(Qt::WA_TranslucentBackground);
    place(lblAviso, 240, 120, 4920, 720);
    lblFondo = new QLabel(QStringLiteral("&Efectivo en la caja al empezar: $"), this);
    lblFondo->setObjectName(QStringLiteral("lblFondo"));
    lblFondo->setAttribute(Qt::WA_TranslucentBackground);
    place(lblFondo, 240, 1020, 3120, 375);
    txtFondo = new QLineEdit(numtext::amountText(shifts.suggestedFloat()), this);
    txtFondo->setObjectName(QStringLiteral("txtFondo"));
    lblFondo->setBuddy(txtFondo);
    place(txtFondo, 3480, 1000, 1680, 375);
    cmdAceptar = button(this, "cmdAceptar", QStringLiteral("&Aceptar"), 240, 1980, 1560, 435);
    cmdSinTurno = button(this, "cmdSinTurno", QStringLiteral("Entrar sin &turno"), 1920, 1980, 1680, 435);
    cmdCancelar = button(this, "cmdCancelar", QStringLiteral("&Cancelar"), 3720, 1980, 1440, 435);
    // Only the administrator enters without a shift, and only to change settings.
    cmdSinTurno->setVisible(session.isAdministrator());
    tabChain({txtFondo, cmdAceptar, cmdSinTurno, cmdCancelar});
    ui::onKeyDown(txtFondo, [this](int key, Qt::KeyboardModifiers) {
        if (!ui::isEnterKey(key)) {
            return false;
        }
        cmdAceptar_Click();
        return true;
    });
    connect(cmdAceptar, &QPushButton::clicked, this, &frmFondo::cmdAceptar_Click);
    connect(cmdSinTurno, &QPushButton::clicked, this, [this] {
        unload();
        Q_EMIT withoutShift();
    });
    connect(cmdCancelar, &QPushButton::clicked, this, [this] {
        unload();
        Q_EMIT cancelled();
    });
    txtFondo->selectAll();
    setFocusProxy(txtFondo);
}

bool frmFondo::queryClose() {
    // The close box is "&Cancelar": the sign-in is undone, nothing is opened.
    unload();
    Q_EMIT cancelled();
    return true;
}

void frmFondo::cmdAceptar_Click() {
    const shifts::AmountCheck typed = shifts::checkFloat(txtFondo->text());
    if (!typed.problem.isEmpty()) {
        platform().messages.showMessage(this, typed.problem);
        txtFondo->setFocus();
        txtFondo->selectAll();
        return;
    }
    const shifts::ShiftService::Result opened = shifts_.open(session_.user(), typed.cents);
    if (!opened.ok) {
        platform().messages.showMessage(this, opened.problem);
        return;
    }
    unload();
    Q_EMIT shiftOpened();
}
