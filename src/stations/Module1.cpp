#include "stations/Module1.h"

#include "ui/Platform.h"

namespace Module1 {

void SoundAlarm(const ui::Platform &platform) {
    platform.alarm.play(platform.alarmPath());
}

} // namespace Module1
