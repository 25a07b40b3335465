#pragma once

#include "printing/PrinterSettings.h"

#include <QByteArray>
#include <QString>

namespace sys {
class CancelToken;
}

// Bytes to a printer, on the calling thread (a pool thread): over raw TCP, into a printer device,
// or to a CUPS queue through `lp -d QUEUE -o raw`. Every wait is bounded and gives way when the
// job's owner cancels it.
namespace printing {

struct Timeouts {
    int connectMs = 3000;
    // A network printer is asked for its paper (DLE EOT 4) before the job; one that does not
    // answer within this is taken to print without saying so. One that answered is asked again
    // after the job, and has writeMs to answer.
    int statusMs = 500;
    int writeMs = 5000; // the whole job, to the network or the device
    int lpMs = 10000;   // lp to take the job
};

// What went wrong, in Spanish ("la impresora 192.168.0.50:9100 rechazó la conexión"), or empty
// when the job went out whole.
QString send(const PrinterSettings &settings, const QByteArray &job, const sys::CancelToken &token,
             const Timeouts &timeouts = {});

// Whether a byte is the printer's answer to DLE EOT 4 (bits 1 and 4 set, 0 and 7 clear), and
// whether it says the paper ran out (bits 5 and 6).
bool isPaperStatus(unsigned char status);
bool paperOut(unsigned char status);

} // namespace printing
