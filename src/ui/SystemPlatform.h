#pragma once

#include "platform/Platform.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <memory>

class QSoundEffect;

namespace ui {

class MessageBoxPresenter final : public sys::MessagePresenter {
public:
    void showMessage(QWidget *parent, const QString &text) override;
    void postMessage(QWidget *parent, const QString &text, std::function<void()> dismissed) override;

private:
    struct Posted {
        QPointer<QWidget> parent;
        QString text;
        std::function<void()> dismissed;
    };
    void showNext();
    QList<Posted> queue_;
    bool showing_ = false;
};

// Plays through Qt Multimedia without waiting; the effect stays alive while it plays. A file
// that is missing or not a playable wave, or a machine without a sound device, plays nothing
// and says nothing: the audio back end's own complaints are kept off the operator's console.
class SoundEffectPlayer final : public QObject, public sys::AlarmPlayer {
    Q_OBJECT
public:
    explicit SoundEffectPlayer(QObject *parent = nullptr);
    ~SoundEffectPlayer() override;
    void play(const QString &path) override;

    // A RIFF/WAVE file with an uncompressed format chunk and a data chunk.
    static bool isPlayableWave(const QString &path);

private:
    QSoundEffect *effect_ = nullptr;
};

class ApplicationEnder final : public sys::ProgramEnder {
public:
    void endProgram() override;
};

// Qt's own file dialog (the same on every desktop, and one a headless run can drive), and the
// list of copies for a restore.
class DialogFileChooser final : public sys::FileChooser {
public:
    QString savePath(QWidget *parent, const sys::FileQuestion &question) override;
    QString openPath(QWidget *parent, const sys::FileQuestion &question) override;
    QString restoreCopy(QWidget *parent, const QString &folder) override;
};

// The application's title on every message box.
inline constexpr const char *kApplicationTitle = "Ludomat";

} // namespace ui
