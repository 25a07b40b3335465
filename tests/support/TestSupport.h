#pragma once

#include "app/Desk.h"
#include "platform/Platform.h"

#include <QDateTime>
#include <QJsonObject>
#include <QMap>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <memory>

class NewPasswordDialog;
class formCaja;
class formLudomat2;

namespace testing {

// A control of a window found by its object name (the control names of the windows), as the
// operator reaches it; the test stops at once when the window has none.
template <class T = QWidget> T *control(const QObject *window, const QString &name) {
    T *found = window ? window->findChild<T *>(name) : nullptr;
    if (!found) {
        qFatal("no control %s in %s", qPrintable(name), window ? qPrintable(window->objectName()) : "no window");
    }
    return found;
}
// A control of station i in the main window: "cmdPuesto" for cmdPuesto_i, and so on (optModo_i
// counts options, two a station).
template <class T = QWidget> T *control(const QObject *window, const char *name, int i) {
    return control<T>(window, QStringLiteral("%1_%2").arg(QLatin1String(name)).arg(i));
}

// The wall clock and the monotonic clock, moved by hand: advance() moves both, as time passing
// does; setting now alone is the operator or NTP changing the wall clock.
class FakeClock final : public sys::Clock {
public:
    QDateTime now{QDate(2026, 12, 5), QTime(14, 5, 9)};
    qint64 monotonic = 5'000'000;
    QString boot = QStringLiteral("test-boot"); // a reboot is a new name and a monotonic clock from 0
    QDateTime wallTime() const override { return now; }
    qint64 monotonicMs() const override { return monotonic; }
    QString bootId() const override { return boot; }
    void advance(qint64 seconds) {
        now = now.addSecs(seconds);
        monotonic += seconds * 1000;
    }
};

// Records every message instead of showing a modal box; onMessage runs while the
// "box" is open, as the operator's reading time would.
// Posted messages are recorded the same way and dismissed at once, unless hold is set: then
// they wait in pending until dismissNext().
class RecordingPresenter final : public sys::MessagePresenter {
public:
    QStringList messages;
    std::function<void(const QString &)> onMessage;
    bool hold = false;
    QList<std::function<void()>> pending;
    void showMessage(QWidget *parent, const QString &text) override;
    void postMessage(QWidget *parent, const QString &text, std::function<void()> dismissed) override;
    // Kept among the messages; answered with the next of answers, else the last answer (Esc).
    int ask(QWidget *parent, const QString &text, const QStringList &choices) override;
    QList<int> answers;
    void dismissNext();
};

class RecordingAlarm final : public sys::AlarmPlayer {
public:
    QStringList played;
    void play(const QString &path) override { played << path; }
};

class RecordingEnder final : public sys::ProgramEnder {
public:
    int calls = 0;
    void endProgram() override { ++calls; }
};

// Answers every file question with answer (empty: the operator gave up) and keeps the questions;
// a restore's question is kept as {"restoreCopy", folder}.
class FakeFileChooser final : public sys::FileChooser {
public:
    QString answer;
    QList<sys::FileQuestion> asked;
    QString savePath(QWidget *, const sys::FileQuestion &question) override;
    QString openPath(QWidget *, const sys::FileQuestion &question) override;
    QString restoreCopy(QWidget *, const QString &folder) override;
};

// A program folder of its own: a fresh copy of the delivered database and the alarm in a
// temporary folder, with fakes for every platform service.
class TestPlatform final {
public:
    TestPlatform();
    // On a program folder that already exists, left as it is.
    explicit TestPlatform(const QString &existingFolder);
    FakeClock clock;
    RecordingPresenter messages;
    RecordingAlarm alarm;
    RecordingEnder ender;
    FakeFileChooser files;
    QTemporaryDir folder;
    sys::Platform platform;

