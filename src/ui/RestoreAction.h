#pragma once

#include <QDialog>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>

class QLabel;
class QPushButton;
class QThread;
class QTreeWidget;

namespace accounts {
class AccountService;
}
namespace stations {
class StationBoard;
}
namespace sys {
struct Platform;
}

// The cash close's "Restaurar copia…": the administrator puts a copy of the books back in their
// place from the program.
namespace cash_close {

// Asks for the administrator's password; nothing when the operator gave up. A password box by
// default; tests put in an answer of their own.
using AdministratorPasswordAsker = std::function<std::optional<QString>(QWidget *parent)>;
void setAdministratorPasswordAsker(AdministratorPasswordAsker asker); // empty: the box again

// Asks which copy to put back, the copies of folder listed; empty when the operator gave up.
// RestoreCopyDialog by default; tests put in an answer of their own.
using RestoreCopyChooser = std::function<QString(QWidget *parent, const QString &folder)>;
void setRestoreCopyChooser(RestoreCopyChooser chooser); // empty: the dialog again

// Refused while a station of the board runs; then the administrator's password (the account service),
// the copy, and the work on a thread of its own with a progress dialog (data::restoreCopy: the
// copy checked, the books kept as a copy, the copy brought in). Says how it went. True when
// the copy is the books now: the caller then reads the rate again and asks for a sign-in.
// operador: who is signed in, for the journal.
bool restoreOnDemand(QWidget *parent, sys::Platform &platform, const stations::StationBoard &board,
                     accounts::AccountService &accounts, const QString &operador);

// The copies of a folder, newest first, with when each was made, its number of rentals and its
// last rental's date (read on a thread of its own, so a long list never holds the tick), another
// file to be chosen from anywhere, and the warning of what a restore loses.
class RestoreCopyDialog final : public QDialog {
    Q_OBJECT
public:
    RestoreCopyDialog(QWidget *parent, const QString &folder);
    ~RestoreCopyDialog() override;

    // The copy chosen, once accepted.
    QString chosen() const;
    // Adds a file as the chosen one (what "Otro archivo…" does after its file dialog).
    void addOther(const QString &path);
    // True once every copy's figures are read.
    bool described() const { return pending_ == 0; }

    QTreeWidget *lstCopias = nullptr;
    QLabel *lblAviso = nullptr;
    QPushButton *cmdOtro = nullptr;
    QPushButton *cmdRestaurar = nullptr;
    QPushButton *cmdCancelar = nullptr;

private:
    void cmdOtro_Click();
    void showDescription(int row, qint64 rentals, const QDate &lastRental);

    std::shared_ptr<std::atomic<bool>> stop_;
    QThread *reader_ = nullptr;
    int pending_ = 0;
};

} // namespace cash_close
