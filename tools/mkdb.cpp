// mkdb [--keep-existing] <path>: writes the database delivered beside the program.
#include "accounts/PasswordHash.h"
#include "accounts/PasswordPolicy.h"
#include "data/DbError.h"
#include "data/Schema.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <cstdio>
#include <exception>

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    const bool keepExisting = args.removeAll(QStringLiteral("--keep-existing")) > 0;
    if (args.size() != 1) {
        std::fprintf(stderr, "usage: mkdb [--keep-existing] <path>\n");
        return 2;
    }
    const QString path = args.front();
    if (QFileInfo::exists(path)) {
        // The shop's records live in that file; never replace it.
        if (keepExisting)
            return 0;
        std::fprintf(stderr, "mkdb: %s already exists; not overwriting\n", qPrintable(path));
        return 1;
    }
    try {
        data::createDeliveredDatabase(path, accounts::hashPassword(accounts::kDeliveredAdminPassword));
    } catch (const std::exception &e) {
        std::fprintf(stderr, "mkdb: %s\n", e.what());
        return 1;
    }
    return 0;
}
