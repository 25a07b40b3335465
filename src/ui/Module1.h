#pragma once

namespace sys {
struct Platform;
}

// The program's one code module.
namespace Module1 {

// Starts queen.wav (the data folder's, else the delivered one) and returns at once; a missing or unplayable
// file plays nothing and raises nothing.
void SoundAlarm(const sys::Platform &platform);

} // namespace Module1
