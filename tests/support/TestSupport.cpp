#include "TestSupport.h"
#include "SqliteFile.h"
#include "accounts/Session.h"
#include "data/Database.h"
#include "data/Journal.h"
#include "data/JournalBooks.h"
#include "data/JournalTask.h"
#include "data/NumberText.h"
#include "data/Statements.h"
#include "ui/AdministratorPasswordDialog.h"
#include "ui/CheckoutDialog.h"
#include "ui/NewPasswordDialog.h"
#include "ui/formCaja.h"
#include "ui/formLudomat2.h"
#include "ui/formUsuario.h"
#include "ui/frmArqueo.h"
#include "ui/frmFondo.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonDocument>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <stdexcept>

namespace testing {

void RecordingPresenter::showMessage(QWidget *, const QString &text) {
    messages << text;
    if (onMessage) {
        onMessage(text);
    }
}

int RecordingPresenter::ask(QWidget *parent, const QString &text, const QStringList &choices) {
    showMessage(parent, text + u'|' + choices.join(u'|'));
    return answers.isEmpty() ? int(choices.size()) - 1 : answers.takeFirst();
}

void RecordingPresenter::postMessage(QWidget *parent, const QString &text, std::function<void()> dismissed) {
    pending.append(dismissed ? std::move(dismissed) : [] {});
    showMessage(parent, text);
    while (!hold && !pending.isEmpty()) {
        dismissNext();
    }
}

void RecordingPresenter::dismissNext() {
    if (!pending.isEmpty()) {
        pending.takeFirst()();
    }
}

QString FakeFileChooser::savePath(QWidget *, const sys::FileQuestion &question) {
    asked << question;
    return answer;
}

QString FakeFileChooser::openPath(QWidget *parent, const sys::FileQuestion &question) {
    return savePath(parent, question);
}

QString FakeFileChooser::restoreCopy(QWidget *, const QString &folder) {
    asked << sys::FileQuestion{QStringLiteral("restoreCopy"), folder, {}};
    return answer;
}

bool runCashClose(formCaja *caja) {
    QPushButton *procesar = control<QPushButton>(caja, "cmdProcesar");
    if (!procesar->isEnabled()) {
        return false;
    }
    QTest::mouseClick(procesar, Qt::LeftButton);
    return QTest::qWaitFor([caja] { return !caja->isRunning(); }, 60000);
}

Run runLudomat(const QStringList &arguments, const QString &program) {
    QProcess ludomat;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *display : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        environment.remove(QString::fromLatin1(display));
    ludomat.setProcessEnvironment(environment);
    ludomat.start(program, arguments);
    if (!ludomat.waitForFinished(60000))
        return {};
    return {ludomat.exitCode(), QString::fromLocal8Bit(ludomat.readAllStandardOutput()),
            QString::fromLocal8Bit(ludomat.readAllStandardError())};
}

namespace {

QString spreadsheetReader() {
    return qEnvironmentVariable("LUDOMAT_SOURCE_DIR") + QStringLiteral("/tests/support/xlsx_cells.py");
}

// The Python that has openpyxl: the system's (where python3-openpyxl installs it), else the first on
// the path; empty when none has.
QString spreadsheetPython() {
    for (const QString &python : {QStringLiteral("/usr/bin/python3"), QStringLiteral("python3")}) {
        QProcess probe;
        probe.start(python, {QStringLiteral("-c"), QStringLiteral("import openpyxl")});
        if (probe.waitForFinished(30000) && probe.exitStatus() == QProcess::NormalExit && probe.exitCode() == 0) {
            return python;
        }
    }
    return {};
}

} // namespace

bool canReadSpreadsheets() {
    return !spreadsheetPython().isEmpty() && QFile::exists(spreadsheetReader());
}

QJsonObject spreadsheetCells(const QString &path) {
    QProcess reader;
    reader.start(spreadsheetPython(), {spreadsheetReader(), path});
    if (!reader.waitForFinished(120000) || reader.exitCode() != 0) {
        return {};
    }
    return QJsonDocument::fromJson(reader.readAllStandardOutput()).object();
}

QStringList journal(const QString &databasePath, const QString &columns) {
    return readOnlyRows(databasePath, qPrintable("SELECT " + columns + " FROM Registro ORDER BY Secuencia"));
}

QStringList recordedAmount(const QString &databasePath) {
    QStringList out = readOnlyRows(databasePath, "SELECT quote(Importe) FROM Alquiler ORDER BY rowid DESC LIMIT 1");
    const QStringList details = journal(databasePath, QStringLiteral("Detalle"));
    for (const QString &detail : details.mid(details.size() - 2)) {
        if (const qsizetype at = detail.indexOf(QStringLiteral("Importe=")); at >= 0) {
            out << detail.mid(at + 8).section(u';', 0, 0);
        }
    }
    return out;
}

QStringList amountToTheCent(const QString &databasePath, const QString &amount, int entries) {
    return readOnlyRows(databasePath, qPrintable("SELECT quote(CAST('" + amount + "' AS REAL))")) +
           QStringList(entries, amount);
}

void addAccount(const QString &databasePath, int codigo, const QString &name, const QString &hash) {
    auto db = data::Database::open(databasePath);
    data::runInTransaction(*db, [&] {
        db->execute(statements::usuarioInsert(codigo, name, hash));
        journal::append(*db, QDateTime::currentDateTime(), QStringLiteral("Admin"), journal::event::kAccountAdded, 0,
                        QStringLiteral("Cuenta=") + name + journal::fingerprintSuffix(hash));
        journal::append(*db, QDateTime::currentDateTime(), name, journal::event::kPasswordChanged, 0,
                        QStringLiteral("Cuenta=") + name + QStringLiteral("; propia") +
                            journal::fingerprintSuffix(hash));
    });
}

QString templateDatabasePath() {
    return QStringLiteral(LUDOMAT_BUILD_DIR "/share/ludomat/dbLudomat.mdb");
}

QString deliveredAlarmPath() {
    return QStringLiteral(LUDOMAT_BUILD_DIR "/share/ludomat/queen.wav");
}

QStringList tableRows(const QString &databasePath, const QString &table) {
    auto db = data::Database::open(databasePath);
    QStringList rows;
    for (auto r = db->openRecordset(QStringLiteral("SELECT * FROM ") + table); !r.isEof(); r.moveNext()) {
        QStringList cells;
        for (const QString &column : r.columnNames()) {
            // Hashes differ by their salt; anything else (a password kept as typed) shows as it is.
            const QString value = r.field(column).toString();
            cells << (value.startsWith(QStringLiteral("$argon2id$")) ? QStringLiteral("<hash>") : value);
        }
        rows << cells.join(QLatin1Char('|'));
    }
    db->close();
    rows.sort();
    return rows;
}

NewPasswordDialog *passwordDialog(QWidget *window) {
    // One that was answered lingers until its deferred deletion.
    for (NewPasswordDialog *d : window->findChildren<NewPasswordDialog *>()) {
        if (d->isVisible()) {
            return d;
        }
    }
    return nullptr;
}

bool answerPassword(QWidget *window, const QString &first, const QString &second) {
    NewPasswordDialog *d = passwordDialog(window);
    if (!d) {
        return false;
    }
    // Typed where QTest can spell it (printable ASCII), else put in as a paste would.
    const auto type = [](QLineEdit *box, const QString &text) {
        if (std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u' ' && c < u'\x7f'; })) {
            QTest::keyClicks(box, text);
        } else {
            box->insert(text);
        }
    };
    if (!d->txtNueva->isHidden()) { // hidden: typed once already, in the window that asked
        type(d->txtNueva, first);
    }
    type(d->txtRepetida, second);
    QTest::mouseClick(d->cmdAceptar, Qt::LeftButton);
    return true;
}

