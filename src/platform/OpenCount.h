// How many files FileSource has opened for reading in this process, so that a test can
// see that a command opens each input once.
#pragma once

#include <cstdint>

namespace platform {

std::uint64_t filesOpened();

}  // namespace platform
