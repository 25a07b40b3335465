#include "ui/RestoreAction.h"

#include "accounts/AccountService.h"
#include "data/Database.h"
#include "data/Restore.h"
#include "platform/Platform.h"
#include "stations/StationBoard.h"
#include "ui/AdministratorPasswordDialog.h"
#include "ui/SystemPlatform.h"

#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QThread>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace cash_close {

namespace {

AdministratorPasswordAsker &passwordAsker() {
    static AdministratorPasswordAsker asker;
    return asker;
}

RestoreCopyChooser &copyChooser() {
    static RestoreCopyChooser chooser;
    return chooser;
}

// The administrator's name once the password was given; empty when it was not (what was wrong
// has been said) or the operator gave up.
QString askAdministrator(QWidget *parent, sys::Platform &platform, accounts::AccountService &accounts) {
    QString administrator;
    const auto check = [&](const QString &typed) {
        const accounts::AdministratorCheck said = accounts.checkAdministratorPassword(typed);
        if (said.verdict == accounts::AdministratorCheck::Verdict::Right) {
            administrator = said.name;
            return true;
        }
        platform.messages.showMessage(parent, said.refusal);
        return false;
    };
    if (passwordAsker()) {
        const std::optional<QString> typed = passwordAsker()(parent);
        return typed && check(*typed) ? administrator : QString();
    }
    // Waited for here, as the copy's list is: the whole action is one question after another.
    QPointer<AdministratorPasswordDialog> dialog = new AdministratorPasswordDialog(
        parent, QStringLiteral("Para restaurar una copia de los libros escriba la contraseña del administrador."),
        check);
    const bool given = dialog->exec() == QDialog::Accepted;
    return given ? administrator : QString();
}

QString askCopy(QWidget *parent, const QString &folder) {
    if (copyChooser()) {
        return copyChooser()(parent, folder);
    }
    RestoreCopyDialog dialog(parent, folder);
    return dialog.exec() == QDialog::Accepted ? dialog.chosen() : QString();
}

QString dateTimeText(const QDateTime &when) {
    return when.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss"));
}

enum Column { kMade, kRentals, kLast, kFile };

} // namespace

void setAdministratorPasswordAsker(AdministratorPasswordAsker asker) {
    passwordAsker() = std::move(asker);
}

void setRestoreCopyChooser(RestoreCopyChooser chooser) {
    copyChooser() = std::move(chooser);
}

RestoreCopyDialog::RestoreCopyDialog(QWidget *parent, const QString &folder)
    : QDialog(parent), stop_(std::make_shared<std::atomic<bool>>(false)) {
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
    QList<Listed> listed;
    const QFileInfoList files = QDir(folder).entryInfoList({QStringLiteral("*.mdb")}, QDir::Files);
    for (const QFileInfo &file : files) {
        listed.append({file.absoluteFilePath(), data::copyMadeAt(file.absoluteFilePath())});
    }
    std::sort(listed.begin(), listed.end(),
              [](const Listed &a, const Listed &b) { return a.made != b.made ? a.made > b.made : a.path > b.path; });
    QStringList paths;
    for (const Listed &copy : std::as_const(listed)) {
        auto *item = new QTreeWidgetItem(lstCopias, {dateTimeText(copy.made), QStringLiteral("…"), QStringLiteral("…"),
                                                     QFileInfo(copy.path).fileName()});
        item->setData(kMade, Qt::UserRole, copy.path);
        item->setTextAlignment(kRentals, Qt::AlignRight | Qt::AlignVCenter);
        paths << copy.path;
    }
    pending_ = static_cast<int>(paths.size());
    if (paths.isEmpty()) {
        new QTreeWidgetItem(lstCopias, {QStringLiteral("No hay copias en esta carpeta")});
        lstCopias->topLevelItem(0)->setFlags(Qt::NoItemFlags);
        return;
    }
    reader_ = QThread::create([this, stop = stop_, paths] {
        for (int row = 0; row < paths.size() && !*stop; ++row) {
            const data::CopyInfo info = data::describeCopy(paths[row]);
            QMetaObject::invokeMethod(
                this, [this, row, info] { showDescription(row, info.rentals, info.lastRental); }, Qt::QueuedConnection);
        }
    });
    reader_->start();
}

