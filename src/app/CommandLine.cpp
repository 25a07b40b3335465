#include "app/CommandLine.h"

#include "cash_close/CashCloseRun.h"
#include "cash_close/Report.h"
#include "cash_close/ReportCsv.h"
#include "cash_close/ReportXlsx.h"
#include "data/Backup.h"
#include "data/Database.h"
#include "data/DbError.h"
#include "data/Journal.h"
#include "data/OutputTarget.h"
#include "data/Restore.h"
#include "platform/InstanceLock.h"
#include "platform/Locations.h"
#include "report/ReportDocument.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMap>
#include <QStringList>
#include <cstdio>
#include <memory>

namespace app {

namespace {

// Every option of ours. They take two dashes; Qt's own (-platform, -style...) keep their one
// and are left to the normal start. A job names what to do; the others qualify it.
struct Option {
    const char *name;
    bool takesValue;
    bool job;
};
constexpr Option kOptions[] = {
    {"--verify-journal", false, true}, {"--report", false, true},   {"--backup", true, true}, {"--restore", true, true},
    {"--help", false, true},           {"--data-dir", true, false}, {"--from", true, false},  {"--to", true, false},
    {"--operator", true, false},       {"--csv", true, false},      {"--pdf", true, false},   {"--xlsx", true, false},
};

const char *const kUsage = "usage: ludomat [--data-dir DIR]\n"
                           "       ludomat --verify-journal [--data-dir DIR]\n"
                           "       ludomat --backup FILE [--data-dir DIR]\n"
                           "       ludomat --restore COPY [--data-dir DIR]\n"
                           "       ludomat --report --from \"YYYY-MM-DD HH:MM\" --to \"YYYY-MM-DD HH:MM\" "
                           "[--operator NAME] [--csv FILE] [--pdf FILE] [--xlsx FILE] [--data-dir DIR]\n";

struct Request {
    QString job;
    QMap<QString, QString> values; // by option name
};

const Option *findOption(const QString &argument) {
    for (const Option &option : kOptions) {
        if (argument == QLatin1String(option.name)) {
            return &option;
        }
    }
    return nullptr;
}

// A misspelt option of ours must not start the shop's window instead of the job.
bool mentionsOurs(const QStringList &arguments) {
    for (const QString &argument : arguments) {
        if (argument.startsWith(QLatin1String("--"))) {
            return true;
        }
    }
    return false;
}

// The request, or nothing when the arguments do not make one (the usage is then due).
std::optional<Request> parse(const QStringList &arguments) {
    Request request;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString name = arguments[i].section(QLatin1Char('='), 0, 0);
        const Option *option = findOption(name);
        if (!option) {
            return std::nullopt;
        }
        if (option->job && !request.job.isEmpty()) {
            return std::nullopt; // two jobs
        }
        if (option->takesValue) {
            QString value;
            if (arguments[i].contains(QLatin1Char('='))) {
                value = arguments[i].section(QLatin1Char('='), 1);
            } else if (i + 1 < arguments.size()) {
                value = arguments[++i];
            }
            if (value.isEmpty() || request.values.contains(name)) {
                return std::nullopt;
            }
            request.values.insert(name, value);
        } else if (name != arguments[i]) {
            return std::nullopt; // a value given to a flag
        }
        if (option->job) {
            request.job = name;
        }
    }
    // What qualifies a report belongs to a report; a report needs its period.
    const bool report = request.job == QLatin1String("--report");
    for (const char *reportOnly : {"--from", "--to", "--operator", "--csv", "--pdf", "--xlsx"}) {
        if (!report && request.values.contains(QLatin1String(reportOnly))) {
            return std::nullopt;
        }
    }
    if (report &&
        (!request.values.contains(QStringLiteral("--from")) || !request.values.contains(QStringLiteral("--to")))) {
        return std::nullopt;
    }
    return request;
}

void printLine(std::FILE *stream, const QString &text) {
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fputc('\n', stream);
}

QString databaseIn(const Request &request) {
    return sys::locateProgram(request.values.value(QStringLiteral("--data-dir"))).database();
}

// A checked copy made with the engine's online backup, safe beside a running program; the
// journal notes it when the file lets it.
int backup(const Request &request) {
    const QString path = databaseIn(request);
    const QString target = QFileInfo(request.values.value(QStringLiteral("--backup"))).absoluteFilePath();
    std::unique_ptr<data::Database> db;
    try {
        db = data::Database::open(path, {.busyTimeoutMs = 5000});
    } catch (const data::DbError &error) {
        printLine(stderr, QStringLiteral("ludomat: cannot read %1: %2").arg(path, error.message()));
        return 1;
    }
    if (const QString failure = data::backupTo(*db, target); !failure.isEmpty()) {
        printLine(stderr, QStringLiteral("ludomat: ") + failure);
        return 1;
    }
    try {
        data::runInTransaction(*db, [&] {
            journal::append(*db, QDateTime::currentDateTime(), QString(), journal::event::kBackup, 0,
                            QStringLiteral("Archivo=%1; desde la línea de órdenes").arg(target));
        });
    } catch (const data::DbError &) {
        // The copy stands; a file that takes no entry (read-only) changes nothing of it.
    }
    printLine(stdout, QStringLiteral("backup ok: %1").arg(target));
    return 0;
}

// A copy of the books put in their place (data::restoreCopy), never under a running program:
// the one-program lock is taken for the whole job, so the program cannot start meanwhile either.
int restore(const Request &request) {
    const sys::Locations where = sys::locateProgram(request.values.value(QStringLiteral("--data-dir")));
    const QString path = where.database();
    const QString copy = QFileInfo(request.values.value(QStringLiteral("--restore"))).absoluteFilePath();
    sys::InstanceLock lock(path);
    switch (lock.acquire()) {
    case sys::InstanceLock::Result::HeldByAnother:
        printLine(stderr, QStringLiteral("ludomat: nothing was restored: Ludomat is running on %1; restore the copy "
                                         "from its cash close, or close it first")
                              .arg(path));
        return 1;
    case sys::InstanceLock::Result::Refused:
        printLine(stderr, QStringLiteral("ludomat: nothing was restored: ") + lock.refusal());
        return 1;
    case sys::InstanceLock::Result::Acquired:
    case sys::InstanceLock::Result::Unavailable:
        break;
    }
    data::Restored done;
    try {
        auto db = data::Database::open(path, {.busyTimeoutMs = 5000});
        done = data::restoreCopy(*db, copy, where.backups(), QDateTime::currentDateTime(), QString(),
                                 QStringLiteral("desde la línea de órdenes"));
    } catch (const data::DbError &error) {
        printLine(stderr, QStringLiteral("ludomat: cannot open %1: %2").arg(path, error.message()));
        return 1;
    }
    if (!done.failure.isEmpty()) {
        printLine(stderr, QStringLiteral("ludomat: ") + done.failure);
        return 1;
    }
    printLine(stdout, QStringLiteral("restore ok: %1; the books it replaced were kept in %2").arg(copy, done.keptAt));
    return 0;
}

const char *faultText(journal::Fault fault) {
    switch (fault) {
    case journal::Fault::Missing:
        return "missing (removed)";
    case journal::Fault::Inserted:
        return "out of sequence (inserted)";
    case journal::Fault::Stopped:
        return "not read to the end";
    case journal::Fault::BadSeal:
        return "seal does not verify (sealed history was rewritten)";
    case journal::Fault::Uncertified:
        return "key not certified by the owner's earlier key";
    case journal::Fault::Changed:
    case journal::Fault::None:
        break;
    }
    return "changed";
}

int verifyJournal(const QString &path) {
    journal::Verification v;
    try {
        v = journal::verifyFile(path);
    } catch (const data::DbError &error) {
        printLine(stderr, QStringLiteral("ludomat: cannot read the journal of %1: %2").arg(path, error.message()));
        return 2;
    }
    if (!v.ok) {
        printLine(stdout, QStringLiteral("journal broken at entry %1: %2").arg(v.firstBad).arg(faultText(v.fault)));
        return 1;
    }
    printLine(stdout, QStringLiteral("journal ok: %1 entries, last hash %2")
                          .arg(v.entries)
                          .arg(v.lastHash.isEmpty() ? QStringLiteral("none") : v.lastHash));
    printLine(stdout,
              v.sealKey.isEmpty() ? QStringLiteral("seal: none, no owner's key yet")
              : v.lastSeal == 0
                  ? QStringLiteral("seal: owner's key %1, nothing sealed yet").arg(v.sealKey)
                  : QStringLiteral("seal: owner's key %1, last seal at entry %2").arg(v.sealKey).arg(v.lastSeal));
    if (!v.booksChecked) {
        printLine(stdout, QStringLiteral("books not checked: the journal does not cover them yet (the program starts "
                                         "covering them when it first opens the file)"));
        return 0;
    }
    if (v.booksAgree()) {
        printLine(stdout, QStringLiteral("books agree with the journal: %1 rentals").arg(v.rentals));
        return 0;
    }
    for (const journal::Difference &d : std::as_const(v.differences)) {
        printLine(stdout, d.english());
    }
    if (v.moreDifferences > 0) {
        printLine(stdout, QStringLiteral("books differ from the journal in %1 more places").arg(v.moreDifferences));
    }
    return 1;
}

std::optional<QDateTime> readMoment(const QString &text) {
    for (const char *format : {"yyyy-MM-dd HH:mm", "yyyy-MM-dd HH:mm:ss"}) {
        const QDateTime moment = QDateTime::fromString(text.trimmed(), QLatin1String(format));
        if (moment.isValid()) {
            return moment;
        }
    }
    return std::nullopt;
}

// The period's report from Alquiler, in one read transaction beside whatever else runs: its
// totals on standard output, and the files asked for.
int report(const Request &request) {
    const auto from = readMoment(request.values.value(QStringLiteral("--from")));
    const auto to = readMoment(request.values.value(QStringLiteral("--to")));
    if (!from || !to || *to < *from) {
        printLine(stderr, QStringLiteral("ludomat: --from and --to take \"YYYY-MM-DD HH:MM\", the end not before the "
                                         "start"));
        std::fputs(kUsage, stderr);
        return 2;
    }
    const cash_close::Period period{from->date(), from->time(), to->date(), to->time()};
    const QString who = request.values.value(QStringLiteral("--operator"));
    const QString path = databaseIn(request);
    const QString csv = request.values.value(QStringLiteral("--csv"));
    const QString pdf = request.values.value(QStringLiteral("--pdf"));
    const QString xlsx = request.values.value(QStringLiteral("--xlsx"));
    // Every file asked for, and the CSV's companion, is looked at before anything is written.
    for (const QString &file : {csv, csv.isEmpty() ? QString() : cash_close::companionPath(csv), pdf, xlsx}) {
        if (const QString refusal = file.isEmpty() ? QString() : data::outputRefusal(file, path); !refusal.isEmpty()) {
            printLine(stderr, QStringLiteral("ludomat: nothing was written: %1 %2").arg(file, refusal));
            return 1;
        }
    }
    cash_close::Report result;
    try {
        auto db = data::Database::open(path, {.busyTimeoutMs = 5000, .readOnly = true});
        result = cash_close::reportFromRentals(*db, period, who, QDateTime::currentDateTime());
    } catch (const data::DbError &error) {
        printLine(stderr, QStringLiteral("ludomat: cannot read %1: %2").arg(path, error.message()));
        return 1;
    }
    printLine(stdout, QStringLiteral("Período: %1 a %2")
                          .arg(from->toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                               to->toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))));
    printLine(stdout, QStringLiteral("Alquileres: %1").arg(result.rows.size()));
    printLine(stdout, QStringLiteral("Total Facturado: %1").arg(cash_close::moneyPoint(result.totalCents)));
    if (!who.isEmpty()) {
        printLine(stdout,
                  QStringLiteral("Total Facturado %1: %2").arg(who, cash_close::moneyPoint(result.operatorCents)));
    }
    const std::pair<const char *, const QVector<cash_close::Subtotal> *> groups[] = {
        {"Operador ", &result.byOperator}, {"", &result.byStation}, {"Modo ", &result.byMode}};
    for (const auto &[title, list] : groups) {
        for (const cash_close::Subtotal &s : *list) {
            printLine(stdout, QStringLiteral("%1%2: %3 (%4)")
                                  .arg(QLatin1String(title), s.key, cash_close::moneyPoint(s.cents))
                                  .arg(s.rentals));
        }
    }
    if (result.journalEntries > 0) {
        printLine(stdout, cash_close::journalAnchorLine(result));
        printLine(stdout, cash_close::sealAnchorLine(result));
    }
    int status = 0;
    for (const QString &failure : {csv.isEmpty() ? QString() : cash_close::saveCsv(result, csv),
                                   pdf.isEmpty() ? QString() : cash_close::savePdf(result, pdf),
                                   xlsx.isEmpty() ? QString() : cash_close::saveXlsx(result, xlsx)}) {
        if (!failure.isEmpty()) {
            printLine(stderr, QStringLiteral("ludomat: ") + failure);
            status = 1;
        }
    }
    return status;
}

} // namespace

