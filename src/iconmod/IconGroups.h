// The icon groups of a module opened by a QIconMod: listing their names in the module's
// order, building the image set of one group from the module's resources, and the one-line
// description of each image. The icon save dialog runs these over its two lists (group
// names, image lines); vexil-cli over plain vectors.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "iconmod/Iconmod.h"

namespace iconmod {

namespace text {
inline constexpr const char* kGroupNamesFailed = "ｱｲｺﾝ名の取得に失敗しました";
inline constexpr const char* kGroupMemoryFailed = "ｴﾗｰ \n ﾒﾓﾘｰの割当てに失敗しました";
inline constexpr const char* kGroupFormatFailed = "ｴﾗｰ \n ﾌｫｰﾏｯﾄ ｺﾝﾊﾞｰﾄに失敗しました";
}  // namespace text

// What the group and image logic needs of a list control.
class TextList {
public:
    virtual ~TextList() = default;
    virtual void clear() = 0;
    virtual void append(const std::string& text) = 0;
    virtual int count() const = 0;
    virtual std::string textAt(int index) const = 0;
    virtual int selected() const = 0;  // -1 when none
    virtual void setSelected(int index) = 0;
};

// A TextList over a vector, for vexil-cli and tests.
class VectorTextList final : public TextList {
public:
    void clear() override { items.clear(); selection = -1; }
    void append(const std::string& text) override { items.push_back(text); }
    int count() const override { return static_cast<int>(items.size()); }
    std::string textAt(int index) const override { return items.at(static_cast<std::size_t>(index)); }
    int selected() const override { return selection; }
    void setSelected(int index) override { selection = index; }

    std::vector<std::string> items;
    int selection = -1;
};

// Fills `list` with the group names of the source, in the module's order ("#" and the
// decimal id, or the string name). An ICO source lists nothing and answers whether it holds
// an image set. A module without icon groups shows the group-name message; false.
bool fnListGroupNames(QIconMod& source, TextList& list);
// The names of a module's icon groups in the module's order; nullopt for a source without
// a module, and (after the group-name message) for a module without icon groups.
std::optional<std::vector<formats::ResourceName>> fnGroupNames(QIconMod& source);

// Replaces the source's image set by the images of the group named source.GroupName.
// False, and no image set, when the group or one of its images cannot be found; a group or
// image whose data is malformed also shows the format message (titled with the path).
bool fnLoadGroup(QIconMod& source);
// The same for a group given by its resource name (a string name may read "#12", which as
// text names the integer id 12).
bool fnLoadGroup(QIconMod& source, const formats::ResourceName& name);

// The images of the group named source.GroupName as fnLoadGroup would load them, from the
// group's directory and each image's header, their data left in the module's file (for a
// listing); nullopt, after the same message, where fnLoadGroup fails. The image set is not
// touched.
std::optional<ImageEntries> fnListGroupImages(QIconMod& source);
std::optional<ImageEntries> fnListGroupImages(QIconMod& source, const formats::ResourceName& name);

// Loads icon `index` as the icon strip numbers a file's icons: the index-th group of a
// module, 16-bit ones included (in the order fnListGroupNames lists them), or for index 0
// an icon file's images. The file is opened by its content. False when there is no such
// icon or it cannot be loaded (after the message of the step that failed, if it has one).
bool fnLoadIconAt(QIconMod& source, int index);

// Fills `combo` with one image line per image and selects the first; does nothing when the
// source holds no image set.
void subListImages(QIconMod& source, TextList& combo);

// "32x32, 16色", "48x48, True Color (24bit)", ...
std::string imageLineText(const ImageHead& image);

}  // namespace iconmod