void signIn(app::Desk &desk, const QString &who) {
    desk.session().signIn(who, who == QLatin1String("Admin"));
    // What the accounts window says once the account service has signed someone in (a real
    // sign-in costs a password hash and journal entries these tests do not want).
    if (formUsuario *accounts = desk.accountsWindow(); accounts && !accounts->isUnloading()) {
        Q_EMIT accounts->signedIn();
    }
    acceptFloat(desk);
}

bool acceptFloat(app::Desk &desk, const QString &amount) {
    frmFondo *fondo = desk.floatWindow();
    if (!fondo || fondo->isUnloading()) {
        return false;
    }
    if (!amount.isNull()) {
        control<QLineEdit>(fondo, "txtFondo")->setText(amount);
    }
    QTest::mouseClick(control<QPushButton>(fondo, "cmdAceptar"), Qt::LeftButton);
    return fondo->isUnloading();
}

bool countDrawer(app::Desk &desk, const QMap<qint64, qint64> &pieces) {
    frmArqueo *arqueo = desk.countWindow();
    if (!arqueo || arqueo->isUnloading()) {
        return false;
    }
    for (auto it = pieces.cbegin(); it != pieces.cend(); ++it) {
        control<QLineEdit>(arqueo, QStringLiteral("txtCantidad_%1").arg(it.key()))
            ->setText(QString::number(it.value()));
    }
    QTest::mouseClick(control<QPushButton>(arqueo, "cmdCerrarTurno"), Qt::LeftButton);
    auto *go = control<QPushButton>(arqueo, "cmdContinuar");
    if (go->isHidden()) {
        return false;
    }
    QTest::mouseClick(go, Qt::LeftButton);
    return arqueo->isUnloading();
}

