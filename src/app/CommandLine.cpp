#include "app/CommandLine.h"

#include "app/Serve.h"
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
#include "ui/Translations.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMap>
#include <QStringList>
#include <algorithm>
#include <cstdio>
#include <memory>

namespace app {

namespace {

// Every option of ours, in the order the help lists them. They take two dashes; Qt's own
// (-platform, -style...) keep their one and are left to the normal start. A job names what to
// do; the others qualify it, and those of a report belong to a report.
struct Option {
    const char *shortName; // a letter, or nothing
    const char *name;
    const char *valueName; // nothing for a switch
    bool job;
    const char *ofJob; // the job a qualifying option belongs to
    const char *description;
};
constexpr Option kOptions[] = {
    {nullptr, "data-dir", "CARPETA", false, nullptr,
     "La carpeta de los libros (dbLudomat.mdb y copias/). Sin ella, la de LUDOMAT_DATA_DIR; si no, la del "
     "programa cuando los tiene, o ~/.local/share/ludomat."},
    {nullptr, "verify-journal", nullptr, true, nullptr,
     "Verifica el registro de eventos y que los libros coincidan con él. Sale con 0 si todo está bien, 1 si no, "
     "2 si no se puede leer."},
    {nullptr, "backup", "ARCHIVO", true, nullptr,
     "Hace una copia verificada de los libros en ARCHIVO, aun con el programa abierto; nunca sobre los libros ni "
     "sobre otra base de datos."},
    {nullptr, "restore", "COPIA", true, nullptr,
     "Pone una copia del programa en lugar de los libros, que antes quedan en copias/. No mientras el programa "
     "trabaja sobre esos libros."},
    {nullptr, "serve", nullptr, true, nullptr,
     "Sirve la vista del dueño por HTTPS en el puerto --port (0: uno libre), sin tocar los libros; escribe «LISTO "
     "puerto huella» cuando escucha. La arranca el programa."},
    {nullptr, "port", "PUERTO", false, "serve", "El puerto de la vista del dueño."},
    {nullptr, "bind", "DIRECCION", false, "serve", "Escucha solo en esa dirección (si no, en todas)."},
    {nullptr, "certificate", "ARCHIVO", false, "serve",
     "El certificado PEM del dueño para la vista; sin él, el propio del programa (en la carpeta de los libros)."},
    {nullptr, "key", "ARCHIVO", false, "serve", "La clave privada PEM de ese certificado."},
    {nullptr, "report", nullptr, true, nullptr,
     "El cierre de caja del período, sin tocar las tablas de la ventana: los totales en la salida."},
    {nullptr, "from", "\"AAAA-MM-DD HH:MM\"", false, "report", "El comienzo del período del informe."},
    {nullptr, "to", "\"AAAA-MM-DD HH:MM\"", false, "report", "El fin del período del informe."},
    {nullptr, "operator", "NOMBRE", false, "report", "Suma también el total del operador."},
    {nullptr, "csv", "ARCHIVO", false, "report",
     "Guarda los alquileres en CSV, con el resumen al lado (NOMBRE-resumen.txt)."},
    {nullptr, "shifts", nullptr, false, "report",
     "Agrega los turnos del período (los abiertos en algún momento de él): en la salida, y en el CSV, el PDF y la "
     "planilla que se pidan."},
    {nullptr, "pdf", "ARCHIVO", false, "report", "Guarda el informe en PDF."},
    {nullptr, "xlsx", "ARCHIVO", false, "report", "Guarda el informe como planilla (.xlsx)."},
    {"h", "help", nullptr, true, nullptr, "Muestra esta ayuda."},
    {"v", "version", nullptr, true, nullptr, "Muestra la versión."},
};

const char *const kUsage = "Uso: ludomat [--data-dir CARPETA]\n"
                           "     ludomat --verify-journal [--data-dir CARPETA]\n"
                           "     ludomat --backup ARCHIVO [--data-dir CARPETA]\n"
                           "     ludomat --restore COPIA [--data-dir CARPETA]\n"
                           "     ludomat --report --from \"AAAA-MM-DD HH:MM\" --to \"AAAA-MM-DD HH:MM\"\n"
                           "             [--operator NOMBRE] [--shifts] [--csv ARCHIVO] [--pdf ARCHIVO]\n"
                           "             [--xlsx ARCHIVO] [--data-dir CARPETA]\n"
                           "     ludomat --serve --port PUERTO [--bind DIRECCION]\n"
                           "             [--certificate ARCHIVO --key ARCHIVO] [--data-dir CARPETA]\n";

QString dashed(const QString &name) {
    return QStringLiteral("--") + name;
}

QString quoted(const QString &text) {
    return QStringLiteral("«%1»").arg(text);
}

// The usage, then every option with what it does, in lines of at most 80 columns.
QString helpText() {
    constexpr qsizetype kColumns = 80;
    QStringList left;
    qsizetype width = 0;
    for (const Option &option : kOptions) {
        QString names = option.shortName ? QStringLiteral("-%1, ").arg(QLatin1String(option.shortName)) : QString();
        names += dashed(QLatin1String(option.name));
        if (option.valueName) {
            names += u' ' + QLatin1String(option.valueName);
        }
        width = std::max(width, names.size());
        left << names;
    }
    const QString indent(2 + width + 2, u' ');
    QString text = QString::fromUtf8(kUsage) + QStringLiteral("\nOpciones:\n");
    for (qsizetype i = 0; i < left.size(); ++i) {
        QString line = QStringLiteral("  %1 ").arg(left[i], -int(width));
        for (const QString &word : QString::fromUtf8(kOptions[i].description).split(u' ')) {
            if (line.size() + 1 + word.size() > kColumns && line.size() > indent.size()) {
                text += line + u'\n';
                line = indent.chopped(1);
            }
            line += u' ' + word;
        }
        text += line + u'\n';
    }
    return text;
}

// What the command line asks for: a job by its option's name (empty: the program itself), the
// values by option name; or why it asks for nothing that can be done.
struct Request {
    QString job;
    QMap<QString, QString> values;
    std::optional<QString> wrong;

