#include "ui/RoomSettingsDialog.h"

#include "rate/RateInput.h"
#include "room/RoomText.h"
#include "shifts/Shift.h"
#include "stations/StationMath.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableWidget>
#include <algorithm>

namespace {

// Positions in pixels at 96 dpi, placed in twips.
constexpr int kPx = 15;
constexpr int kWidth = 720;

const QString kTarifaTip = QStringLiteral("La primera consola cobra la tarifa: se cambia con «Cambiar Tarifa».");

// An amount as the amount boxes take it back: two decimals after the locale's separator.
QString pesosText(qint64 cents) {
    const QString point = QLocale().decimalPoint() == QLatin1String(",") ? QStringLiteral(",") : QStringLiteral(".");
    return QStringLiteral("%1%2%3").arg(cents / 100).arg(point).arg(cents % 100, 2, 10, QChar(u'0'));
}

// The notes and coins as typed, in pesos separated by spaces (or semicolons), largest first;
// nullopt for anything but amounts above zero, none repeated.
std::optional<QVector<qint64>> denominationsTyped(const QString &text) {
    QVector<qint64> cents;
    for (const QString &part : text.split(QRegularExpression(QStringLiteral("[\\s;]+")), Qt::SkipEmptyParts)) {
        const std::optional<double> pesos = rate::readPesos(part);
        if (!pesos || *pesos <= 0 || *pesos >= rate::kMaxPesos) {
            return std::nullopt;
        }
        cents << stations::centsOf(*pesos);
    }
    std::sort(cents.begin(), cents.end(), std::greater<>());
    if (!shifts::denominationsFromText(shifts::denominationsText(cents))) {
        return std::nullopt;
    }
    return cents;
}

QTableWidget *table(QWidget *parent, const char *name, const QStringList &headers, int top, int height) {
    auto *t = new QTableWidget(0, static_cast<int>(headers.size()), parent);
    t->setObjectName(QString::fromLatin1(name));
    t->setHorizontalHeaderLabels(headers);
    t->verticalHeader()->hide();
    t->setSelectionBehavior(QAbstractItemView::SelectRows);
    t->setSelectionMode(QAbstractItemView::SingleSelection);
    t->horizontalHeader()->setStretchLastSection(true);
    ui::Form::place(t, 8 * kPx, top * kPx, (kWidth - 16) * kPx, height * kPx);
    return t;
}

QTableWidgetItem *cell(const QString &text, bool editable = true) {
    auto *item = new QTableWidgetItem(text);
    if (!editable) {
        item->setFlags(item->flags() & ~Qt::ItemIsEditable);
    }
    return item;
}

QString textAt(const QTableWidget *t, int row, int column) {
    const QTableWidgetItem *item = t->item(row, column);
    return item ? item->text().trimmed() : QString();
}

std::optional<int> wholeNumber(const QString &text, int low, int high) {
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,6}$"));
    if (!digits.match(text).hasMatch() || text.toInt() < low || text.toInt() > high) {
        return std::nullopt;
    }
    return text.toInt();
}

std::optional<qint64> cents(const QString &text) {
    const std::optional<double> pesos = rate::readPesos(text);
    if (!pesos || *pesos >= rate::kMaxPesos) {
        return std::nullopt;
    }
    return stations::centsOf(*pesos);
}

} // namespace