void press(app::Desk &desk, int station) {
    QTest::mouseClick(control<QPushButton>(&desk.mainWindow(), "cmdPuesto", station), Qt::LeftButton);
    answerCheckout(&desk.mainWindow(), "cmdCobrar");
}

bool answerCheckout(QWidget *main, const char *button) {
    for (CheckoutDialog *checkout : main->findChildren<CheckoutDialog *>()) {
        if (checkout->isVisible()) {
            QTest::mouseClick(checkout->findChild<QPushButton *>(QString::fromLatin1(button)), Qt::LeftButton);
            return true;
        }
    }
    return false;
}

bool answerAdministrator(QWidget *window, const QString &password) {
    for (AdministratorPasswordDialog *d : window->findChildren<AdministratorPasswordDialog *>()) {
        if (d->isVisible()) {
            QTest::keyClicks(d->txtContrasena, password);
            QTest::mouseClick(d->cmdAceptar, Qt::LeftButton);
            return true;
        }
    }
    return false;
}

TestPlatform::TestPlatform() : platform{clock, messages, alarm, ender, files, QString()} {
    if (!folder.isValid()) {
        throw std::runtime_error("no temporary folder");
    }
    platform.where.dataFolder = folder.path();
    if (!QFile::copy(templateDatabasePath(), platform.databasePath()) ||
        !QFile::copy(deliveredAlarmPath(), platform.alarmPath())) {
        throw std::runtime_error("cannot copy the delivered files");
    }
    QFile::setPermissions(platform.databasePath(), QFile::ReadOwner | QFile::WriteOwner);
}

TestPlatform::TestPlatform(const QString &existingFolder)
    : platform{clock, messages, alarm, ender, files, existingFolder} {}

Shop::Shop() : desk(std::make_unique<app::Desk>(t.platform)), main(&desk->mainWindow()) {
    desk->start();
    control<QTimer>(main, "Timer1")->stop();
    // The start-up's check of the journal reads the books as they were, before the test changes them.
    if (!QTest::qWaitFor([this] { return main->findChildren<journal::VerificationTask *>().isEmpty(); }, 30000)) {
        qFatal("the start-up's check of the journal did not end");
    }
}

Shop::~Shop() {
    close();
}

void Shop::tick(int seconds) {
    t.clock.advance(seconds);
    desk->board().tick();
}

void Shop::close() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    main = nullptr;
    desk.reset();
}

void Shop::rent(int puesto, const QString &usuario, const QString &hora, const QString &importe) const {
    auto db = data::Database::open(t.databasePath());
    data::runInTransaction(*db, [&] {
        db->execute(statements::alquilerInsert(puesto, true, usuario, 5, QStringLiteral("Dec"), 2026, hora,
                                               QStringLiteral("0"), QStringLiteral("40"), importe));
        journal::append(*db, t.clock.now, usuario, journal::event::kRentalRecorded, puesto,
                        journal::rentalDetail(QString::number(puesto), QStringLiteral("Contador"), usuario,
                                              QStringLiteral("2026-12-05"), hora, QStringLiteral("0"),
                                              QStringLiteral("40"), numtext::engineNumber(importe.toDouble())));
    });
}

QStringList accountsJournal(const QString &databasePath, qsizetype from) {
    QStringList rows = journal(databasePath, QStringLiteral("Usuario, Evento, Detalle")).mid(from);
    for (QString &row : rows) {
        row.remove(QRegularExpression(QStringLiteral("; Huella=[0-9a-f]{64}$")));
        row.replace(QRegularExpression(QStringLiteral("^([^|]*\\|(Clave del sello|Sello)\\|).*$")),
                    QStringLiteral("\\1"));
    }
    return rows;
}

} // namespace testing
