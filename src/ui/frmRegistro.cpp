#include "ui/frmRegistro.h"

#include "data/Database.h"
#include "data/JournalTask.h"
#include "ui/Twips.h"

#include <QAbstractTableModel>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QTableView>
#include <algorithm>
#include <optional>

// The entries as read, the ones that pass the filters by their index; texts made only for the
// cells drawn.
class RegistroModel final : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;

    static constexpr int kColumns = 6;

    void load(QList<journal::Entry> entries) {
        entries_ = std::move(entries);
        filter({}, {});
    }
    // Nothing lets every value through.
    void filter(const std::optional<QString> &usuario, const std::optional<QString> &evento) {
        beginResetModel();
        shown_.clear();
        for (qsizetype i = 0; i < entries_.size(); ++i) {
            if ((!usuario || entries_[i].usuario == *usuario) && (!evento || entries_[i].evento == *evento)) {
                shown_.push_back(i);
            }
        }
        endResetModel();
    }
    QStringList distinct(QString journal::Entry::*field) const {
        QStringList out;
        for (const journal::Entry &e : entries_) {
            out << e.*field;
        }
        out.sort();
        out.removeDuplicates();
        return out;
    }

    int rowCount(const QModelIndex &parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(shown_.size());
    }
    int columnCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : kColumns; }
    QVariant data(const QModelIndex &index, int role) const override {
        if (!index.isValid() || index.row() >= shown_.size()) {
            return {};
        }
        const journal::Entry &e = entries_[shown_[index.row()]];
        if (role == Qt::TextAlignmentRole) {
            return static_cast<int>((index.column() == 0 || index.column() == 4 ? Qt::AlignRight : Qt::AlignLeft) |
                                    Qt::AlignVCenter);
        }
        if (role != Qt::DisplayRole && role != Qt::ToolTipRole) {
            return {};
        }
        switch (index.column()) {
        case 0:
            return QString::number(e.secuencia);
        case 1:
            return localInstant(e.instante);
        case 2:
            return e.usuario;
        case 3:
            return e.evento;
        case 4:
            return e.puesto > 0 ? QString::number(e.puesto) : QString();
        default:
            return e.detalle;
        }
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        static const char *const names[kColumns] = {"Secuencia", "Instante", "Usuario", "Evento", "Puesto", "Detalle"};
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < kColumns) {
            return QString::fromLatin1(names[section]);
        }
        return QAbstractTableModel::headerData(section, orientation, role);
    }

private:
    // The stored UTC instant in the regional date and the local time; a text that is not an
    // instant (a row written by hand) shows as it is.
    static QString localInstant(const QString &stored) {
        const QDateTime utc = QDateTime::fromString(stored, Qt::ISODateWithMs);
        if (!utc.isValid()) {
            return stored;
        }
        const QDateTime local = utc.toLocalTime();
        return QLocale().toString(local.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
               local.time().toString(QStringLiteral("HH:mm:ss"));
    }

    QList<journal::Entry> entries_;
    QVector<qsizetype> shown_;
};

const QString frmRegistro::kAll = QStringLiteral("Todos");

namespace {

// Column widths in twips: Secuencia, Instante, Usuario, Evento, Puesto, Detalle.
constexpr int kWidths[RegistroModel::kColumns] = {1100, 2100, 1400, 2200, 900, 2400};

QLabel *makeLabel(QWidget *parent, const QString &text, int left, int top, int width, int height) {
    auto *label = new QLabel(text, parent);
    label->setAttribute(Qt::WA_TranslucentBackground);
    ui::Form::place(label, left, top, width, height);
    return label;
}

QComboBox *makeCombo(QWidget *parent, const char *name, int left, int top, int width, int height) {
    auto *combo = new QComboBox(parent);
    combo->setObjectName(QString::fromLatin1(name));
    ui::Form::place(combo, left, top, width, height);
    return combo;
}

// Fills a filter with "Todos" and the values given, keeping a value chosen before when it is
// still there. An empty filter has chosen nothing: its empty text must not pick the entries
// without an operator.
void refill(QComboBox *combo, const QStringList &values) {
    const std::optional<QString> chosen =
        combo->currentIndex() > 0 ? std::optional<QString>(combo->currentText()) : std::nullopt;
    combo->clear();
    combo->addItem(frmRegistro::kAll);
    combo->addItems(values);
    combo->setCurrentIndex(chosen ? std::max(0, combo->findText(*chosen)) : 0);
}

} // namespace

