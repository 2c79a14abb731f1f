// The one link of a run: a serial port, a TCP connection, or an output file
// that receives exactly the bytes a port would carry. Each kind is a class
// of its own behind this interface; openLink chooses it from the settings.
// A link moves bytes and says how the line stands; what the bytes mean is
// the business of the layers above.
#pragma once

#include <memory>
#include <string>

#include "link/allow_list.h"

namespace zek::link {

// readByte's and pollByte's result when no byte is there.
constexpr int noByte = -1;

// The longest output file name or host:port text.
constexpr int maxLinkNameLength = 63;

// The software flow codes: the controller asks for data with DC1 and holds
// it with DC3, or with the NC DC3 (DC3 with the ISO parity bit).
constexpr unsigned char dc1 = 0x11;
constexpr unsigned char dc3 = 0x13;
constexpr unsigned char ncDc3 = 0x93;

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
    bool sending = true;      // a sending port follows the controller's flow
    bool server = false;      // TCP listens; a lost serial device is waited for
    bool connectOut = false;  // --connect: a TCP server connects to host:port (a device server) instead
    bool comPort = false;     // --rfc2217: TCP speaks telnet with the COM-PORT-OPTION to a device server
    AllowList allowed;        // --allow: the callers a listening server takes
    bool charWait = false;    // -w/-W: a pause of charWaitMs after each byte or block
    bool charWaitAfterBlock = false;
    int charWaitMs = 0;
};

enum class LinkKind { SerialPort, Tcp, OutputFile };

// How the line stands.
enum class LineState {
    Usable,
    Down,  // a serial port with no modem line on
    Lost,  // the controller's side has gone: a closed connection, a device hung up or removed
};

class Link {
public:
    virtual ~Link() = default;

    virtual LinkKind kind() const = 0;

    // How the line stands, looked at without reading or reporting anything.
    virtual LineState state() = 0;

    // true when nothing more can pass for now: the controller's side is lost
    // (said on the console and in the log the first time after each opening),
    // or the run is being stopped (see platform/stop_signal.h).
    bool lineGone();

    // A TCP server between transfers: a controller that has called since
    // takes the place of the current connection, which may have died without
    // a word. true when it did.
    virtual bool answerNewCaller() { return false; }

    // One byte 0..255, or noByte when none came within timeoutMs (TCP waits
    // its own receive time-out instead), or at once when the run is being
    // stopped. What is gathered goes out first: the controller answers what
    // it has received.
    virtual int readByte(int timeoutMs) = 0;

    // A byte that has already come, without waiting; noByte when none has.
    virtual int pollByte() = 0;

    // Writes a block, with the -w/-W waits on a port or file. A TCP
    // connection or an output file gathers the blocks until flush, a read, a
    // drain or a full buffer. false when a write failed, now or before.
    virtual bool write(const unsigned char* bytes, int length) = 0;

    // Puts the gathered blocks on the line. false when a write failed.
    virtual bool flush() = 0;

    virtual int queueCount() { return 0; }  // bytes still waiting in the transmit queue
    // Returns when the transmit queue is empty, however long the controller
    // holds the flow, or when the line is gone.
    void drain();

    virtual void purgeInput() {}    // serial port: discard every byte not yet read
    virtual void resumeOutput() {}  // serial port: go on as if DC1 had been received

    // Opens anew with these settings; a link without line settings (TCP)
    // keeps a connection that stands. false when no link could be opened and
    // the run cannot go on (said on the console), or the run is being stopped.
    bool reopen(const LinkConfig& config);

    // The end of the run: the last bytes out, the port put back as the
    // serial port says (see SerialPort::putBack).
    virtual void close() = 0;

    const LinkConfig& config() const { return config_; }

protected:
    explicit Link(const LinkConfig& config) : config_(config) {}

    virtual bool open(bool afterLoss) = 0;  // false when the run cannot go on
    virtual void release() = 0;             // closes without putting anything back
    virtual bool hasLineSettings() const { return true; }
    // A link without line settings kept its connection: the new settings
    // (config_) apply from here on.
    virtual void keepConnection() {}
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

// The kind of link a channel name stands for.
LinkKind linkKindOf(const std::string& channelName);

// Opens the link that config.channelName names. nullptr, said on the
// console, when the speed is none a port takes or no link could be opened.
std::unique_ptr<Link> openLink(const LinkConfig& config);

// The check before a block or after a byte: false, after saying why, when
// the controller's side has gone (said once per opening) or no modem line is
// on; false without a word when the run is being stopped.
bool checkLine(Link& link);

}  // namespace zek::link