    QString value(const char *name) const { return values.value(QLatin1String(name)); }
};

// A misspelt option of ours must not start the shop's window instead of the job.
bool mentionsOurs(const QStringList &arguments) {
    for (const QString &argument : arguments) {
        if (argument.startsWith(QLatin1String("--")) || argument == QLatin1String("-h") ||
            argument == QLatin1String("-v")) {
            return true;
        }
    }
    return false;
}

// Qt's own complaints (an unknown option, a missing value) are in the language of the
// translation installed when this runs.
Request parse(const QStringList &arguments) {
    QCommandLineParser parser;
    for (const Option &option : kOptions) {
        QStringList names{QLatin1String(option.name)};
        if (option.shortName) {
            names.prepend(QLatin1String(option.shortName));
        }
        parser.addOption(QCommandLineOption(names, QString::fromUtf8(option.description),
                                            option.valueName ? QLatin1String(option.valueName) : QString()));
    }
    Request request;
    if (!parser.parse(QStringList{QStringLiteral("ludomat")} + arguments)) {
        request.wrong = parser.errorText();
        return request;
    }
    // The parser takes a lone "--" as the end of the options; nothing of ours follows one.
    if (arguments.contains(QLatin1String("--"))) {
        request.wrong = QStringLiteral("Argumento inesperado %1.").arg(quoted(QStringLiteral("--")));
        return request;
    }
    if (!parser.positionalArguments().isEmpty()) {
        request.wrong = QStringLiteral("Argumento inesperado %1.").arg(quoted(parser.positionalArguments().first()));
        return request;
    }
    const QStringList named = parser.optionNames();
    for (const Option &option : kOptions) {
        const QString name = QLatin1String(option.name);
        const QString shortName = option.shortName ? QLatin1String(option.shortName) : QString();
        const qsizetype times = named.count(name) + (shortName.isEmpty() ? 0 : named.count(shortName));
        if (times == 0) {
            continue;
        }
        if (times > 1) {
            request.wrong =
                QStringLiteral("La opción %1 va una sola vez.").arg(quoted(dashed(QLatin1String(option.name))));
            return request;
        }
        if (option.valueName) {
            const QString value = parser.value(name);
            if (value.isEmpty()) {
                request.wrong = QStringLiteral("Falta valor tras %1.").arg(quoted(dashed(QLatin1String(option.name))));
                return request;
            }
            request.values.insert(name, value);
        } else if (!option.job) {
            request.values.insert(name, QString()); // a switch that qualifies a job: present
        }
        if (option.job) {
            if (!request.job.isEmpty()) {
                request.wrong = QStringLiteral("Una tarea por vez: %1 y %2.")
                                    .arg(quoted(dashed(request.job)), quoted(dashed(QLatin1String(option.name))));
                return request;
            }
            request.job = name;
        }
    }
    const bool report = request.job == QLatin1String("report");
    for (const Option &option : kOptions) {
        if (option.ofJob && request.job != QLatin1String(option.ofJob) &&
            request.values.contains(QLatin1String(option.name))) {
            const bool ofReport = QLatin1String(option.ofJob) == QLatin1String("report");
            request.wrong = QStringLiteral("La opción %1 es %2, %3.")
                                .arg(quoted(dashed(QLatin1String(option.name))),
                                     ofReport ? QStringLiteral("del informe") : QStringLiteral("de la vista"),
                                     quoted(dashed(QLatin1String(option.ofJob))));
            return request;
        }
    }
    if (request.job == QLatin1String("serve") && !request.values.contains(QStringLiteral("port"))) {
        request.wrong = QStringLiteral("La vista necesita %1.").arg(quoted(QStringLiteral("--port")));
        return request;
    }
    if (report &&
        (!request.values.contains(QStringLiteral("from")) || !request.values.contains(QStringLiteral("to")))) {
        request.wrong = QStringLiteral("El informe necesita %1 y %2.")
                            .arg(quoted(QStringLiteral("--from")), quoted(QStringLiteral("--to")));
    }
    return request;
}

QStringList argumentsOf(int argc, char *argv[]) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i) {
        arguments << QString::fromLocal8Bit(argv[i]);
    }
    return arguments;
}

