#pragma once

#include "platform/Background.h"
#include "platform/Platform.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <memory>

namespace ui {

class MessageBoxPresenter final : public sys::MessagePresenter {
public:
    void showMessage(QWidget *parent, const QString &text) override;
    void postMessage(QWidget *parent, const QString &text, std::function<void()> dismissed) override;
    int ask(QWidget *parent, const QString &text, const QStringList &answers) override;

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

// Plays through the sound module (Qt Multimedia), which is loaded off the user-interface thread
// once prepare() is called, or at the first alarm if that comes first. A file that is missing or
// not a playable wave, a machine without a sound device or a module that cannot be loaded plays
// nothing and says nothing to the operator: the audio back end's own complaints are kept off the
// console.
class SoundEffectPlayer final : public QObject, public sys::AlarmPlayer {
    Q_OBJECT
public:
    explicit SoundEffectPlayer(QString modulePath, QObject *parent = nullptr);
    ~SoundEffectPlayer() override;
    void prepare();
    void play(const QString &path) override;
    // Whether the module is loaded and its player made.
    bool ready() const { return player_ != nullptr; }

    // A RIFF/WAVE file with an uncompressed format chunk and a data chunk.
    static bool isPlayableWave(const QString &path);

Q_SIGNALS:
    void readyChanged();

private:
    void takeModule();

    QString modulePath_;
    sys::Job loading_;
    sys::AlarmPlayer *player_ = nullptr; // a child of this object
    bool failed_ = false;
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
