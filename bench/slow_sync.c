// A disk whose flushes are slow (a virtual machine's, an encrypted or spinning one), for
// bench/exit.sh: preloaded, every fsync and fdatasync first waits SLOW_SYNC_MS milliseconds.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdlib.h>
#include <unistd.h>

static void wait_for_the_disk(void) {
    const char *ms = getenv("SLOW_SYNC_MS");
    usleep((useconds_t)(ms ? atoi(ms) : 100) * 1000u);
}

int fsync(int fd) {
    wait_for_the_disk();
    int (*real)(int) = (int (*)(int))dlsym(RTLD_NEXT, "fsync");
    return real(fd);
}

int fdatasync(int fd) {
    wait_for_the_disk();
    int (*real)(int) = (int (*)(int))dlsym(RTLD_NEXT, "fdatasync");
    return real(fd);
}
