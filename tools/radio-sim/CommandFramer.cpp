#include "CommandFramer.h"

namespace radiosim {

CommandFramer::CommandFramer(Handlers handlers) : handlers_(std::move(handlers)) {}

void CommandFramer::Feed(std::string_view bytes) {
    for (const char byte : bytes) {
        if (byte == '\r') {
            EndCommand();
        } else if (byte == '\n' && pending_.empty() && dropped_ == 0) {
            continue;
        } else if (dropped_ > 0) {
            ++dropped_;
        } else if (pending_.size() < MaxLineLength) {
            pending_.push_back(byte);
        } else {
            dropped_ = pending_.size() + 1;
            pending_.clear();
        }
    }
}

void CommandFramer::EndCommand() {
    if (dropped_ > 0) {
        handlers_.overlong(dropped_);
        dropped_ = 0;
    } else if (!pending_.empty()) {
        handlers_.command(std::move(pending_));
    }
    pending_.clear();
}

} // namespace radiosim
