// Text comparisons the format readers need: resource names compare without regard to the
// case of ASCII letters, whatever the system's encoding.
#pragma once

#include <string_view>

namespace formats {

// Compares ignoring the case of ASCII letters; <0, 0, >0.
int compareIgnoreCase(std::string_view a, std::string_view b);

}  // namespace formats
