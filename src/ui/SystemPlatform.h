#pragma once

#include "ui/Platform.h"

#include <QObject>
#include <memory>

class QSoundEffect;

namespace ui {

class MessageBoxPresenter final : public MessagePresenter {
public:
    void showMessage(QWidget *parent, const QString &text) override;
};

// Plays through Qt Multimedia; the effect stays alive while it plays.
class SoundEffectPlayer final : public QObject, public AlarmPlayer {
    Q_OBJECT
public:
    explicit SoundEffectPlayer(QObject *parent = nullptr);
    ~SoundEffectPlayer() override;
    void play(const QString &path) override;

private:
    QSoundEffect *effect_ = nullptr;
};

class ApplicationEnder final : public ProgramEnder {
public:
    void endProgram() override;
};

// The application's title on every message box.
inline constexpr const char *kApplicationTitle = "Ludomat";

} // namespace ui
