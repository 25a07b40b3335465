#include "ui/InstanceLock.h"

namespace ui {

InstanceLock::InstanceLock(const QString &programFolder) : lock_(std::make_unique<QLockFile>(lockPath(programFolder))) {
    lock_->setStaleLockTime(0); // only a dead owner makes a lock stale, never its age
}

InstanceLock::Result InstanceLock::acquire() {
    if (lock_->tryLock(0)) {
        return Result::Acquired;
    }
    return lock_->error() == QLockFile::LockFailedError ? Result::HeldByAnother : Result::Unavailable;
}

QString InstanceLock::lockPath(const QString &programFolder) {
    return programFolder + QStringLiteral("/dbLudomat.mdb.lock");
}

} // namespace ui
