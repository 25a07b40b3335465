#include "ui/Form.h"

#include "ui/Pictures.h"
#include "ui/Twips.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QPalette>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QStyle>
#include <QWindow>

namespace ui {

Form::Form(sys::Platform &platform, const QString &caption, QSize clientTwips, QSize pictureSize, int pictureSeed)
    : QWidget(nullptr), platform_(platform), pictureSize_(pictureSize), pictureSeed_(pictureSeed) {
    setAttribute(Qt::WA_DeleteOnClose, false);
    setWindowTitle(caption);
    setFixedSize(twSize(clientTwips.width(), clientTwips.height()));
    paintPicture();
    setAutoFillBackground(true);
}

void Form::paintPicture() {
    QPalette pal = palette();
    // The picture is drawn from the top-left corner once, never tiled; the rest of a larger
    // client area takes the picture's own edge colour.
    pal.setBrush(QPalette::Window,
                 QPixmap::fromImage(backgroundPicture(pictureSize_, pictureSeed_, twipsDpi() / 96.0, size())));
    setPalette(pal);
}

void Form::resizeClient(QSize clientTwips) {
    // Out of the scroll area first: the controls are the window's own again, as when it was made.
    if (auto *area = findChild<QScrollArea *>(QStringLiteral("formScroller"), Qt::FindDirectChildrenOnly)) {
        QWidget *focused = focusWidget();
        QWidget *content = area->widget();
        const QObjectList held = content->children();
        for (QObject *child : held) {
            auto *control = qobject_cast<QWidget *>(child);
            if (!control || control->isWindow()) {
                continue;
            }
            const bool shown = control->isVisibleTo(content);
            control->setParent(this);
            control->setVisible(shown);
        }
        delete area;
        if (focused && focused != this && isAncestorOf(focused)) {
            focused->setFocus(Qt::OtherFocusReason);
        }
    }
    setFixedSize(twSize(clientTwips.width(), clientTwips.height()));
    paintPicture();
    fitted_ = false;
    if (isVisible()) {
        fitted_ = true;
        fitScreen();
    }
}

void Form::setVisible(bool visible) {
    if (visible && !fitted_) {
        fitted_ = true;
        fitScreen();
    }
    QWidget::setVisible(visible);
}

void Form::fitScreen() {
    const QScreen *where = screen();
    if (!where) {
        return;
    }
    // Room for the window manager's title bar and borders, unknown before the window is shown.
    QStyle *look = style();
    const int border = look->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth, nullptr, this);
    const QSize room = where->availableGeometry().size() -
                       QSize(2 * border, look->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, this) + 2 * border);
    const QSize client = size();
    if (client.width() <= room.width() && client.height() <= room.height()) {
        return;
    }
    auto *content = new QWidget;
    content->setObjectName(QStringLiteral("formContent"));
    content->setFixedSize(client);
    content->setAutoFillBackground(true); // the window's picture, scrolled with the controls
    auto *area = new QScrollArea(this);
    area->setObjectName(QStringLiteral("formScroller"));
    area->setFrameShape(QFrame::NoFrame);
    area->setFocusPolicy(Qt::NoFocus); // Tab goes from control to control as before
    area->viewport()->setBackgroundRole(QPalette::Window);
    area->setWidget(content);
    // Moved within the same window, the controls keep their tab order; only the focus is lost.
    QWidget *focused = focusWidget();
    const QObjectList held = children();
    for (QObject *child : held) {
        auto *control = qobject_cast<QWidget *>(child);
        if (!control || control == area || control->isWindow()) {
            continue;
        }
        const bool shown = control->isVisibleTo(this);
        control->setParent(content);
        control->setVisible(shown);
    }
    const int bar = look->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, area);
    // A scroll bar across takes height, one down takes width.
    const bool tall = client.height() + (client.width() > room.width() ? bar : 0) > room.height();
    const bool wide = client.width() + (tall ? bar : 0) > room.width();
    const QSize window(qMin(client.width() + (tall ? bar : 0), room.width()),
                       qMin(client.height() + (wide ? bar : 0), room.height()));
    setFixedSize(window);
    area->setGeometry(rect());
    area->show(); // a window already shown shows no child made since by itself
    if (focused && focused != this) {
        focused->setFocus(Qt::OtherFocusReason);
    }
    // The control that takes the focus, by Tab or by its access key, comes into sight.
    connect(qApp, &QApplication::focusChanged, area, [area](QWidget *, QWidget *now) {
        if (now && area->widget()->isAncestorOf(now)) {
            area->ensureWidgetVisible(now);
        }
    });
}

void Form::showForm() {
    show();
    raise();
    activateWindow();
}

void Form::keepAbove(QWidget &owner) {
    owner.winId();
    winId();
    if (windowHandle() && owner.windowHandle()) {
        windowHandle()->setTransientParent(owner.windowHandle());
    }
}

void Form::unload() {
    if (unloading_) {
        return;
    }
    unloading_ = true;
    hide();
    deleteLater();
}

void Form::place(QWidget *control, int left, int top, int width, int height) {
    control->setGeometry(twRect(left, top, width, height));
}

QPushButton *Form::button(QWidget *parent, const char *name, const QString &caption, int left, int top, int width,
                          int height) {
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(QString::fromLatin1(name));
    place(b, left, top, width, height);
    return b;
}

void Form::tabChain(const QList<QWidget *> &order) {
    for (qsizetype i = 1; i < order.size(); ++i) {
        QWidget::setTabOrder(order[i - 1], order[i]);
    }
}

void Form::closeEvent(QCloseEvent *event) {
    if (unloading_ || queryClose()) {
        event->accept();
    } else {
        event->ignore();
    }
}

void Form::showEvent(QShowEvent *event) {
    // Enter on a focused button presses it, as the keyboard paths of every window expect.
    for (QPushButton *button : findChildren<QPushButton *>()) {
        button->setAutoDefault(true);
    }
    QWidget::showEvent(event);
}

void Form::keyPressEvent(QKeyEvent *event) {
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

namespace {

class KeyDownFilter final : public QObject {
public:
    KeyDownFilter(QObject *parent, std::function<bool(int, Qt::KeyboardModifiers)> handler)
        : QObject(parent), handler_(std::move(handler)) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (event->type() == QEvent::KeyPress) {
            auto *key = static_cast<QKeyEvent *>(event);
            if (handler_(key->key(), key->modifiers())) {
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<bool(int, Qt::KeyboardModifiers)> handler_;
};

} // namespace

void onKeyDown(QWidget *control, std::function<bool(int key, Qt::KeyboardModifiers modifiers)> handler) {
    control->installEventFilter(new KeyDownFilter(control, std::move(handler)));
}

bool isEnterKey(int key) {
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

} // namespace ui
