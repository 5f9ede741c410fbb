// Text for line-based output (groups, images, count, extract, failure lines): one line per
// item whatever a file or group name holds. Control characters (tab and DEL included), C1
// controls and bytes that are not valid UTF-8 are written as \xHH, a backslash as \\;
// everything else as it is. Names written that way are read back as GROUP.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "formats/ModuleResources.h"

namespace cli {

std::string lineText(std::string_view text);

// A group's name as `groups` writes it: "#" and the id for an integer id; a string name
// as lineText writes it, with a leading "#" written "\#" so that it is never taken for an id.
std::string groupLineText(const formats::ResourceName& name);

// GROUP as given on the command line: "#12" the integer id 12, "\#12" the string name
// "#12", any other text the string name it stands for, with \xHH and \\ read back. A
// backslash that starts no such sequence stands for itself. nullopt for an empty text or
// an id past 65535.
std::optional<formats::ResourceName> groupFromLineText(std::string_view text);

}  // namespace cli
