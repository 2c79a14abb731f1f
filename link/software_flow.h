// The controller's DC1/DC3 flow where zek runs it itself, on a line whose
// far end passes the codes on (a device server told to run no flow of its
// own): as a serial driver does, a sending link stops on the flow mode's DC3
// and goes on at DC1, in modes 1 and 2 only after the controller's first
// DC1, and the codes never reach the reader.
#pragma once

#include "link/link.h"

namespace zek::link {

class SoftwareFlow {
public:
    // The settings of an opening. true when the link is to invite the
    // controller with one DC1: a receiving link with software flow.
    bool start(const LinkConfig& config);

    void resume() { held_ = false; }  // as if DC1 had come
    bool held() const { return held_; }
    bool watching() const { return watching_; }  // a sending link with software flow

    // false when the byte is a flow code, which has acted on the output;
    // true when it is data for the reader.
    bool passes(unsigned char byte);

private:
    bool watching_ = false;
    unsigned char stopCode_ = dc3;
    bool held_ = false;
};

}  // namespace zek::link
