#include "ui/SystemPlatform.h"

#include <QApplication>
#include <QFileInfo>
#include <QMessageBox>
#include <QSoundEffect>
#include <QUrl>

namespace ui {

void MessageBoxPresenter::showMessage(QWidget *parent, const QString &text) {
    QMessageBox box(QMessageBox::NoIcon, QString::fromLatin1(kApplicationTitle), text, QMessageBox::Ok, parent);
    box.exec();
}

SoundEffectPlayer::SoundEffectPlayer(QObject *parent) : QObject(parent) {}

SoundEffectPlayer::~SoundEffectPlayer() = default;

void SoundEffectPlayer::play(const QString &path) {
    if (!QFileInfo(path).isFile()) {
        return; // no sound, no error
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

void ApplicationEnder::endProgram() {
    // Every event loop, nested ones included, stops; no queued handler runs after this one.
    QApplication::exit(0);
}

} // namespace ui
