#include "ui/SystemPlatform.h"

#include "ui/RestoreCopyDialog.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QIcon>
#include <QLibrary>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>
#include <QWindow>
#include <QtEndian>
#include <atomic>

namespace ui {

namespace {

// A plain box: no icon beside the text and none on its "Aceptar", whatever the style would add
// to standard buttons.
void plainButtons(QMessageBox &box) {
    for (QAbstractButton *button : box.buttons()) {
        button->setIcon(QIcon());
    }
}

} // namespace

void MessageBoxPresenter::showMessage(QWidget *parent, const QString &text) {
    QMessageBox box(QMessageBox::NoIcon, QString::fromLatin1(kApplicationTitle), text, QMessageBox::Ok, parent);
    plainButtons(box);
    box.exec();
}

int MessageBoxPresenter::ask(QWidget *parent, const QString &text, const QStringList &answers) {
    QMessageBox box(QMessageBox::NoIcon, QString::fromLatin1(kApplicationTitle), text, QMessageBox::NoButton, parent);
    QList<QAbstractButton *> buttons;
    for (const QString &answer : answers) {
        // One role for all: the buttons stand in the order given, and Tab goes through them so.
        buttons << box.addButton(answer, QMessageBox::ActionRole);
    }
    if (!buttons.isEmpty()) {
        box.setDefaultButton(qobject_cast<QPushButton *>(buttons.last()));
        box.setEscapeButton(buttons.last());
    }
    box.exec();
    const auto chosen = buttons.indexOf(box.clickedButton());
    return chosen < 0 ? int(answers.size()) - 1 : int(chosen);
}

void MessageBoxPresenter::postMessage(QWidget *parent, const QString &text, std::function<void()> dismissed) {
    queue_.append({parent, text, std::move(dismissed)});
    if (!showing_) {
        // Shown once the poster has returned: after start-up has put its windows in place, or
        // after the tick that posted it.
        showing_ = true;
        QTimer::singleShot(0, qApp, [this] { showNext(); });
    }
}

void MessageBoxPresenter::showNext() {
    if (queue_.isEmpty()) {
        showing_ = false;
        return;
    }
    showing_ = true;
    Posted next = queue_.takeFirst();
    // Its own window, kept above the others: a child of the window it speaks of would be
    // disabled with it while the accounts or the cash-close window is open.
    auto *box = new QMessageBox(QMessageBox::NoIcon, QString::fromLatin1(kApplicationTitle), next.text, QMessageBox::Ok,
                                nullptr, Qt::Dialog | Qt::WindowStaysOnTopHint);
    plainButtons(*box);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    // A transient of the window it speaks of: the window manager keeps it above that window
    // also when that window is activated.
    if (QWidget *owner = next.parent ? next.parent->window() : nullptr) {
        owner->winId();
        box->winId();
        if (owner->windowHandle() && box->windowHandle()) {
            box->windowHandle()->setTransientParent(owner->windowHandle());
        }
    }
    QObject::connect(box, &QMessageBox::finished, box, [this, dismissed = std::move(next.dismissed)] {
        if (dismissed) {
            dismissed();
        }
        showNext();
    });
    box->show();
    box->raise();
    box->activateWindow();
}

namespace {

std::atomic<QtMessageHandler> previousHandler{nullptr};

// Qt Multimedia reports a missing sound server or device with plain warnings; they mean
// nothing to the operator, who simply hears no alarm.
void quietAudioHandler(QtMsgType type, const QMessageLogContext &context, const QString &message) {
    if (type == QtWarningMsg && (message.startsWith(QLatin1String("PulseAudioService:")) ||
                                 message.startsWith(QLatin1String("No audio device detected")) ||
                                 message.startsWith(QLatin1String("QSoundEffect(")))) {
        return;
    }
    if (QtMessageHandler previous = previousHandler.load()) {
        previous(type, context, message);
    }
}

} // namespace

SoundEffectPlayer::SoundEffectPlayer(QString modulePath, QObject *parent)
    : QObject(parent), modulePath_(std::move(modulePath)) {
    previousHandler.store(qInstallMessageHandler(quietAudioHandler));
}

SoundEffectPlayer::~SoundEffectPlayer() {
    QtMessageHandler mine = qInstallMessageHandler(previousHandler.load());
    if (mine != quietAudioHandler) {
        qInstallMessageHandler(mine); // someone installed a handler after ours: leave theirs
    }
}

bool SoundEffectPlayer::isPlayableWave(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QByteArray head = file.read(12);
    if (head.size() != 12 || !head.startsWith("RIFF") || head.mid(8, 4) != "WAVE") {
        return false;
    }
    const auto skip = [&file](qint64 bytes) {
        return bytes >= 0 && file.pos() + bytes <= file.size() && file.seek(file.pos() + bytes);
    };
    bool format = false;
    while (true) {
        const QByteArray chunk = file.read(8);
        if (chunk.size() != 8) {
            return false;
        }
        const quint32 size = qFromLittleEndian<quint32>(chunk.constData() + 4);
        if (chunk.startsWith("fmt ")) {
            const QByteArray fmt = file.read(16);
            if (fmt.size() != 16) {
                return false;
            }
            const auto tag = qFromLittleEndian<quint16>(fmt.constData());
            const auto channels = qFromLittleEndian<quint16>(fmt.constData() + 2);
            const auto sampleRate = qFromLittleEndian<quint32>(fmt.constData() + 4);
            const auto bits = qFromLittleEndian<quint16>(fmt.constData() + 14);
            // PCM, IEEE float or the extensible form of them.
            format = (tag == 1 || tag == 3 || tag == 0xFFFE) && channels > 0 && sampleRate > 0 && bits % 8 == 0 &&
                     bits > 0 && bits <= 32;
            if (!format || !skip(qint64(size) - 16 + (size & 1))) {
                return false;
            }
        } else if (chunk.startsWith("data")) {
            return format && size > 0;
        } else if (!skip(qint64(size) + (size & 1))) {
            return false;
        }
    }
}

void SoundEffectPlayer::prepare() {
    if (player_ || failed_ || loading_.isRunning()) {
        return;
    }
    // The loading (the libraries' relocations and constructors) on a pool thread; the player is
    // made here, on the thread of the windows.
    loading_ = sys::runInBackground(
        this, [path = modulePath_](const sys::CancelToken &) { return QLibrary(path).load(); },
        [this](const sys::Outcome<bool> &) { takeModule(); });
}

void SoundEffectPlayer::takeModule() {
    if (player_ || failed_) {
        return;
    }
    using Make = sys::AlarmPlayer *(*)(QObject *);
    QLibrary module(modulePath_); // loaded already, or now: a library is loaded once per process
    const auto make = reinterpret_cast<Make>(module.resolve("ludomat_sound_player"));
    if (!make) {
        failed_ = true;
        qWarning("ludomat: no alarm sound: %s", qPrintable(module.errorString()));
        return;
    }
    player_ = make(this);
    Q_EMIT readyChanged();
}

void SoundEffectPlayer::play(const QString &path) {
    if (!isPlayableWave(path)) {
        return; // no sound, no error
    }
    loading_.wait();
    takeModule();
    if (player_) {
        player_->play(path);
    }
}

void ApplicationEnder::endProgram() {
    // Every event loop, nested ones included, stops; no queued handler runs after this one.
    QApplication::exit(0);
}

namespace {

QString askFile(QWidget *parent, const sys::FileQuestion &question, QFileDialog::AcceptMode mode) {
    QFileDialog dialog(parent, question.caption, question.start, question.filters.join(QLatin1String(";;")));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(mode);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    QString path = dialog.selectedFiles().constFirst();
    // A bare name takes the extension of the kind it was typed under ("PDF (*.pdf)": .pdf).
    const QRegularExpressionMatch kind =
        QRegularExpression(QStringLiteral("\\(\\*\\.(\\w+)\\)")).match(dialog.selectedNameFilter());
    if (mode == QFileDialog::AcceptSave && QFileInfo(path).suffix().isEmpty() && kind.hasMatch()) {
        path += QLatin1Char('.') + kind.captured(1);
    }
    return path;
}

} // namespace

QString DialogFileChooser::savePath(QWidget *parent, const sys::FileQuestion &question) {
    return askFile(parent, question, QFileDialog::AcceptSave);
}

QString DialogFileChooser::openPath(QWidget *parent, const sys::FileQuestion &question) {
    return askFile(parent, question, QFileDialog::AcceptOpen);
}

QString DialogFileChooser::restoreCopy(QWidget *parent, const QString &folder) {
    cash_close::RestoreCopyDialog dialog(parent, folder, *this);
    return dialog.exec() == QDialog::Accepted ? dialog.chosen() : QString();
}

} // namespace ui