RoomSettingsDialog::RoomSettingsDialog(sys::Platform &platform, const room::Room &room, std::vector<int> running,
                                       Save save, Denominations denominations)
    : ui::Form(platform, QStringLiteral("Configuración del salón"), QSize(kWidth * kPx, 690 * kPx), QSize(480, 460), 7),
      running_(std::move(running)), save_(std::move(save)), denominations_(std::move(denominations)) {
    setObjectName(QStringLiteral("frmSalon"));
    auto label = [this](const char *name, const QString &text, int top) {
        auto *l = new QLabel(text, this);
        l->setObjectName(QString::fromLatin1(name));
        l->setAttribute(Qt::WA_TranslucentBackground);
        place(l, 8 * kPx, top * kPx, (kWidth - 16) * kPx, 18 * kPx);
        return l;
    };
    auto button = [this](const char *name, const QString &caption, int left, int top) {
        return Form::button(this, name, caption, left * kPx, top * kPx, 150 * kPx, 26 * kPx);
    };
    label("lblPuestos", QStringLiteral("Puestos"), 6);
    tblPuestos = table(this, "tblPuestos", {QStringLiteral("Número"), QStringLiteral("Nombre"), QStringLiteral("Tipo")},
                       26, 200);
    tblPuestos->setColumnWidth(0, 70);
    tblPuestos->setColumnWidth(1, 320);
    cmdAgregarPuesto = button("cmdAgregarPuesto", QStringLiteral("Agregar &puesto"), 8, 232);
    cmdQuitarPuesto = button("cmdQuitarPuesto", QStringLiteral("&Quitar puesto"), 166, 232);
    label("lblConsolas", QStringLiteral("Tipos de consola"), 266);
    tblConsolas = table(this, "tblConsolas",
                        {QStringLiteral("Nombre"), QStringLiteral("Minutos"), QStringLiteral("Pesos"),
                         QStringLiteral("Mínimo"), QStringLiteral("Tolerancia"), QStringLiteral("Recargo por mando")},
                        286, 120);
    cmdAgregarConsola = button("cmdAgregarConsola", QStringLiteral("Agregar c&onsola"), 8, 412);
    cmdQuitarConsola = button("cmdQuitarConsola", QStringLiteral("Q&uitar consola"), 166, 412);
    lblPeriodos = label("lblPeriodos", QString(), 446);
    tblPeriodos = table(this, "tblPeriodos",
                        {QStringLiteral("Nombre"), QStringLiteral("Días"), QStringLiteral("Desde"),
                         QStringLiteral("Hasta"), QStringLiteral("Pesos")},
                        466, 140);
    tblPeriodos->setToolTip(QStringLiteral("Días: L M X J V S D, separados por comas o como rango (L-V). "
                                           "Horas como 14:00; un período que termina antes de empezar pasa la "
                                           "medianoche."));
    cmdAgregarPeriodo = button("cmdAgregarPeriodo", QStringLiteral("Agregar pe&ríodo"), 8, 612);
    cmdQuitarPeriodo = button("cmdQuitarPeriodo", QStringLiteral("Quitar perío&do"), 166, 612);
    if (denominations_.save) {
        auto *l = new QLabel(QStringLiteral("&Billetes y monedas:"), this);
        l->setObjectName(QStringLiteral("lblDenominaciones"));
        l->setAttribute(Qt::WA_TranslucentBackground);
        place(l, 8 * kPx, 656 * kPx, 132 * kPx, 18 * kPx);
        QStringList pesos;
        for (const qint64 cents : denominations_.cents) {
            pesos << (cents % 100 == 0 ? QString::number(cents / 100) : pesosText(cents));
        }
        txtDenominaciones = new QLineEdit(pesos.join(u' '), this);
        txtDenominaciones->setObjectName(QStringLiteral("txtDenominaciones"));
        txtDenominaciones->setToolTip(QStringLiteral("Los billetes y monedas que lista el arqueo de caja, en pesos, "
                                                     "separados por espacios: 1000 500 200 ... 0,50"));
        l->setBuddy(txtDenominaciones);
        place(txtDenominaciones, 140 * kPx, 652 * kPx, (kWidth - 316 - 148) * kPx, 26 * kPx);
    }
    cmdGuardar = button("cmdGuardar", QStringLiteral("&Guardar"), kWidth - 316, 652);
    cmdCancelar = button("cmdCancelar", QStringLiteral("&Cancelar"), kWidth - 158, 652);

    for (const room::ConsoleType &type : room.types) {
        insertType(type.name, type.terms);
    }
    for (const room::StationEntry &station : room.stations) {
        const auto type = std::find_if(room.types.begin(), room.types.end(),
                                       [&station](const room::ConsoleType &t) { return t.name == station.type; });
        insertStation(station.number, station.name,
                      type == room.types.end() ? 0 : static_cast<int>(type - room.types.begin()));
    }
    refreshTypeBoxes();
    tblConsolas->selectRow(0);
    typeSelected(0);

    tabChain({tblPuestos, cmdAgregarPuesto, cmdQuitarPuesto, tblConsolas, cmdAgregarConsola, cmdQuitarConsola,
              tblPeriodos, cmdAgregarPeriodo, cmdQuitarPeriodo, cmdGuardar, cmdCancelar});
    connect(cmdAgregarPuesto, &QPushButton::clicked, this, &RoomSettingsDialog::addStation);
    connect(cmdQuitarPuesto, &QPushButton::clicked, this, &RoomSettingsDialog::removeStation);
    connect(cmdAgregarConsola, &QPushButton::clicked, this, &RoomSettingsDialog::addType);
    connect(cmdQuitarConsola, &QPushButton::clicked, this, &RoomSettingsDialog::removeType);
    connect(cmdAgregarPeriodo, &QPushButton::clicked, this, &RoomSettingsDialog::addPeriod);
    connect(cmdQuitarPeriodo, &QPushButton::clicked, this, &RoomSettingsDialog::removePeriod);
    connect(cmdGuardar, &QPushButton::clicked, this, &RoomSettingsDialog::save);
    connect(cmdCancelar, &QPushButton::clicked, this, &Form::unload);
    connect(tblConsolas, &QTableWidget::currentCellChanged, this,
            [this](int row, int, int, int) { typeSelected(row); });
    connect(tblConsolas, &QTableWidget::itemChanged, this, [this](QTableWidgetItem *item) {
        if (item->column() == 0) {
            refreshTypeBoxes();
            if (item->row() == periodsOf_) {
                lblPeriodos->setText(QStringLiteral("Períodos de «%1»").arg(item->text().trimmed()));
            }
        }
    });
}

