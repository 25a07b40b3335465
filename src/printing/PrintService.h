#pragma once

#include "platform/Background.h"
#include "printing/Document.h"
#include "printing/PrinterSettings.h"
#include "printing/Sender.h"

#include <QObject>
#include <QQueue>

// The room's printer as a service: documents are queued and sent one after another on a pool
// thread, so printing never holds the tick. A failing printer is said once (printerDown) until
// a job of the room's printer goes out again (printerBack); every job still says how it ended.
namespace printing {

class PrintService final : public QObject {
    Q_OBJECT
public:
    explicit PrintService(QObject *parent = nullptr);
    ~PrintService() override; // a job on its way is cancelled and waited for

    // The room's printer; a new one may fail afresh, and is said to.
    void setSettings(const PrinterSettings &settings);
    const PrinterSettings &settings() const { return settings_; }
    bool hasPrinter() const { return settings_.kind != Kind::None; }

    // Queues document for the room's printer; its job number, or 0 (nothing queued) when the
    // room has none.
    quint64 print(const Document &document);
    // Queues document for another printer (a test of settings not stored yet); its failure is
    // told by failed only, never as the room's printer down.
    quint64 printTo(const PrinterSettings &settings, const Document &document);
    // Jobs queued or on their way.
    int pending() const { return int(queue_.size()) + (busy_ ? 1 : 0); }

    void setTimeouts(const Timeouts &timeouts) { timeouts_ = timeouts; }

Q_SIGNALS:
    void printed(quint64 job);
    void failed(quint64 job, const QString &message);
    // The room's printer failed, the first time since it last printed: message is whole, in Spanish.
    void printerDown(const QString &message);
    void printerBack();

private:
    struct Queued {
        quint64 id = 0;
        PrinterSettings settings;
        Document document;
        bool roomPrinter = false;
    };
    quint64 enqueue(const PrinterSettings &settings, const Document &document, bool roomPrinter);
    void startNext();
    void finished(const Queued &job, const QString &problem);

    PrinterSettings settings_;
    Timeouts timeouts_;
    QQueue<Queued> queue_;
    bool busy_ = false;
    bool down_ = false;
    quint64 lastId_ = 0;
    sys::Job running_;
};

} // namespace printing
