#include "platform/MessageBox.h"

#include <cstdio>

namespace platform {
namespace {

MessageBoxHandler& installed() {
    static MessageBoxHandler handler;
    return handler;
}

int defaultHandler(const std::string& text, const std::string& title, unsigned style) {
    std::fprintf(stderr, "%s: %s\n", title.c_str(), text.c_str());
    return (style & mb::ButtonMask) == mb::YesNo ? mb::IdNo : mb::IdOk;
}

}  // namespace

int messageBox(const std::string& text, const std::string& title, unsigned style) {
    const MessageBoxHandler& h = installed();
    return h ? h(text, title, style) : defaultHandler(text, title, style);
}

MessageBoxHandler setMessageBoxHandler(MessageBoxHandler handler) {
    MessageBoxHandler previous = std::move(installed());
    installed() = std::move(handler);
    return previous;
}

}  // namespace platform
