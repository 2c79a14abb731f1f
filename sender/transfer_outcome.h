// How a transfer mode ended, for the one place that ends the run.
#pragma once

namespace zek::sender {

enum class TransferOutcome {
    Completed,  // everything asked for was moved
    Failed,     // a transfer failed or was stopped
    Abandoned,  // stopped at once: nothing more goes out, no end line
    NoLink,     // the link could not be opened anew
};

}  // namespace zek::sender
