#pragma once

#include "platform/Background.h"
#include "platform/Platform.h"

#include <QObject>
#include <QPointer>

class QWidget;

namespace stations {

// The automatic copy of the books into the data folder's copias/, made in the background with
// its own handle, so the windows and the tick never wait for it. A copy that fails is said
// once, in a posted message; the shop goes on. Going, it waits for a copy under way.
class AutomaticBackup final : public QObject {
    Q_OBJECT
public:
    AutomaticBackup(sys::Platform &platform, QWidget *speaker);

    // Starts the copy of a start unless one is being made, or one was made within 10 minutes;
    // why and usuario go into its journal entry.
    void start(const QString &why, const QString &usuario);
    // Waits for a copy under way.
    void wait() { job_.wait(); }

private:
    sys::Platform &platform_;
    QPointer<QWidget> speaker_;
    sys::Job job_;
};

} // namespace stations