frmRegistro::frmRegistro(sys::Platform &platform, QWidget *owner)
    : ui::Form(platform, QStringLiteral("Registro"), QSize(10800, 7260), QSize(720, 484), 6) {
    setParent(owner, Qt::Window);
    setObjectName(QStringLiteral("frmRegistro"));

    lblVerificacion = makeLabel(this, QString(), 240, 120, 10320, 540);
    lblVerificacion->setObjectName(QStringLiteral("lblVerificacion"));
    lblVerificacion->setWordWrap(true);
    lblUsuario = makeLabel(this, QStringLiteral("Usuario:"), 240, 780, 900, 285);
    cboUsuario = makeCombo(this, "cboUsuario", 1140, 720, 2400, 345);
    lblEvento = makeLabel(this, QStringLiteral("Evento:"), 3840, 780, 900, 285);
    cboEvento = makeCombo(this, "cboEvento", 4740, 720, 2800, 345);

    model_ = new RegistroModel(this);
    dgRegistro = new QTableView(this);
    dgRegistro->setObjectName(QStringLiteral("dgRegistro"));
    dgRegistro->setModel(model_);
    dgRegistro->setEditTriggers(QAbstractItemView::NoEditTriggers);
    dgRegistro->setSelectionBehavior(QAbstractItemView::SelectRows);
    dgRegistro->verticalHeader()->hide();
    dgRegistro->verticalHeader()->setDefaultSectionSize(ui::tw(300));
    dgRegistro->horizontalHeader()->setStretchLastSection(true);
    for (int c = 0; c < RegistroModel::kColumns; ++c) {
        dgRegistro->setColumnWidth(c, ui::tw(kWidths[c]));
    }
    place(dgRegistro, 240, 1260, 10320, 5760);

    tabChain({cboUsuario, cboEvento, dgRegistro});
    connect(cboUsuario, &QComboBox::currentIndexChanged, this, &frmRegistro::applyFilter);
    connect(cboEvento, &QComboBox::currentIndexChanged, this, &frmRegistro::applyFilter);
}

frmRegistro::~frmRegistro() = default;

void frmRegistro::Form_Load() {
    if (!verification_) {
        verification_ = new journal::VerificationTask(platform().databasePath(), this);
        connect(verification_, &journal::VerificationTask::finished, this, &frmRegistro::showVerification);
    }
    lblVerificacion->setText(QStringLiteral("Verificando el registro…"));
    verification_->start();
}

void frmRegistro::showVerification(const journal::Verification &result, const QString &error) {
    if (!error.isEmpty()) {
        lblVerificacion->setText(QStringLiteral("No se pudo verificar el registro: ") + error);
    } else if (result.ok && !result.booksAgree()) {
        const qint64 more = result.differences.size() - 1 + result.moreDifferences;
        lblVerificacion->setText(QStringLiteral("El registro está íntegro (%1 entradas), pero %2%3.")
                                     .arg(result.entries)
                                     .arg(result.differences.front().spanish(),
                                          more > 0 ? QStringLiteral(" (y %1 diferencias más)").arg(more) : QString()));
    } else if (result.ok) {
        lblVerificacion->setText(QStringLiteral("El registro está íntegro: %1 entradas.").arg(result.entries));
    } else {
        lblVerificacion->setText(QStringLiteral("El registro NO verifica: ") + result.problem);
    }
}

void frmRegistro::showPeriod(const QDateTime &from, const QDateTime &to) {
    QList<journal::Entry> entries;
    try {
        auto database = data::Database::open(platform().databasePath(), {.readOnly = true});
        entries = journal::entriesBetween(*database, from, to);
        database->close();
    } catch (const data::DbError &error) {
        platform().messages.showMessage(this, QStringLiteral("No se pudo leer el registro.\n") + error.describe());
    }
    model_->load(std::move(entries));
    for (QComboBox *combo : {cboUsuario, cboEvento}) {
        combo->blockSignals(true);
    }
    refill(cboUsuario, model_->distinct(&journal::Entry::usuario));
    refill(cboEvento, model_->distinct(&journal::Entry::evento));
    for (QComboBox *combo : {cboUsuario, cboEvento}) {
        combo->blockSignals(false);
    }
    applyFilter();
}

void frmRegistro::applyFilter() {
    const auto chosen = [](const QComboBox *combo) -> std::optional<QString> {
        if (combo->currentIndex() > 0) {
            return combo->currentText();
        }
        return std::nullopt;
    };
    model_->filter(chosen(cboUsuario), chosen(cboEvento));
}

bool frmRegistro::queryClose() {
    unload();
    return true;
}
