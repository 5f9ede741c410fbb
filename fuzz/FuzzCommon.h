// Shared pieces of the fuzz harnesses: a scratch directory for the files a harness must
// write or read back, a silent message-box handler, and the walks over a module's
// resources and over an image set that several harnesses run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "iconmod/Cursors.h"
#include "iconmod/Iconmod.h"
#include "formats/ByteView.h"
#include "formats/ModuleResources.h"

namespace fuzz {

// Stops the run with a message when a property that must hold for every input fails.
[[noreturn]] void propertyFailed(const char* what, const char* file, int line);
#define FUZZ_CHECK(cond) \
    do { \
        if (!(cond)) ::fuzz::propertyFailed(#cond, __FILE__, __LINE__); \
    } while (0)

// Call once per input: installs a message-box handler that shows nothing, and makes the
// scratch directory on first use.
void setUp();

// A file in this process's scratch directory (on /dev/shm when there is one, so the many
// small writes stay in memory). The directory is removed when the process exits.
std::string scratchFile(const std::string& name);

// Writes the bytes to the file; false on failure.
bool writeFile(const std::string& path, const std::uint8_t* data, std::size_t size);

// Lists every type the harness knows, every name of each, and loads each by position and
// by name, as the program's listing and look-up do.
void exerciseModule(formats::ResourceModule& module);

// Saves the source's image set as an .ico (all images, then image 0 alone), reads each
// file back and checks it holds the same images; saves the first images as .bmp and
// decodes each image.
void exerciseImageSet(iconmod::QIconMod& source);

// Saves the set as a .cur file, reads it back and checks it holds the same images and
// hotspots; decodes the first images.
void exerciseCursorSet(const iconmod::CursorSet& set);

// A listing read from headers describes what a load of the same images holds: both refuse
// or neither, the same number of images, each with the size, depth, kind, length and
// hotspot its loaded bytes give it. The image picked for a few sizes is one of the list.
void checkListing(const std::optional<iconmod::ImageEntries>& listed, const iconmod::IconImageSet* loaded);
void checkListing(const std::optional<iconmod::ImageEntries>& listed, const std::optional<iconmod::CursorSet>& loaded);

// Steps of an animation name existing frames; the first few frames, each a range of
// `file` (the bytes the animation was listed from), are exercised as cursor sets.
void exerciseAnimation(const iconmod::AnimationEntries& animation, const iconmod::SharedBytes& file);

}  // namespace fuzz
