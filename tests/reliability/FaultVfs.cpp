#include "FaultVfs.h"

#include <sqlite3.h>

namespace faultvfs {
namespace {

struct FaultFile {
    sqlite3_file base;
    sqlite3_file *real;
};

sqlite3_vfs *realVfs = nullptr;
sqlite3_vfs wrapper;
sqlite3_io_methods methods;
bool installed = false;

struct State {
    Target target = Target::Write;
    int nth = 0;
    Fault fault = Fault::IoError;
    int calls[2] = {0, 0}; // writes, syncs
    bool fired = false;
} state;

sqlite3_file *real(sqlite3_file *f) {
    return reinterpret_cast<FaultFile *>(f)->real;
}

// Every method not faulted passes straight through to the real file.
template <auto M> struct Forward;
template <typename R, typename... A, R (*sqlite3_io_methods::*M)(sqlite3_file *, A...)> struct Forward<M> {
    static R call(sqlite3_file *f, A... a) { return (real(f)->pMethods->*M)(real(f), a...); }
};

// Counts the call; true when it is the one that must fail.
bool trips(Target target) {
    if (state.nth > 0 && state.target == target && ++state.calls[int(target)] == state.nth) {
        state.fired = true;
        return true;
    }
    return false;
}

int xWrite(sqlite3_file *f, const void *buf, int amt, sqlite3_int64 off) {
    if (trips(Target::Write)) {
        return state.fault == Fault::DiskFull ? SQLITE_FULL : SQLITE_IOERR_WRITE;
    }
    return Forward<&sqlite3_io_methods::xWrite>::call(f, buf, amt, off);
}
int xSync(sqlite3_file *f, int flags) {
    if (trips(Target::Sync)) {
        return state.fault == Fault::DiskFull ? SQLITE_FULL : SQLITE_IOERR_FSYNC;
    }
    return Forward<&sqlite3_io_methods::xSync>::call(f, flags);
}

int xOpen(sqlite3_vfs *, sqlite3_filename name, sqlite3_file *f, int flags, int *outFlags) {
    auto *file = reinterpret_cast<FaultFile *>(f);
    file->real = reinterpret_cast<sqlite3_file *>(file + 1);
    const int rc = realVfs->xOpen(realVfs, name, file->real, flags, outFlags);
    file->base.pMethods = rc == SQLITE_OK ? &methods : nullptr;
    return rc;
}

} // namespace

void install() {
    if (installed) {
        return;
    }
    realVfs = sqlite3_vfs_find(nullptr);
    wrapper = *realVfs;
    wrapper.zName = "faultvfs";
    wrapper.szOsFile = static_cast<int>(sizeof(FaultFile)) + realVfs->szOsFile;
    wrapper.xOpen = xOpen;
    wrapper.pNext = nullptr;
    using M = sqlite3_io_methods;
    methods = M{3, Forward<&M::xClose>::call, Forward<&M::xRead>::call, xWrite, Forward<&M::xTruncate>::call, xSync,
                Forward<&M::xFileSize>::call, Forward<&M::xLock>::call, Forward<&M::xUnlock>::call,
                Forward<&M::xCheckReservedLock>::call, Forward<&M::xFileControl>::call, Forward<&M::xSectorSize>::call,
                Forward<&M::xDeviceCharacteristics>::call, Forward<&M::xShmMap>::call, Forward<&M::xShmLock>::call,
                Forward<&M::xShmBarrier>::call, Forward<&M::xShmUnmap>::call,
                // Memory-mapped I/O would bypass xWrite: report it unavailable so every write is seen.
                [](sqlite3_file *, sqlite3_int64, int, void **pp) {
                    *pp = nullptr;
                    return SQLITE_OK;
                },
                [](sqlite3_file *, sqlite3_int64, void *) { return SQLITE_OK; }};
    sqlite3_vfs_register(&wrapper, 1);
    installed = true;
}

void uninstall() {
    if (installed) {
        sqlite3_vfs_unregister(&wrapper);
        sqlite3_vfs_register(realVfs, 1);
        installed = false;
    }
}

void arm(Target target, int nth, Fault fault) {
    state = State{target, nth, fault};
}

void disarm() {
    state = State{};
}

int callsSinceArmed(Target target) {
    return state.calls[int(target)];
}

bool fired() {
    return state.fired;
}

} // namespace faultvfs
