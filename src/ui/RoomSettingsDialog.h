#pragma once

#include "room/Room.h"
#include "ui/Form.h"

#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

// "Configuración del salón": the room's stations and console types with their prices, as the
// file holds them. It only shows and asks: "&Guardar" reads what was typed, names the first
// thing wrong, and hands the new room to save, which stores it or says why not (the window
// then keeps everything typed); once stored it says the changes apply at the next start and
// closes. Whoever opens it has already asked for the administrator's password.
// Controls by object name: tblPuestos (Número, Nombre, Tipo), cmdAgregarPuesto, cmdQuitarPuesto;
// tblConsolas (Nombre, Minutos, Pesos, Mínimo, Tolerancia, Recargo por mando), cmdAgregarConsola,
// cmdQuitarConsola; tblPeriodos (the selected type's: Nombre, Días, Desde, Hasta, Pesos),
// cmdAgregarPeriodo, cmdQuitarPeriodo; txtDenominaciones (the notes and coins a count lists, in
// pesos, largest first); cmdGuardar, cmdCancelar.
class RoomSettingsDialog final : public ui::Form {
    Q_OBJECT
public:
    // The refusal, or an empty text when the room was stored.
    using Save = std::function<QString(const room::Room &after)>;
    // running: the numbers of the stations with a rental running, which cannot be removed.
    // The notes and coins a shift's count lists, and how a changed list is stored (the refusal,
    // or empty when stored); without save the list is not shown.
    struct Denominations {
        QVector<qint64> cents;
        std::function<QString(const QVector<qint64> &cents)> save;
    };
    RoomSettingsDialog(sys::Platform &platform, const room::Room &room, std::vector<int> running, Save save,
                       Denominations denominations = {});
    ~RoomSettingsDialog() override;

    // The room as typed, or nullopt with the first thing that cannot be read in problem.
    std::optional<room::Room> typedRoom(QString *problem);

private:
    void addStation();
    void removeStation();
    void addType();
    void removeType();
    void addPeriod();
    void removePeriod();
    void save();
    void typeSelected(int row);
    // The periods table's rows kept for the type at row (texts as typed).
    void keepPeriods();
    void showPeriods();
    // Every station's type box offers the types' names as typed; each keeps its choice by row.
    void refreshTypeBoxes();
    void insertStation(int number, const QString &name, int type);
    void insertType(const QString &name, const pricing::Terms &terms);

    std::vector<int> running_;
    Save save_;
    Denominations denominations_;
    QLineEdit *txtDenominaciones = nullptr;
    QTableWidget *tblPuestos = nullptr;
    QTableWidget *tblConsolas = nullptr;
    QTableWidget *tblPeriodos = nullptr;
    QLabel *lblPeriodos = nullptr;
    QPushButton *cmdAgregarPuesto = nullptr;
    QPushButton *cmdQuitarPuesto = nullptr;
    QPushButton *cmdAgregarConsola = nullptr;
    QPushButton *cmdQuitarConsola = nullptr;
    QPushButton *cmdAgregarPeriodo = nullptr;
    QPushButton *cmdQuitarPeriodo = nullptr;
    QPushButton *cmdGuardar = nullptr;
    QPushButton *cmdCancelar = nullptr;
    // Each type's periods as typed (five texts a period), by the type's row.
    std::vector<std::vector<QStringList>> periods_;
    int periodsOf_ = -1; // the type whose periods the table shows
};
