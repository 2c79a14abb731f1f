#include "link/software_flow.h"

namespace zek::link {

bool SoftwareFlow::start(const LinkConfig& config)
{
    bool softwareFlow = config.flow != FlowMode::Hardware;
    bool ncStop = config.flow == FlowMode::NcDc3 || config.flow == FlowMode::NcNoWait;
    watching_ = config.sending && softwareFlow;
    stopCode_ = ncStop ? ncDc3 : dc3;
    held_ = watching_ && config.flow != FlowMode::NcNoWait;
    return !config.sending && softwareFlow;
}

// Before the first DC1 the plain DC3 holds too, whatever the mode's own.
bool SoftwareFlow::passes(unsigned char byte)
{
    if (!watching_)
        return true;
    if (byte == dc1) {
        held_ = false;
        return false;
    }
    if (byte == stopCode_ || (held_ && byte == dc3)) {
        held_ = true;
        return false;
    }
    return true;
}

}  // namespace zek::link
