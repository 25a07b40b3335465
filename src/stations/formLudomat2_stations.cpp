// The station logic of the main window: modes, prepaid time, opening and closing, the tick.
//
// Writing a box from code runs its change handler at once (textChanged is a direct signal),
// so the order of the writes below is the order in which the block charge and the flashing
// see the changes.
#include "stations/formLudomat2.h"

#include "data/NumberText.h"
#include "data/Statements.h"
#include "stations/DisplayBox.h"
#include "stations/Module1.h"
#include "stations/StationMath.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>

namespace {

using stations::StationMode;

const QColor kRed(255, 0, 0);
const QColor kWhite(255, 255, 255);

size_t at(int index) {
    return static_cast<size_t>(index);
}

} // namespace

double formLudomat2::boxValue(const QLineEdit *box) const {
    // Only this code writes the boxes, always with numbers.
    return numtext::fromText(box->text()).value_or(0.0);
}

void formLudomat2::writeBox(QLineEdit *box, double value) {
    box->setText(numtext::toText(value));
}

void formLudomat2::moveFocus(QWidget *target) {
    // A prepaid time may end while the accounts or cash-close window holds the main window
    // disabled; no focus moves into a window that takes no input.
    if (isEnabled()) {
        target->setFocus(Qt::OtherFocusReason);
    }
}

// Modes and prepaid time ------------------------------------------------------------------

void formLudomat2::optModo_Click(int index) {
    const int i = index / 2;
    if (index % 2 == 0) {
        vsTiempo[at(i)]->setEnabled(true);
        moveFocus(vsTiempo[at(i)]);
        vsTiempo[at(i)]->setValue(1); // runs the prepaid split only if the value changes
        writeBox(txtMinuto[at(i)], rate.Minutos);
        writeBox(txtPesos[at(i)], rate.Pesos);
        station[at(i)].mode = StationMode::Prepago;
    } else {
        vsTiempo[at(i)]->setEnabled(false);
        moveFocus(cmdPuesto[at(i)]);
        txtPesos[at(i)]->setText(QStringLiteral("0"));
        txtHora[at(i)]->setText(QStringLiteral("0"));
        txtMinuto[at(i)]->setText(QStringLiteral("0"));
        station[at(i)].mode = StationMode::Contador;
    }
}

bool formLudomat2::optModo_KeyDown(int index, int key, Qt::KeyboardModifiers) {
    if (!ui::isEnterKey(key)) {
        return false; // arrows keep moving between the two options
    }
    const int i = index / 2;
    moveFocus(index % 2 == 0 ? static_cast<QWidget *>(vsTiempo[at(i)]) : cmdPuesto[at(i)]);
    return true;
}

bool formLudomat2::vsTiempo_KeyDown(int index, int key, Qt::KeyboardModifiers) {
    if (!ui::isEnterKey(key)) {
        return false; // arrows keep stepping the block count
    }
    moveFocus(cmdPuesto[at(index)]);
    return true;
}

void formLudomat2::vsTiempo_Change(int index) {
    const auto i = at(index);
    const int blocks = vsTiempo[i]->value();
    txtHora[i]->setText(QStringLiteral("0"));
    txtMinuto[i]->setText(QStringLiteral("0"));
    writeBox(txtPesos[i], static_cast<double>(blocks) * rate.Pesos);
    const stations::PrepaidTime split = stations::prepaidSplit(rate.Minutos, blocks);
    writeBox(txtHora[i], split.hours);
    if (split.minutes != 0) {
        writeBox(txtMinuto[i], split.minutes);
    }
}

void formLudomat2::txtMinuto_Change(int index) {
    auto &s = station[at(index)];
    // Only a running Contador rental is charged by its minutes; the count restarts when the
    // station opens, so the second block falls exactly Minutos minutes after the opening.
    if (!s.running || s.mode != StationMode::Contador) {
        return;
    }
    const stations::BlockCount next = stations::countMinute(s.blockMinutes, rate.Minutos);
    s.blockMinutes = next.blockMinutes;
    if (next.charge) {
        writeBox(txtPesos[at(index)], boxValue(txtPesos[at(index)]) + rate.Pesos);
    }
}

void formLudomat2::txtSegundo_Change(int index) {
    const auto i = at(index);
    const auto &s = station[i];
    if (!s.running || s.mode != StationMode::Prepago || boxValue(txtHora[i]) != 0 || boxValue(txtMinuto[i]) != 0) {
        return;
    }
    const QColor next = stations::boxBackground(txtSegundo[i]).rgb() == kRed.rgb() ? kWhite : kRed;
    stations::setBoxBackground(txtHora[i], next);
    stations::setBoxBackground(txtMinuto[i], next);
    stations::setBoxBackground(txtSegundo[i], next);
}

// Opening and closing ---------------------------------------------------------------------