RoomSettingsDialog::~RoomSettingsDialog() = default;

void RoomSettingsDialog::insertType(const QString &name, const pricing::Terms &terms) {
    const int row = tblConsolas->rowCount();
    const bool first = row == 0;
    const QSignalBlocker quiet(tblConsolas);
    tblConsolas->insertRow(row);
    tblConsolas->setItem(row, 0, cell(name));
    tblConsolas->setItem(row, 1, cell(QString::number(terms.minutes), !first));
    tblConsolas->setItem(row, 2, cell(pesosText(terms.cents), !first));
    tblConsolas->setItem(row, 3, cell(QString::number(terms.minimumBlocks)));
    tblConsolas->setItem(row, 4, cell(QString::number(terms.toleranceMinutes)));
    tblConsolas->setItem(row, 5, cell(pesosText(terms.controllerCents)));
    if (first) {
        for (int column : {1, 2}) {
            tblConsolas->item(row, column)->setToolTip(kTarifaTip);
            tblConsolas->item(row, column)->setForeground(palette().brush(QPalette::Disabled, QPalette::Text));
        }
    }
    std::vector<QStringList> rows;
    for (const pricing::Period &p : terms.periods) {
        rows.push_back({p.name, room::daysText(p.days), room::clockText(p.startMinute), room::clockText(p.endMinute),
                        pesosText(p.cents)});
    }
    periods_.push_back(std::move(rows));
}

void RoomSettingsDialog::insertStation(int number, const QString &name, int type) {
    int row = 0;
    while (row < tblPuestos->rowCount() && textAt(tblPuestos, row, 0).toInt() < number) {
        ++row;
    }
    tblPuestos->insertRow(row);
    tblPuestos->setItem(row, 0, cell(QString::number(number), false));
    tblPuestos->setItem(row, 1, cell(name));
    auto *box = new QComboBox(tblPuestos);
    box->setObjectName(QStringLiteral("cboTipo_%1").arg(number));
    box->setProperty("type", type);
    tblPuestos->setCellWidget(row, 2, box);
}

