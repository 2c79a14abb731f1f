// The one link of a run: a serial port, a TCP connection, or an output file
// that receives exactly the bytes a port would carry. Each kind is a class
// of its own behind this interface; openLink chooses it from the settings.
#pragma once

#include <memory>
#include <string>

namespace zek::link {

// readByte's result when nothing came in time.
constexpr int noByte = -1;

// The tag of this version in the lines that open a link.
constexpr const char* versionTag = "ZEK95706";

// The longest output file name or host:port text.
constexpr int maxLinkNameLength = 63;

// The flow control of a serial port.
enum class FlowMode {
    Hardware = 0,  // no software flow; CTS holds a sending port
    Dc3 = 1,       // DC1/DC3 with DC3 = 0x13
    NcDc3 = 2,     // DC1/DC3 with the NC DC3 0x93
    NcNoWait = 3,  // as NcDc3, but the output does not wait for a first DC1
};

struct LinkConfig {
    // An output file "\name", a TCP "host:port", a device path, or a port number.
    std::string channelName = "1";
    long baudRate = 4800;  // a speed, or its index 1..9 (settled when the link opens)
    FlowMode flow = FlowMode::Hardware;
    bool sending = true;    // a sending port follows the controller's flow and break codes
    bool server = false;    // TCP listens; a lost serial device is waited for
    bool charWait = false;  // -w/-W: a pause of charWaitMs after each byte or block
    bool charWaitAfterBlock = false;
    int charWaitMs = 0;
};

class Link {
public:
    virtual ~Link() = default;

    // One byte 0..255, or noByte when none came within timeoutMs (TCP waits
    // its own receive time-out instead). What is gathered goes out first: the
    // controller answers what it has received.
    virtual int readByte(int timeoutMs) = 0;

    // Writes a block, with the -w/-W waits on a port or file. A TCP
    // connection or an output file gathers the blocks until flush, a read, a
    // drain or a full buffer. false when a write failed, now or before.
    virtual bool write(const unsigned char* bytes, int length) = 0;

    // Puts the gathered blocks on the line. false when a write failed.
    virtual bool flush() = 0;

    virtual int queueCount() { return 0; }  // bytes still waiting in the transmit queue
    void drain();                           // returns when the transmit queue is empty

    // true while the line is usable; false after a reported stop condition
    // (no modem line, a break code while punching out, a lost link).
    bool lineUsable();

    // true when the controller's side has gone: a closed TCP connection, or
    // a serial device that hung up or was removed. Says so once per opening.
    bool reportLost();

    virtual void purgeInput() {}    // serial port: discard every byte not yet read
    virtual void resumeOutput() {}  // serial port: go on as if DC1 had been received

    // Opens anew with these settings. false, said on the console, when no
    // link could be opened and the run cannot go on.
    bool reopen(const LinkConfig& config);

    // The fresh start of an error recovery: opens anew, but keeps a TCP
    // connection that the controller still holds.
    virtual bool renew() { return reopen(config_); }

    // The end of the run: the last bytes out, the port's settings restored.
    virtual void close() = 0;

    const LinkConfig& config() const { return config_; }

protected:
    explicit Link(const LinkConfig& config) : config_(config) {}

    virtual bool open(bool afterLoss) = 0;  // false when the run cannot go on
    virtual void release() = 0;             // closes without restoring anything
    virtual bool controllerGone() { return false; }
    virtual bool portUsable() { return true; }
    virtual const char* lossReport() const { return "\n LINE LOST !!\n"; }

    // Writes as a port does: byte by byte under -w, a block under -W, each
    // followed by the pause.
    bool writePaced(const unsigned char* bytes, int length);
    virtual bool writeNow(const unsigned char* bytes, int length) = 0;

    LinkConfig config_;

private:
    friend std::unique_ptr<Link> openLink(const LinkConfig& config);
    bool lossReported_ = false;
};

// Opens the link that config.channelName names. nullptr, said on the
// console, when the speed is none a port takes or no link could be opened.
std::unique_ptr<Link> openLink(const LinkConfig& config);

}  // namespace zek::link