void printLine(std::FILE *stream, const QString &text) {
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fputc('\n', stream);
}

sys::Locations locationsOf(const Request &request) {
    return sys::locateProgram(sys::askedDataFolder(request.value("data-dir")));
}

QString databaseIn(const Request &request) {
    return locationsOf(request).database();
}

// A checked copy made with the engine's online backup, safe beside a running program; the
// journal notes it when the file lets it.
int backup(const Request &request) {
    const QString path = databaseIn(request);
    const QString target = QFileInfo(request.value("backup")).absoluteFilePath();
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
    const sys::Locations where = locationsOf(request);
    const QString path = where.database();
    const QString copy = QFileInfo(request.value("restore")).absoluteFilePath();
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
    const auto from = readMoment(request.value("from"));
    const auto to = readMoment(request.value("to"));
    if (!from || !to || *to < *from) {
        printLine(stderr, QStringLiteral("ludomat: --from and --to take \"YYYY-MM-DD HH:MM\", the end not before the "
                                         "start"));
        std::fputs(kUsage, stderr);
        return 2;
    }
    const cash_close::Period period{from->date(), from->time(), to->date(), to->time()};
    const QString who = request.value("operator");
    const QString path = databaseIn(request);
    const QString csv = request.value("csv");
    const QString pdf = request.value("pdf");
    const QString xlsx = request.value("xlsx");
    const bool withShifts = request.values.contains(QStringLiteral("shifts"));
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
        const cash_close::StationLabels labels = cash_close::readStationLabels(*db);
        result = cash_close::reportFromRentals(*db, period, who, QDateTime::currentDateTime(), labels, withShifts);
    } catch (const data::DbError &error) {
        printLine(stderr, QStringLiteral("ludomat: cannot read %1: %2").arg(path, error.message()));
        return 1;
    }
    printLine(stdout, QStringLiteral("Período: %1 a %2")
                          .arg(from->toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                               to->toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))));
    printLine(stdout, QStringLiteral("Alquileres: %1").arg(result.rentals));
    printLine(stdout, QStringLiteral("Total Facturado: %1").arg(cash_close::moneyPoint(result.totalCents)));
    if (!who.isEmpty()) {
        printLine(stdout,
                  QStringLiteral("Total Facturado %1: %2").arg(who, cash_close::moneyPoint(result.operatorCents)));
    }
    const std::pair<const char *, const QVector<cash_close::Subtotal> *> groups[] = {{"Operador ", &result.byOperator},
                                                                                     {"", &result.byStation},
                                                                                     {"Consola ", &result.byType},
                                                                                     {"Modo ", &result.byMode}};
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
    for (const QString &line : cash_close::operationLines(result)) {
        printLine(stdout, line);
    }
    if (withShifts) {
        for (const QString &line : cash_close::shiftLines(result)) {
            printLine(stdout, line);
        }
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
    const QStringList arguments = argumentsOf(argc, argv);
    return sys::askedDataFolder(mentionsOurs(arguments) ? parse(arguments).value("data-dir") : QString());
}