void RoomSettingsDialog::refreshTypeBoxes() {
    QStringList names;
    for (int row = 0; row < tblConsolas->rowCount(); ++row) {
        names << textAt(tblConsolas, row, 0);
    }
    for (int row = 0; row < tblPuestos->rowCount(); ++row) {
        auto *box = qobject_cast<QComboBox *>(tblPuestos->cellWidget(row, 2));
        const int chosen = box->count() ? box->currentIndex() : box->property("type").toInt();
        const QSignalBlocker quiet(box);
        box->clear();
        box->addItems(names);
        box->setCurrentIndex(std::clamp(chosen, 0, static_cast<int>(names.size()) - 1));
    }
}

void RoomSettingsDialog::addStation() {
    if (tblPuestos->rowCount() >= stations::kMaxStations) {
        platform().messages.showMessage(
            this, QStringLiteral("El salón ya tiene %1 puestos, el máximo.").arg(stations::kMaxStations));
        return;
    }
    int number = 1;
    for (bool taken = true; taken; ++number) {
        taken = false;
        for (int row = 0; row < tblPuestos->rowCount(); ++row) {
            taken = taken || textAt(tblPuestos, row, 0).toInt() == number;
        }
        if (!taken) {
            break;
        }
    }
    insertStation(number, QStringLiteral("Puesto %1").arg(number), 0);
    refreshTypeBoxes();
    for (int row = 0; row < tblPuestos->rowCount(); ++row) {
        if (textAt(tblPuestos, row, 0).toInt() == number) {
            tblPuestos->setCurrentCell(row, 1);
        }
    }
}

void RoomSettingsDialog::removeStation() {
    const int row = tblPuestos->currentRow();
    if (row < 0) {
        platform().messages.showMessage(this, QStringLiteral("Elija el puesto que quiere quitar."));
        return;
    }
    const int number = textAt(tblPuestos, row, 0).toInt();
    if (std::find(running_.begin(), running_.end(), number) != running_.end()) {
        platform().messages.showMessage(this, QStringLiteral("No se puede quitar el puesto «%1»: tiene un alquiler en "
                                                             "curso.")
                                                  .arg(textAt(tblPuestos, row, 1)));
        return;
    }
    if (tblPuestos->rowCount() == 1) {
        platform().messages.showMessage(this, QStringLiteral("El salón debe tener al menos un puesto."));
        return;
    }
    tblPuestos->removeRow(row);
}

void RoomSettingsDialog::addType() {
    keepPeriods();
    QString name;
    for (int n = tblConsolas->rowCount() + 1;; ++n) {
        name = QStringLiteral("Consola %1").arg(n);
        bool taken = false;
        for (int row = 0; row < tblConsolas->rowCount(); ++row) {
            taken = taken || room::sameName(textAt(tblConsolas, row, 0), name);
        }
        if (!taken) {
            break;
        }
    }
    // A new type starts at the first one's block and price, no rules.
    pricing::Terms terms;
    terms.minutes = wholeNumber(textAt(tblConsolas, 0, 1), 1, pricing::kMaxBlockMinutes).value_or(60);
    terms.cents = cents(textAt(tblConsolas, 0, 2)).value_or(0);
    insertType(name, terms);
    refreshTypeBoxes();
    tblConsolas->setCurrentCell(tblConsolas->rowCount() - 1, 0);
}

void RoomSettingsDialog::removeType() {
    const int row = tblConsolas->currentRow();
    if (row < 0) {
        platform().messages.showMessage(this, QStringLiteral("Elija la consola que quiere quitar."));
        return;
    }
    const QString name = textAt(tblConsolas, row, 0);
    if (row == 0) {
        platform().messages.showMessage(
            this, QStringLiteral("No se puede quitar la consola «%1»: la primera consola cobra la tarifa.").arg(name));
        return;
    }
    for (int s = 0; s < tblPuestos->rowCount(); ++s) {
        if (qobject_cast<QComboBox *>(tblPuestos->cellWidget(s, 2))->currentIndex() == row) {
            platform().messages.showMessage(this, QStringLiteral("No se puede quitar la consola «%1»: la usa el "
                                                                 "puesto «%2».")
                                                      .arg(name, textAt(tblPuestos, s, 1)));
            return;
        }
    }
    keepPeriods();
    periodsOf_ = -1;
    periods_.erase(periods_.begin() + row);
    for (int s = 0; s < tblPuestos->rowCount(); ++s) {
        auto *box = qobject_cast<QComboBox *>(tblPuestos->cellWidget(s, 2));
        box->setProperty("type", box->currentIndex() > row ? box->currentIndex() - 1 : box->currentIndex());
        const QSignalBlocker quiet(box);
        box->clear(); // refreshTypeBoxes takes the choice from the property
    }
    tblConsolas->removeRow(row);
    refreshTypeBoxes();
    typeSelected(tblConsolas->currentRow());
}

