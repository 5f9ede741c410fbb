// Shell links: the reader, then the icon and target it derives. A link read whole starts
// with the shell link header; its shown icon is icon 0 whenever it is the target's. The
// same bytes as the hand-over of a sandboxed reader: one that is taken hands over again
// to the same bytes.
#include "FuzzCommon.h"
#include "formats/ShellLink.h"
#include "iconmod/PointerHandOver.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const formats::ByteView bytes(data, size);
    if (const auto taken = iconmod::takePointerHandOver(bytes)) {
        const auto again = iconmod::handOverPointer(*taken);
        FUZZ_CHECK(again && *again == bytes.toBytes());
    }
    const auto link = formats::readShellLink(bytes);
    if (!link) {
        FUZZ_CHECK(link.error().offset <= size);
        return 0;
    }
    FUZZ_CHECK(formats::isShellLink(bytes));
    const formats::LinkIcon icon = link->icon();
    if (icon.ofTarget) FUZZ_CHECK(icon.index == 0);
    // A network target is a share the LinkInfo names, or a path of the share form.
    if (const auto target = link->target()) FUZZ_CHECK(!target->network || link->netName || formats::isNetworkPath(target->path.bytes));
    return 0;
}
