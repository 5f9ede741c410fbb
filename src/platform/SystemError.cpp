#include "platform/SystemError.h"

#include <cstring>

namespace platform {

std::string systemErrorText(int error) {
    char buffer[256] = {};
    // The GNU strerror_r returns the text (maybe a static one); the buffer is only a fallback.
    const char* text = ::strerror_r(error, buffer, sizeof buffer);
    if (text == nullptr || *text == '\0') return "error " + std::to_string(error);
    return text;
}

}  // namespace platform
