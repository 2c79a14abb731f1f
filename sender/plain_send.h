// Sends a program file unchanged.
#pragma once

#include "sender/progress_meter.h"
#include "sender/text_sink.h"

namespace zek::sender {

// true when the whole file was sent; false when it cannot be opened or delivered.
bool plainSend(const char* name, TextSink& sink, ProgressMeter& meter);

}  // namespace zek::sender
