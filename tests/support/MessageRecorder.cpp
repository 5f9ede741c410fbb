#include "support/MessageRecorder.h"

namespace fixtures {

MessageRecorder::MessageRecorder() {
    previous_ = platform::setMessageBoxHandler([this](const std::string& text, const std::string& title, unsigned style) {
        messages_.push_back({text, title, style});
        if (!answers_.empty()) {
            const int a = answers_.front();
            answers_.pop_front();
            return a;
        }
        return (style & platform::mb::ButtonMask) == platform::mb::YesNo ? platform::mb::IdYes : platform::mb::IdOk;
    });
}

MessageRecorder::~MessageRecorder() { platform::setMessageBoxHandler(std::move(previous_)); }

std::vector<std::string> MessageRecorder::texts() const {
    std::vector<std::string> out;
    for (const auto& m : messages_) out.push_back(m.text);
    return out;
}

}  // namespace fixtures
