#include "iconmod/Iconmod.h"

namespace iconmod {

QIconMod::QIconMod(std::string path) : Path(std::move(path)) {}

QIconMod::~QIconMod() { subFreeImages(); }

void QIconMod::subFreeImages() { Images.reset(); }

}  // namespace iconmod
