#include "FaultVfs.h"

#include <cstring>
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
    int writes = 0;
    int syncs = 0;
    bool fired = false;
} state;

sqlite3_file *real(sqlite3_file *f) {
    return reinterpret_cast<FaultFile *>(f)->real;
}

int failure() {
    state.fired = true;
    return state.fault == Fault::DiskFull ? SQLITE_FULL : SQLITE_IOERR_WRITE;
}

int xClose(sqlite3_file *f) {
    sqlite3_file *r = real(f);
    const int rc = r->pMethods ? r->pMethods->xClose(r) : SQLITE_OK;
    return rc;
}
int xRead(sqlite3_file *f, void *buf, int amt, sqlite3_int64 off) {
    return real(f)->pMethods->xRead(real(f), buf, amt, off);
}
int xWrite(sqlite3_file *f, const void *buf, int amt, sqlite3_int64 off) {
    if (state.nth > 0 && state.target == Target::Write && ++state.writes == state.nth) {
        return failure();
    }
    return real(f)->pMethods->xWrite(real(f), buf, amt, off);
}
int xTruncate(sqlite3_file *f, sqlite3_int64 size) {
    return real(f)->pMethods->xTruncate(real(f), size);
}
int xSync(sqlite3_file *f, int flags) {
    if (state.nth > 0 && state.target == Target::Sync && ++state.syncs == state.nth) {
        state.fired = true;
        return state.fault == Fault::DiskFull ? SQLITE_FULL : SQLITE_IOERR_FSYNC;
    }
    return real(f)->pMethods->xSync(real(f), flags);
}
int xFileSize(sqlite3_file *f, sqlite3_int64 *size) {
    return real(f)->pMethods->xFileSize(real(f), size);
}
int xLock(sqlite3_file *f, int lock) {
    return real(f)->pMethods->xLock(real(f), lock);
}
int xUnlock(sqlite3_file *f, int lock) {
    return real(f)->pMethods->xUnlock(real(f), lock);
}
int xCheckReservedLock(sqlite3_file *f, int *out) {
    return real(f)->pMethods->xCheckReservedLock(real(f), out);
}
int xFileControl(sqlite3_file *f, int op, void *arg) {
    return real(f)->pMethods->xFileControl(real(f), op, arg);
}
int xSectorSize(sqlite3_file *f) {
    return real(f)->pMethods->xSectorSize(real(f));
}
int xDeviceCharacteristics(sqlite3_file *f) {
    return real(f)->pMethods->xDeviceCharacteristics(real(f));
}
int xShmMap(sqlite3_file *f, int pg, int pgsz, int extend, void volatile **pp) {
    return real(f)->pMethods->xShmMap(real(f), pg, pgsz, extend, pp);
}
int xShmLock(sqlite3_file *f, int offset, int n, int flags) {
    return real(f)->pMethods->xShmLock(real(f), offset, n, flags);
}
void xShmBarrier(sqlite3_file *f) {
    real(f)->pMethods->xShmBarrier(real(f));
}
int xShmUnmap(sqlite3_file *f, int deleteFlag) {
    return real(f)->pMethods->xShmUnmap(real(f), deleteFlag);
}
// Memory-mapped I/O would bypass xWrite: report it unavailable so every write is seen.
int xFetch(sqlite3_file *, sqlite3_int64, int, void **pp) {
    *pp = nullptr;
    return SQLITE_OK;
}
int xUnfetch(sqlite3_file *, sqlite3_int64, void *) {
    return SQLITE_OK;
}

int xOpen(sqlite3_vfs *, sqlite3_filename name, sqlite3_file *f, int flags, int *outFlags) {
    auto *file = reinterpret_cast<FaultFile *>(f);
    file->real = reinterpret_cast<sqlite3_file *>(file + 1);
    file->base.pMethods = nullptr;
    const int rc = realVfs->xOpen(realVfs, name, file->real, flags, outFlags);
    if (rc == SQLITE_OK) {
        file->base.pMethods = &methods;
    }
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
    std::memset(&methods, 0, sizeof methods);
    methods.iVersion = 3;
    methods.xClose = xClose;
    methods.xRead = xRead;
    methods.xWrite = xWrite;
    methods.xTruncate = xTruncate;
    methods.xSync = xSync;
    methods.xFileSize = xFileSize;
    methods.xLock = xLock;
    methods.xUnlock = xUnlock;
    methods.xCheckReservedLock = xCheckReservedLock;
    methods.xFileControl = xFileControl;
    methods.xSectorSize = xSectorSize;
    methods.xDeviceCharacteristics = xDeviceCharacteristics;
    methods.xShmMap = xShmMap;
    methods.xShmLock = xShmLock;
    methods.xShmBarrier = xShmBarrier;
    methods.xShmUnmap = xShmUnmap;
    methods.xFetch = xFetch;
    methods.xUnfetch = xUnfetch;
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
    state = State{};
    state.target = target;
    state.nth = nth;
    state.fault = fault;
}

void disarm() {
    state = State{};
}

int callsSinceArmed(Target target) {
    return target == Target::Write ? state.writes : state.syncs;
}

bool fired() {
    return state.fired;
}

} // namespace faultvfs
