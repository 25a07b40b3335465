#pragma once

#include "platform/Background.h"

#include <QDialog>
#include <QString>
#include <vector>

class QLabel;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace sys {
class FileChooser;
}

namespace cash_close {

// Which copy "Restaurar copia…" puts back: the copies of a folder, newest first, with when each
// was made, its number of rentals and its last rental's date (read one after another in the
// background, so a long list never holds the tick), another file to be chosen from anywhere, and
// the warning of what a restore loses.
class RestoreCopyDialog final : public QDialog {
    Q_OBJECT
public:
    // files asks for "Otro archivo…".
    RestoreCopyDialog(QWidget *parent, const QString &folder, sys::FileChooser &files);

    // The copy chosen, once accepted.
    QString chosen() const;
    // True once every copy's figures are read.
    bool described() const { return pending_ == 0; }

private:
    void cmdOtro_Click();
    // Adds a file as the chosen one.
    void addOther(const QString &path);
    // Reads the figures of the listed copy at index, then of the next.
    void describeFrom(size_t index);
    void showDescription(QTreeWidgetItem *item, qint64 rentals, const QDate &lastRental);

    QTreeWidget *lstCopias = nullptr;
    QLabel *lblAviso = nullptr;
    QPushButton *cmdOtro = nullptr;
    QPushButton *cmdRestaurar = nullptr;
    QPushButton *cmdCancelar = nullptr;

    sys::FileChooser &files_;
    std::vector<QTreeWidgetItem *> listed_; // the folder's copies, each read in turn
    int pending_ = 0;
    sys::Job reader_; // the copy being read; stopped and waited for when the dialog goes
};

} // namespace cash_close