    QString databasePath() const { return platform.databasePath(); }
};

// Presses "&Procesar Datos" and waits for the run to end and its result (or message) to be
// shown. False when the button takes no click or the run did not end in time.
bool runCashClose(formCaja *caja);

// The real program run as its own process without a display: its exit status (-1 when it did
// not end in time), standard output and standard error.
struct Run {
    int status = -1;
    QString out, err;
};
Run runLudomat(const QStringList &arguments, const QString &program = QStringLiteral(LUDOMAT_EXE));

// Every cell of an .xlsx as a spreadsheet library (openpyxl) reads it: by sheet name, rows of
// [type, value, number format]. Empty when python3-openpyxl is missing or the file does not read.
QJsonObject spreadsheetCells(const QString &path);
bool canReadSpreadsheets();

// The journal's rows in order, each the given columns joined by "|".
QStringList journal(const QString &databasePath, const QString &columns);
// The accounts' journal from entry `from` on as "Usuario|Evento|Detalle", account fingerprints
// and the owner's keys and seals without their values (the books' check judges those).
QStringList accountsJournal(const QString &databasePath, qsizetype from);

// The last rental's amount as the file holds it, to the last bit (quote() spells out a REAL its
// short text would round), then as the journal's last two entries wrote it down.
QStringList recordedAmount(const QString &databasePath);
// What recordedAmount() reads for an amount to the cent, written down in `entries` entries.
QStringList amountToTheCent(const QString &databasePath, const QString &amount, int entries);
// An account as the accounts window adds it and its owner then keeps its password as their own:
// its row and the two journal entries.
void addAccount(const QString &databasePath, int codigo, const QString &name, const QString &hash);

// The pristine delivered database made by the build.
QString templateDatabasePath();
QString deliveredAlarmPath();

// Every row of a table as "cell|cell|...", sorted; passwords read "<hash>" (salted afresh each time).
QStringList tableRows(const QString &databasePath, const QString &table);

// The new-password dialog the window has open, or null.
NewPasswordDialog *passwordDialog(QWidget *window);
// Fills that dialog through its boxes (the first only when it is shown) and presses "&Aceptar";
// false when none is open.
bool answerPassword(QWidget *window, const QString &first, const QString &second);

// A sign-in into the session (Admin as the administrator), and the accounts window's word of it:
// the program answers it as it answers the operator's (the accounts window goes, the float is
// asked and accepted as offered, the main window takes input again).
void signIn(app::Desk &desk, const QString &who = QStringLiteral("Admin"));
// The shift's float window the Desk has open, answered: amount typed (when given) and "&Aceptar";
// false when none is open.
bool acceptFloat(app::Desk &desk, const QString &amount = {});
// The count window the Desk has open, filled (pieces by denomination in cents; the rest left
// empty), "Cerrar turno" pressed, then "Continuar"; false when none is open or the count was
// not taken.
bool countDrawer(app::Desk &desk, const QMap<qint64, qint64> &pieces = {});
// The checkout open over main, answered with its button "cmdCobrar" or "cmdSeguir"; false when none shows.
bool answerCheckout(QWidget *main, const char *button);
// A station's button pressed with the mouse, as the operator presses it, and a checkout it opens
// collected: nothing happens while the window takes no input.
void press(app::Desk &desk, int station);
// Types the password into the administrator's password dialog the window has open and presses
// "&Aceptar"; false when none is open.
bool answerAdministrator(QWidget *window, const QString &password);

// The program on a fresh program folder, started (the accounts window open, the main window
// waiting for a sign-in), its tick delivered by hand.
struct Shop {
    TestPlatform t;
    std::unique_ptr<app::Desk> desk;
    formLudomat2 *main = nullptr;
    Shop();
    ~Shop();
    stations::StationBoard &board() const { return desk->board(); }
    // Time passes and the tick comes: one late tick catches up every second missed.
    void tick(int seconds = 1);
    // Every window goes, and with them every handle on the file.
    void close();
    QStringList rows(const QString &table) const { return tableRows(t.databasePath(), table); }
    QStringList &said() { return t.messages.messages; }
    // A Contador rental of 0:40 on 5 Dec 2026, written as the main window records it, journal included.
    void rent(int puesto, const QString &usuario, const QString &hora, const QString &importe) const;
};

} // namespace testing
