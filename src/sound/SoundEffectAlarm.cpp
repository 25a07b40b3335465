#include "platform/Platform.h"

#include <QAudioDevice>
#include <QMediaDevices>
#include <QObject>
#include <QSoundEffect>
#include <QUrl>

namespace {

// Plays without waiting; the effect stays alive while it plays. A machine without a sound
// device plays nothing.
class SoundEffectAlarm final : public QObject, public sys::AlarmPlayer {
public:
    explicit SoundEffectAlarm(QObject *parent) : QObject(parent) {}

    void play(const QString &path) override {
        if (QMediaDevices::defaultAudioOutput().isNull()) {
            return;
        }
        if (!effect_) {
            effect_ = new QSoundEffect(this);
        }
        const QUrl url = QUrl::fromLocalFile(path);
        if (effect_->source() != url) {
            effect_->setSource(url);
        }
        effect_->stop();
        effect_->play();
    }

private:
    QSoundEffect *effect_ = nullptr;
};

} // namespace

// The module's one entry: a player owned by parent, made on parent's thread.
extern "C" Q_DECL_EXPORT sys::AlarmPlayer *ludomat_sound_player(QObject *parent) {
    return new SoundEffectAlarm(parent);
}
