#pragma once

// A fault-injecting SQLite VFS for the tests: it wraps the default one and makes the Nth
// write or sync after arming fail, as a failing disk would.
namespace faultvfs {

enum class Fault { IoError, DiskFull };
enum class Target { Write, Sync };

// Registers the wrapper as the default VFS; handles opened afterwards go through it.
void install();
void uninstall();

// From now on, the nth (1-based) call of the target fails with the fault; 0 disarms.
void arm(Target target, int nth, Fault fault);
void disarm();
int callsSinceArmed(Target target);
bool fired();

} // namespace faultvfs
