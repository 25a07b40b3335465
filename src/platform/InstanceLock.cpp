#include "platform/InstanceLock.h"

#include "data/DatabaseFile.h"
#include "data/DbError.h"

#include <QFileInfo>

namespace sys {

InstanceLock::InstanceLock(QString databasePath) : path_(std::move(databasePath)) {}

InstanceLock::~InstanceLock() = default;

InstanceLock::Result InstanceLock::acquire() {
    try {
        file_ = data::DatabaseFile::acquire(path_);
    } catch (const data::DbError &error) {
        if (!QFileInfo::exists(path_)) {
            return Result::Unavailable;
        }
        refused_ = error.message();
        return Result::Refused;
    }
    switch (file_->claimExclusive()) {
    case data::DatabaseFile::Claim::Taken:
        return Result::Acquired;
    case data::DatabaseFile::Claim::HeldElsewhere:
        return Result::HeldByAnother;
    case data::DatabaseFile::Claim::Unsupported:
        break;
    }
    return Result::Unavailable;
}

QString InstanceLock::refusal() const {
    if (!refused_.isEmpty()) {
        return refused_;
    }
    QString text = QStringLiteral("Ludomat ya se está ejecutando con la base de datos %1").arg(path_);
    if (const auto holder = file_ ? file_->holder() : std::nullopt) {
        text += holder->programFolder.isEmpty() ? QStringLiteral(" (proceso %1)").arg(holder->pid)
                                                : QStringLiteral(" (el programa de la carpeta %1, proceso %2)")
                                                      .arg(holder->programFolder)
                                                      .arg(holder->pid);
    }
    return text + QStringLiteral(". Use la ventana abierta.");
}

} // namespace sys