void RoomSettingsDialog::keepPeriods() {
    if (periodsOf_ < 0 || periodsOf_ >= static_cast<int>(periods_.size())) {
        return;
    }
    std::vector<QStringList> rows;
    for (int row = 0; row < tblPeriodos->rowCount(); ++row) {
        QStringList texts;
        for (int column = 0; column < 5; ++column) {
            texts << textAt(tblPeriodos, row, column);
        }
        rows.push_back(texts);
    }
    periods_[static_cast<size_t>(periodsOf_)] = rows;
}

void RoomSettingsDialog::typeSelected(int row) {
    if (row == periodsOf_) {
        return;
    }
    keepPeriods();
    periodsOf_ = row;
    showPeriods();
}

void RoomSettingsDialog::showPeriods() {
    tblPeriodos->setRowCount(0);
    const bool shown = periodsOf_ >= 0 && periodsOf_ < static_cast<int>(periods_.size());
    lblPeriodos->setText(shown ? QStringLiteral("Períodos de «%1»").arg(textAt(tblConsolas, periodsOf_, 0))
                               : QStringLiteral("Períodos"));
    if (!shown) {
        return;
    }
    for (const QStringList &texts : periods_[static_cast<size_t>(periodsOf_)]) {
        const int row = tblPeriodos->rowCount();
        tblPeriodos->insertRow(row);
        for (int column = 0; column < 5; ++column) {
            tblPeriodos->setItem(row, column, cell(texts.value(column)));
        }
    }
}

void RoomSettingsDialog::addPeriod() {
    if (periodsOf_ < 0) {
        platform().messages.showMessage(this, QStringLiteral("Elija la consola del período."));
        return;
    }
    const int row = tblPeriodos->rowCount();
    tblPeriodos->insertRow(row);
    const QStringList texts{QStringLiteral("Período %1").arg(row + 1), QStringLiteral("L-V"), QStringLiteral("14:00"),
                            QStringLiteral("17:00"), textAt(tblConsolas, periodsOf_, 2)};
    for (int column = 0; column < 5; ++column) {
        tblPeriodos->setItem(row, column, cell(texts[column]));
    }
    tblPeriodos->setCurrentCell(row, 0);
}

void RoomSettingsDialog::removePeriod() {
    const int row = tblPeriodos->currentRow();
    if (row < 0) {
        platform().messages.showMessage(this, QStringLiteral("Elija el período que quiere quitar."));
        return;
    }
    tblPeriodos->removeRow(row);
}