void formLudomat2::cmdPuesto_Click(int index) {
    const auto i = at(index);
    if (expiring[i]) {
        return; // its end-of-prepaid message is still open; the reset follows its dismissal
    }
    const bool contador = station[i].mode == StationMode::Contador;
    if (cmdPuesto[i]->text() == runningCaption(index) && contador) {
        if (recordRental(index, true)) {
            resetStation(index);
        }
    } else if (cmdPuesto[i]->text() == runningCaption(index) && !contador) {
        resetStation(index); // paid in advance: closing early records nothing more
    } else if (cmdPuesto[i]->text() == idleCaption(index) && !contador) {
        if (recordRental(index, false)) {
            lockStation(index);
        }
    } else if (cmdPuesto[i]->text() == idleCaption(index) && contador) {
        lockStation(index);
        writeBox(txtPesos[i], rate.Pesos); // every started block is paid, the first at once
    }
}

bool formLudomat2::recordRental(int index, bool contador) {
    const auto i = at(index);
    const stations::RecordedTime tiempo = stations::recordedTime(boxValue(txtHora[i]), boxValue(txtMinuto[i]));
    sqlText = statements::alquilerInsert(index + 1, contador, lblUsuario->text(), startDay, startMonthAbbrev, startYear,
                                         platform().clock.timeOfDay().toString(QStringLiteral("HH:mm:ss")),
                                         tiempo.hours, tiempo.minutes, numtext::engineNumber(boxValue(txtPesos[i])));
    try {
        if (!database) {
            throw data::DbError(QStringLiteral("La base de datos no está abierta."), sqlText);
        }
        database->execute(sqlText);
        return true;
    } catch (const data::DbError &error) {
        // Nothing of the station has changed yet: it stays open, or idle, as it was.
        platform().messages.showMessage(
            this, QStringLiteral("No se pudo registrar el alquiler del Puesto %1; el puesto sigue como estaba.\n\n%2")
                      .arg(index + 1)
                      .arg(error.describe()));
        return false;
    }
}

void formLudomat2::unlockToContador(int index) {
    const auto i = at(index);
    cmdPuesto[i]->setText(idleCaption(index));
    station[i].running = false;
    optModo[2 * i]->setEnabled(true);
    optModo[2 * i + 1]->setEnabled(true);
    // From Prepago this runs the choice of Contador; from Contador nothing changes.
    optModo[2 * i + 1]->setChecked(true);
}

void formLudomat2::resetStation(int index) {
    const auto i = at(index);
    unlockToContador(index);
    // The station no longer runs, so these writes charge nothing and flash nothing.
    txtPesos[i]->setText(QStringLiteral("0"));
    txtHora[i]->setText(QStringLiteral("0"));
    txtMinuto[i]->setText(QStringLiteral("0"));
    txtSegundo[i]->setText(QStringLiteral("0"));
}

void formLudomat2::lockStation(int index) {
    const auto i = at(index);
    cmdPuesto[i]->setText(runningCaption(index));
    station[i].blockMinutes = 0;
    station[i].running = true;
    optModo[2 * i]->setEnabled(false);
    optModo[2 * i + 1]->setEnabled(false);
    vsTiempo[i]->setEnabled(false);
}

// The tick --------------------------------------------------------------------------------

void formLudomat2::Timer1_Timer() {
    const auto apply = [this](int index, const stations::TickStep &step) {
        const auto i = at(index);
        for (int w = 0; w < step.count; ++w) {
            const stations::BoxWrite &write = step.writes[at(w)];
            QLineEdit *box = write.box == stations::TimeBox::Hora     ? txtHora[i]
                             : write.box == stations::TimeBox::Minuto ? txtMinuto[i]
                                                                      : txtSegundo[i];
            writeBox(box, write.value);
        }
    };
    // Count-ups first: a prepaid station that ends below becomes Contador only after them.
    for (int index = 0; index < stations::kStations; ++index) {
        const auto i = at(index);
        if (station[i].running && station[i].mode == StationMode::Contador && !expiring[i]) {
            apply(index, stations::countUpStep(boxValue(txtHora[i]), boxValue(txtMinuto[i]), boxValue(txtSegundo[i])));
        }
    }
    for (int index = 0; index < stations::kStations; ++index) {
        const auto i = at(index);
        if (!station[i].running || station[i].mode != StationMode::Prepago || expiring[i]) {
            continue;
        }
        const stations::TickStep step =
            stations::countDownStep(boxValue(txtHora[i]), boxValue(txtMinuto[i]), boxValue(txtSegundo[i]));
        if (step.ended) {
            endPrepaid(index);
        } else {
            apply(index, step);
        }
    }
}

void formLudomat2::endPrepaid(int index) {
    const auto i = at(index);
    // The message waits for the operator while ticks go on; this station sits them out.
    expiring[i] = true;
    Module1::SoundAlarm(platform());
    platform().messages.showMessage(this,
                                    QStringLiteral("Finalizó el tiempo del prepago en el Puesto %1.").arg(index + 1));
    expiring[i] = false;
    unlockToContador(index);
}
