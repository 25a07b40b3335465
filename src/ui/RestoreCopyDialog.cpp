#include "ui/RestoreCopyDialog.h"

#include "data/Restore.h"
#include "platform/Platform.h"

#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace cash_close {

namespace {

QString dateTimeText(const QDateTime &when) {
    return when.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss"));
}

enum Column { kMade, kRentals, kLast, kFile };

} // namespace

RestoreCopyDialog::RestoreCopyDialog(QWidget *parent, const QString &folder, sys::FileChooser &files)
    : QDialog(parent), files_(files) {
    setObjectName(QStringLiteral("RestoreCopyDialog"));
    setWindowTitle(QStringLiteral("Restaurar una copia de los libros"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Elija la copia que vuelve a ser los libros:"), this));
    lstCopias = new QTreeWidget(this);
    lstCopias->setObjectName(QStringLiteral("lstCopias"));
    lstCopias->setRootIsDecorated(false);
    lstCopias->setHeaderLabels({QStringLiteral("Hecha"), QStringLiteral("Alquileres"),
                                QStringLiteral("Último alquiler"), QStringLiteral("Archivo")});
    lstCopias->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    layout->addWidget(lstCopias);
    lblAviso = new QLabel(QStringLiteral("Atención: lo que se registró después de la copia elegida (alquileres, "
                                         "cierres, cuentas, tarifa) dejará de estar en los libros. Antes de "
                                         "restaurar, los libros actuales se guardan como copia en %1.")
                              .arg(QDir::toNativeSeparators(folder)),
                          this);
    lblAviso->setObjectName(QStringLiteral("lblAviso"));
    lblAviso->setWordWrap(true);
    layout->addWidget(lblAviso);
    auto *buttons = new QHBoxLayout;
    cmdOtro = new QPushButton(QStringLiteral("Otro &archivo…"), this);
    cmdOtro->setObjectName(QStringLiteral("cmdOtro"));
    cmdRestaurar = new QPushButton(QStringLiteral("&Restaurar"), this);
    cmdRestaurar->setObjectName(QStringLiteral("cmdRestaurar"));
    cmdRestaurar->setEnabled(false);
    cmdCancelar = new QPushButton(QStringLiteral("&Cancelar"), this);
    cmdCancelar->setObjectName(QStringLiteral("cmdCancelar"));
    buttons->addWidget(cmdOtro);
    buttons->addStretch();
    buttons->addWidget(cmdRestaurar);
    buttons->addWidget(cmdCancelar);
    layout->addLayout(buttons);
    resize(720, 420);

    connect(cmdOtro, &QPushButton::clicked, this, &RestoreCopyDialog::cmdOtro_Click);
    connect(cmdRestaurar, &QPushButton::clicked, this, &QDialog::accept);
    connect(cmdCancelar, &QPushButton::clicked, this, &QDialog::reject);
    connect(lstCopias, &QTreeWidget::itemSelectionChanged, this,
            [this] { cmdRestaurar->setEnabled(!lstCopias->selectedItems().isEmpty()); });
    connect(lstCopias, &QTreeWidget::itemDoubleClicked, this, &QDialog::accept);

    // The names at once, newest first; the figures as they are read.
    struct Listed {
        QString path;
        QDateTime made;
    };
    QList<Listed> copies;
    const QFileInfoList found = QDir(folder).entryInfoList({QStringLiteral("*.mdb")}, QDir::Files);
    for (const QFileInfo &file : found) {
        copies.append({file.absoluteFilePath(), data::copyMadeAt(file.absoluteFilePath())});
    }
    std::sort(copies.begin(), copies.end(),
              [](const Listed &a, const Listed &b) { return a.made != b.made ? a.made > b.made : a.path > b.path; });
    for (const Listed &copy : std::as_const(copies)) {
        auto *item = new QTreeWidgetItem(lstCopias, {dateTimeText(copy.made), QStringLiteral("…"), QStringLiteral("…"),
                                                     QFileInfo(copy.path).fileName()});
        item->setData(kMade, Qt::UserRole, copy.path);
        item->setTextAlignment(kRentals, Qt::AlignRight | Qt::AlignVCenter);
        listed_.push_back(item);
    }
    pending_ = static_cast<int>(listed_.size());
    if (listed_.empty()) {
        new QTreeWidgetItem(lstCopias, {QStringLiteral("No hay copias en esta carpeta")});
        lstCopias->topLevelItem(0)->setFlags(Qt::NoItemFlags);
        return;
    }
    describeFrom(0);
}

void RestoreCopyDialog::describeFrom(size_t index) {
    if (index >= listed_.size()) {
        return;
    }
    QTreeWidgetItem *item = listed_[index];
    reader_ = sys::runInBackground(
        this,
        [path = item->data(kMade, Qt::UserRole).toString()](const sys::CancelToken &) {
            return data::describeCopy(path);
        },
        [this, item, index](const sys::Outcome<data::CopyInfo> &read) {
            // By its item, not its row: a file added meanwhile comes first and moves the rows.
            showDescription(item, read.ok() ? read.value->rentals : -1, read.ok() ? read.value->lastRental : QDate());
            describeFrom(index + 1);
        });
}

void RestoreCopyDialog::showDescription(QTreeWidgetItem *item, qint64 rentals, const QDate &lastRental) {
    item->setText(kRentals, rentals < 0 ? QStringLiteral("no se puede leer") : QString::number(rentals));
    item->setText(kLast, rentals < 0    ? QString()
                         : rentals == 0 ? QStringLiteral("ninguno")
                                        : lastRental.toString(QStringLiteral("dd/MM/yyyy")));
    --pending_;
}

QString RestoreCopyDialog::chosen() const {
    const QList<QTreeWidgetItem *> selected = lstCopias->selectedItems();
    return selected.isEmpty() ? QString() : selected.first()->data(kMade, Qt::UserRole).toString();
}

void RestoreCopyDialog::addOther(const QString &path) {
    const data::CopyInfo info = data::describeCopy(path);
    auto *item = new QTreeWidgetItem({dateTimeText(info.made), QString(), QString(), QDir::toNativeSeparators(path)});
    item->setData(kMade, Qt::UserRole, info.path);
    item->setTextAlignment(kRentals, Qt::AlignRight | Qt::AlignVCenter);
    lstCopias->insertTopLevelItem(0, item);
    ++pending_;
    showDescription(item, info.rentals, info.lastRental);
    lstCopias->clearSelection();
    item->setSelected(true);
    lstCopias->setCurrentItem(item);
}

void RestoreCopyDialog::cmdOtro_Click() {
    const QString path = files_.openPath(
        this, {QStringLiteral("Otra copia de los libros"),
               QString(),
               {QStringLiteral("Copias de Ludomat (*.mdb)"), QStringLiteral("Todos los archivos (*)")}});
    if (!path.isEmpty()) {
        addOther(path);
    }
}

} // namespace cash_close