std::optional<room::Room> RoomSettingsDialog::typedRoom(QString *problem) {
    keepPeriods();
    room::Room out;
    for (int row = 0; row < tblConsolas->rowCount(); ++row) {
        const QString name = textAt(tblConsolas, row, 0);
        const auto refuse = [&](const QString &what, const QString &typed, const QString &accepted) {
            *problem = QStringLiteral("Consola «%1», %2: no se acepta «%3». %4").arg(name, what, typed, accepted);
            return std::nullopt;
        };
        const QString amounts = rate::acceptedForms();
        pricing::Terms terms;
        const auto minutes = wholeNumber(textAt(tblConsolas, row, 1), 1, pricing::kMaxBlockMinutes);
        if (!minutes) {
            return refuse(QStringLiteral("Minutos"), textAt(tblConsolas, row, 1),
                          QStringLiteral("Debe ser un número entero de 1 a %1.").arg(pricing::kMaxBlockMinutes));
        }
        terms.minutes = *minutes;
        const auto price = cents(textAt(tblConsolas, row, 2));
        if (!price) {
            return refuse(QStringLiteral("Pesos"), textAt(tblConsolas, row, 2), amounts);
        }
        terms.cents = *price;
        const auto minimum = wholeNumber(textAt(tblConsolas, row, 3), 1, pricing::kMaxMinimumBlocks);
        if (!minimum) {
            return refuse(QStringLiteral("Mínimo"), textAt(tblConsolas, row, 3),
                          QStringLiteral("Debe ser un número entero de 1 a %1.").arg(pricing::kMaxMinimumBlocks));
        }
        terms.minimumBlocks = *minimum;
        const auto tolerance = wholeNumber(textAt(tblConsolas, row, 4), 0, pricing::kMaxBlockMinutes);
        if (!tolerance) {
            return refuse(QStringLiteral("Tolerancia"), textAt(tblConsolas, row, 4),
                          QStringLiteral("Debe ser un número entero de minutos."));
        }
        terms.toleranceMinutes = *tolerance;
        const auto surcharge = cents(textAt(tblConsolas, row, 5));
        if (!surcharge) {
            return refuse(QStringLiteral("Recargo por mando"), textAt(tblConsolas, row, 5), amounts);
        }
        terms.controllerCents = *surcharge;
        for (const QStringList &texts : periods_[static_cast<size_t>(row)]) {
            const QString what = QStringLiteral("período «%1», ").arg(texts[0]);
            const auto days = room::readDays(texts[1]);
            if (!days) {
                return refuse(what + QStringLiteral("Días"), texts[1],
                              QStringLiteral("Escriba las letras L M X J V S D separadas por comas, o un rango como "
                                             "L-V."));
            }
            const auto from = room::readClock(texts[2]);
            const auto to = room::readClock(texts[3]);
            if (!from || !to) {
                return refuse(what + (from ? QStringLiteral("Hasta") : QStringLiteral("Desde")), texts[from ? 3 : 2],
                              QStringLiteral("Escriba la hora como 14:00, de 00:00 a 23:59."));
            }
            const auto periodPrice = cents(texts[4]);
            if (!periodPrice) {
                return refuse(what + QStringLiteral("Pesos"), texts[4], amounts);
            }
            terms.periods.push_back({texts[0], *days, *from, *to, *periodPrice});
        }
        out.types.push_back({name, terms});
    }
    for (int row = 0; row < tblPuestos->rowCount(); ++row) {
        const int type = qobject_cast<QComboBox *>(tblPuestos->cellWidget(row, 2))->currentIndex();
        out.stations.push_back({textAt(tblPuestos, row, 0).toInt(), textAt(tblPuestos, row, 1),
                                type >= 0 && type < static_cast<int>(out.types.size())
                                    ? out.types[static_cast<size_t>(type)].name
                                    : QString()});
    }
    return out;
}

void RoomSettingsDialog::save() {
    if (isUnloading()) {
        return;
    }
    QString problem;
    const std::optional<room::Room> after = typedRoom(&problem);
    if (after && problem.isEmpty()) {
        problem = room::checkRoom(*after);
    }
    QVector<qint64> denominations = denominations_.cents;
    if (problem.isEmpty() && txtDenominaciones) {
        const std::optional<QVector<qint64>> typed = denominationsTyped(txtDenominaciones->text());
        if (!typed) {
            problem = QStringLiteral("La lista de billetes y monedas («%1») no es válida: importes en pesos mayores "
                                     "que cero, con dos decimales a lo sumo, sin repetir, separados por espacios.")
                          .arg(txtDenominaciones->text());
        } else {
            denominations = *typed;
        }
    }
    if (problem.isEmpty()) {
        problem = save_(*after);
    }
    if (!problem.isEmpty()) {
        platform().messages.showMessage(this, problem);
        return;
    }
    if (denominations != denominations_.cents) {
        // The room is stored by now: a list the file refuses is said on its own.
        if (const QString refused = denominations_.save(denominations); !refused.isEmpty()) {
            platform().messages.showMessage(this, refused);
        }
    }
    platform().messages.showMessage(
        this, QStringLiteral("Los cambios del salón se aplicarán la próxima vez que se inicie el programa."));
    unload();
}
