// TForm1: the strip's current icon as an icon set for desktop entries, in a folder and under
// a name the user picks; a set of that name already there is replaced only after the
// overwrite question.
#include <exception>
#include <memory>

#include "app/IconSetDialog.h"
#include "app/ModalDialog.h"
#include "app/Unit1.h"
#include "iconmod/IconGroups.h"
#include "iconmod/IconTheme.h"
#include "iconmod/Iconmod.h"
#include "iconmod/SaveName.h"
#include "platform/MbText.h"
#include "platform/MessageBox.h"
#include "qtshared/CenterDialog.h"
#include "ui_Unit1.h"

const char* const TForm1::kIconSetLoadFailed = "ﾘｿｰｽの再ﾛｰﾄﾞに失敗しました";

void TForm1::mnuIconSetClick() { MakeIconSet(); }

void TForm1::MakeIconSet() {
    const int column = ui->DrawGrid1->Col();
    if (CurrentFile.empty() || !stripHasSelection()) return;
    try {
        iconmod::QIconMod source(CurrentFile);
        if (!iconmod::fnLoadIconAt(source, column) || !source.Images) {
            platform::messageBox(kIconSetLoadFailed, kReopenTitle, platform::mb::Ok);
            return;
        }
        TIconSetForm dialog(this, iconmod::defaultIconThemeDir().value_or(std::string()),
                            iconmod::suggestIconThemeName(platform::baseName(CurrentFile)));
        CenterDialog(&dialog, this);
        if (runModal(dialog) != QDialog::Accepted) return;
        // A set of that name is replaced only when the user says so, as a save replaces a file.
        if (const auto existing = iconmod::existingIconTheme(dialog.folder(), dialog.name())) {
            const int answer = platform::messageBox(*existing + savename::kOverwriteQuestion, savename::kOverwriteTitle,
                                                    platform::mb::YesNo | platform::mb::IconQuestion);
            if (answer != platform::mb::IdYes) return;
        }
        TWaitCursor wait;
        iconmod::writeIconTheme(*source.Images, dialog.folder(), dialog.name());
    } catch (const std::exception&) {
        // Anything else that goes wrong ends the command; files written stay whole.
    }
}
