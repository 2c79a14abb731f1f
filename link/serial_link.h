// A serial port ("COMn" or a device path) with the line settings and flow
// control of the run.
#pragma once

#include <string>

#include "link/flow_gate.h"
#include "link/link.h"

namespace zek::link {

class SerialLink : public Link {
public:
    SerialLink(const LinkConfig& config, std::string portName);

    int readByte(int timeoutMs) override;
    bool write(const unsigned char* bytes, int length) override;
    bool flush() override { return true; }
    int queueCount() override;
    void purgeInput() override;
    void resumeOutput() override;
    void close() override;

protected:
    bool open(bool afterLoss) override;
    void release() override;
    bool controllerGone() override;
    bool portUsable() override;
    bool writeNow(const unsigned char* bytes, int length) override;

private:
    bool openDevice(bool afterLoss);
    void awaitDevice();
    platform::SerialConfig serialConfig() const;
    void reportInit() const;
    void startFlow();

    std::string portName_;
    FlowGate gate_;
    bool isOpen_ = false;
    bool openedBefore_ = false;  // a server waits for a device it has had open
};

}  // namespace zek::link
