// Plain writes to a descriptor, for the few places that write without an AtomicFile: the
// confined child's result pipe, a file a thumbnail service made, and AtomicFile itself.
#pragma once

#include "formats/ByteView.h"

namespace platform {

// Writes all of `bytes` to `fd`, again after EINTR and short writes. False with errno set
// on failure (ENOSPC where the write took nothing).
bool writeAll(int fd, formats::ByteView bytes);

}  // namespace platform