QString dataDirArgument(int argc, char *argv[]) {
    for (int i = 1; i < argc; ++i) {
        const QString argument = QString::fromLocal8Bit(argv[i]);
        if (argument == QLatin1String("--data-dir") && i + 1 < argc) {
            return QString::fromLocal8Bit(argv[i + 1]);
        }
        if (argument.startsWith(QLatin1String("--data-dir="))) {
            return argument.section(QLatin1Char('='), 1);
        }
    }
    return {};
}

std::optional<int> runCommandLine(int argc, char *argv[]) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i) {
        arguments << QString::fromLocal8Bit(argv[i]);
    }
    if (!mentionsOurs(arguments)) {
        return std::nullopt;
    }
    const std::optional<Request> request = parse(arguments);
    if (!request) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    if (request->job.isEmpty()) {
        return std::nullopt; // the program itself, on the data folder asked for
    }
    if (request->job == QLatin1String("--help")) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    // Standard error is for what went wrong: Qt's own chatter about the environment stays out.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &message) {
        if (type == QtCriticalMsg || type == QtFatalMsg) {
            printLine(stderr, message);
        }
    });
    std::unique_ptr<QCoreApplication> app;
    if (request->values.contains(QStringLiteral("--pdf"))) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    QCoreApplication::setApplicationName(QStringLiteral("ludomat"));
    // A job reads the books under the program's rules: where books were and are missing, it
    // says so and reads nothing (the journal's check keeps its "cannot read" status).
    if (const QString missing =
            sys::missingBooks(sys::locateProgram(request->values.value(QStringLiteral("--data-dir"))));
        !missing.isEmpty()) {
        printLine(stderr, QStringLiteral("ludomat: ") + missing);
        return request->job == QLatin1String("--verify-journal") ? 2 : 1;
    }
    if (request->job == QLatin1String("--report")) {
        return report(*request);
    }
    if (request->job == QLatin1String("--backup")) {
        return backup(*request);
    }
    if (request->job == QLatin1String("--restore")) {
        return restore(*request);
    }
    return verifyJournal(databaseIn(*request));
}

} // namespace app
