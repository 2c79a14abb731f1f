// --quiet-idle: a server with nothing to do repeats a few lines for ever (the
// controller's silence answered with SYN, the serial port opened anew, a gone
// device waited for, a device that has hung up opened again). Of a stretch of
// such lines with no other line between them, the first of each kind is
// written as always and the rest are only counted; the next other line comes
// after one line per kind that came again: "ERR-RETRY SYN SEND 10 TIMES SINCE
// 10:15:02 10:15:14". What goes over the line does not change.
#pragma once

namespace zek::log {

enum class IdleLine {
    SynRetry,       // ERR-RETRY SYN SEND
    PortOpen,       // TTY OPEN and the INIT line of a serial port opened anew
    DeviceWait,     // a serial device that has gone, waited for
    LineLost,       // a device that opens but has hung up, found lost again
    ServerWaiting,  // the Protocol B server waiting again on such a device
};

// Switched on for the run by --quiet-idle; off, every line is written.
void setQuietIdle(bool quiet);

// The lines written while it lives are one more time of its kind: written
// when it is the first of its kind in the stretch, else only counted. One
// lives at a time, around the lines of its kind only.
class IdleRepeat {
public:
    explicit IdleRepeat(IdleLine kind);
    ~IdleRepeat();
    IdleRepeat(const IdleRepeat&) = delete;
    IdleRepeat& operator=(const IdleRepeat&) = delete;
};

// Ends the stretch with the count lines. Every other line calls it first,
// so the end line of a run (PROG_END) comes after them.
void endIdleStretch();

// For log.cpp: whether the line about to be written goes out. A line
// outside an IdleRepeat ends the stretch first.
bool admitLine();

}  // namespace zek::log
