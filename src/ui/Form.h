#pragma once

#include "platform/Platform.h"

#include <QWidget>
#include <functional>

class QPushButton;

namespace ui {

// A top-level window of fixed client size with a background picture; controls are placed
// in twips and nothing is laid out again on resize. Unloading destroys the window. A window
// larger than its screen shows its controls in a scroll area, as large as the screen allows.
class Form : public QWidget {
    Q_OBJECT
public:
    Form(sys::Platform &platform, const QString &caption, QSize clientTwips, QSize pictureSize, int pictureSeed);

    // Shows without blocking and brings the window to the front.
    void showForm();
    // Asks the window manager to keep this window above owner (a transient window), without
    // making it owner's child: a child would be disabled with it.
    void keepAbove(QWidget &owner);
    // Closes and destroys the window (later, so a handler may unload its own window).
    void unload();
    bool isUnloading() const { return unloading_; }

    // Places a control at a rectangle given in twips.
    static void place(QWidget *control, int left, int top, int width, int height);
    // A command button of the given name and caption, placed in twips on parent.
    static QPushButton *button(QWidget *parent, const char *name, const QString &caption, int left, int top, int width,
                               int height);
    // The tab order, in the order given.
    static void tabChain(const QList<QWidget *> &order);

    void setVisible(bool visible) override;

protected:
    sys::Platform &platform() const { return platform_; }
    // Another client size, for a window whose controls were made anew: the picture is drawn for
    // it, and a shown window fits its screen again (scrolling, or no more). Controls made since
    // are the window's own children, as in the constructor.
    void resizeClient(QSize clientTwips);
    // The title-bar close box: return true to let the window close.
    virtual bool queryClose() { return true; }
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override; // Escape never closes a form

private:
    // Done once, before the window is first shown, when every control is in place.
    void fitScreen();
    void paintPicture();

    sys::Platform &platform_;
    bool unloading_ = false;
    bool fitted_ = false;
    QSize pictureSize_;
    int pictureSeed_ = 0;
};

// Calls handler(key, modifiers) for every key that goes down on the control (the KeyDown event).
// The handler returns true when it consumed the key.
void onKeyDown(QWidget *control, std::function<bool(int key, Qt::KeyboardModifiers modifiers)> handler);

// A key code of 13 in the old sense: Return or the keypad's Enter.
bool isEnterKey(int key);

} // namespace ui
