#include "stations/CommandLine.h"

#include "data/DbError.h"
#include "data/Journal.h"

#include <QCoreApplication>
#include <QDir>
#include <QStringList>
#include <cstdio>

namespace stations {

namespace {

// Every option of ours. They take two dashes; Qt's own (-platform, -style...) keep their one
// and are left to the normal start.
struct Option {
    const char *name;
    bool takesValue;
};
constexpr Option kOptions[] = {{"--verify-journal", false}, {"--data-dir", true}, {"--help", false}};

const char *const kUsage = "usage: ludomat [--verify-journal [--data-dir DIR]]\n";

struct Request {
    QString job; // the option that names what to do
    QString dataDir;
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
        if (option->takesValue) {
            QString value;
            if (arguments[i].contains(QLatin1Char('='))) {
                value = arguments[i].section(QLatin1Char('='), 1);
            } else if (i + 1 < arguments.size()) {
                value = arguments[++i];
            }
            if (value.isEmpty()) {
                return std::nullopt;
            }
            request.dataDir = value;
        } else if (name != arguments[i] || !request.job.isEmpty()) {
            return std::nullopt; // a value given to a flag, or two jobs
        } else {
            request.job = name;
        }
    }
    // The data folder alone does not start the program elsewhere yet.
    if (request.job.isEmpty()) {
        return std::nullopt;
    }
    return request;
}

void printLine(std::FILE *stream, const QString &text) {
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fputc('\n', stream);
}

const char *faultText(journal::Fault fault) {
    switch (fault) {
    case journal::Fault::Missing:
        return "missing (removed)";
    case journal::Fault::Inserted:
        return "out of sequence (inserted)";
    case journal::Fault::Stopped:
        return "not read to the end";
    case journal::Fault::Changed:
    case journal::Fault::None:
        break;
    }
    return "changed";
}

int verifyJournal(const QString &folder) {
    const QString path = QDir(folder).absoluteFilePath(QStringLiteral("dbLudomat.mdb"));
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
    return 0;
}

} // namespace

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
    if (request->job == QLatin1String("--help")) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    QCoreApplication app(argc, argv);
    return verifyJournal(request->dataDir.isEmpty() ? QCoreApplication::applicationDirPath() : request->dataDir);
}

} // namespace stations
