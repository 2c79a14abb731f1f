// A serial port (see platform::serialPortName) with the line settings and flow
// control of the run.
#pragma once

#include <string>

#include "link/link.h"
#include "link/serial_traffic.h"
#include "platform/serial_port.h"

namespace zek::link {

class SerialLink : public Link {
public:
    SerialLink(const LinkConfig& config, std::string portName);

    LinkKind kind() const override { return LinkKind::SerialPort; }
    LineState state() override;
    int readByte(int timeoutMs) override;
    int pollByte() override;
    bool write(const unsigned char* bytes, int length) override;
    bool flush() override { return true; }
    int queueCount() override;
    void purgeInput() override;
    void resumeOutput() override;
    void close() override;

protected:
    bool open(bool afterLoss) override;
    void release() override;
    bool writeNow(const unsigned char* bytes, int length) override;

private:
    bool openDevice(bool afterLoss);
    bool awaitDevice();
    platform::SerialConfig serialConfig() const;
    void reportInit() const;
    void startFlow();

    std::string portName_;
    platform::SerialPort port_;
    SerialTraffic traffic_{port_};
    bool isOpen_ = false;
    bool openedBefore_ = false;  // a server waits for a device it has had open
};

}  // namespace zek::link