RestoreCopyDialog::~RestoreCopyDialog() {
    // The reader posts to this dialog: it stops, and ends, before the dialog goes.
    *stop_ = true;
    if (reader_) {
        reader_->wait();
        delete reader_;
    }
}

void RestoreCopyDialog::showDescription(int row, qint64 rentals, const QDate &lastRental) {
    if (QTreeWidgetItem *item = lstCopias->topLevelItem(row)) {
        item->setText(kRentals, rentals < 0 ? QStringLiteral("no se puede leer") : QString::number(rentals));
        item->setText(kLast, rentals < 0    ? QString()
                             : rentals == 0 ? QStringLiteral("ninguno")
                                            : lastRental.toString(QStringLiteral("dd/MM/yyyy")));
    }
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
    showDescription(0, info.rentals, info.lastRental);
    lstCopias->clearSelection();
    item->setSelected(true);
    lstCopias->setCurrentItem(item);
}

void RestoreCopyDialog::cmdOtro_Click() {
    const QString path = QFileDialog::getOpenFileName(
        this, QStringLiteral("Otra copia de los libros"), QString(),
        QStringLiteral("Copias de Ludomat (*.mdb);;Todos los archivos (*)"), nullptr, QFileDialog::DontUseNativeDialog);
    if (!path.isEmpty()) {
        addOther(path);
    }
}

bool restoreOnDemand(QWidget *parent, sys::Platform &platform, const stations::StationBoard &board,
                     accounts::AccountService &accounts, const QString &operador) {
    QStringList running;
    for (int i = 0; i < stations::kStations; ++i) {
        if (board.station(i).running) {
            running << QStringLiteral("Puesto %1").arg(i + 1);
        }
    }
    if (!running.isEmpty()) {
        platform.messages.showMessage(parent,
                                      QStringLiteral("No se puede restaurar una copia con puestos en curso (%1). "
                                                     "Ciérrelos y vuelva a intentarlo.")
                                          .arg(running.join(QStringLiteral(", "))));
        return false;
    }
    const QString administrator = askAdministrator(parent, platform, accounts);
    if (administrator.isEmpty()) {
        return false;
    }

    const QString folder = platform.where.backups();
    const QString copy = askCopy(parent, folder);
    if (copy.isEmpty()) {
        return false;
    }
    // The check, the copy of the books and the restore take seconds on a large file: on a thread
    // of their own, so the tick and the windows go on.
    auto result = std::make_shared<data::Restored>();
    const QString path = platform.databasePath();
    const QDateTime now = platform.clock.wallTime();
    const QString how = operador.isEmpty() || operador == administrator
                            ? QStringLiteral("desde el cierre de caja")
                            : QStringLiteral("desde el cierre de caja, con %1 ingresado").arg(operador);
    QThread *worker = QThread::create([result, path, copy, folder, now, administrator, how] {
        try {
            auto db = data::Database::open(path, {.busyTimeoutMs = 5000});
            *result = data::restoreCopy(*db, copy, folder, now, administrator, how);
        } catch (const data::DbError &error) {
            result->failure = QStringLiteral("No se restauró la copia: ") + error.describe();
        }
    });
    QPointer<QProgressDialog> progress =
        new QProgressDialog(QStringLiteral("Restaurando la copia…"), QString(), 0, 0, parent);
    progress->setWindowTitle(QString::fromLatin1(ui::kApplicationTitle));
    progress->setWindowModality(Qt::WindowModal);
    progress->setMinimumDuration(400);
    progress->setValue(0);
    QEventLoop done;
    QObject::connect(worker, &QThread::finished, &done, &QEventLoop::quit);
    worker->start();
    done.exec();
    worker->wait();
    delete worker;
    delete progress; // gone before the message

    if (!result->failure.isEmpty()) {
        QString text = result->failure;
        if (!result->keptAt.isEmpty()) {
            text += QStringLiteral("\n\nLos libros siguen como estaban; se guardó además una copia de ellos en %1.")
                        .arg(QDir::toNativeSeparators(result->keptAt));
        }
        platform.messages.showMessage(parent, text);
        return false;
    }
    platform.messages.showMessage(
        parent, QStringLiteral("Se restauró la copia %1. Los libros que había se guardaron en %2.\n\nLa tarifa y las "
                               "cuentas son ahora las de la copia: vuelva a ingresar.")
                    .arg(QDir::toNativeSeparators(copy), QDir::toNativeSeparators(result->keptAt)));
    return true;
}

} // namespace cash_close
