#include "ui/Module1.h"

#include "platform/Platform.h"

namespace Module1 {

void SoundAlarm(const sys::Platform &platform) {
    platform.alarm.play(platform.alarmPath());
}

} // namespace Module1