std::optional<int> runCommandLine(int argc, char *argv[]) {
    const QStringList arguments = argumentsOf(argc, argv);
    if (!mentionsOurs(arguments)) {
        return std::nullopt;
    }
    Request request = parse(arguments);
    if (!request.wrong && request.job.isEmpty()) {
        return std::nullopt; // the program itself, on the data folder asked for
    }
    // Standard error is for what went wrong: Qt's own chatter about the environment stays out.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &message) {
        if (type == QtCriticalMsg || type == QtFatalMsg) {
            printLine(stderr, message);
        }
    });
    std::unique_ptr<QCoreApplication> app;
    if (request.values.contains(QStringLiteral("pdf"))) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    QCoreApplication::setApplicationName(QStringLiteral("ludomat"));
    if (request.wrong) {
        // Read again with Qt's texts in Spanish, to say what is wrong in the program's language.
        ui::installSpanishQtTexts();
        request = parse(arguments);
        printLine(stderr, QStringLiteral("ludomat: ") + *request.wrong);
        std::fputs(kUsage, stderr);
        return 2;
    }
    if (request.job == QLatin1String("help")) {
        std::fputs(helpText().toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (request.job == QLatin1String("version")) {
        std::puts("ludomat " LUDOMAT_VERSION);
        return 0;
    }
    // A job reads the books under the program's rules: where books were and are missing, it
    // says so and reads nothing (the journal's check keeps its "cannot read" status).
    if (const QString missing = sys::missingBooks(locationsOf(request)); !missing.isEmpty()) {
        printLine(stderr, QStringLiteral("ludomat: ") + missing);
        return request.job == QLatin1String("verify-journal") ? 2 : 1;
    }
    if (request.job == QLatin1String("report")) {
        return report(request);
    }
    if (request.job == QLatin1String("serve")) {
        return serve({request.value("data-dir"), request.value("port"), request.value("bind"),
                      request.value("certificate"), request.value("key")});
    }
    if (request.job == QLatin1String("backup")) {
        return backup(request);
    }
    if (request.job == QLatin1String("restore")) {
        return restore(request);
    }
    return verifyJournal(databaseIn(request));
}

} // namespace app
