// Every text of the three forms, at its longest, fits the space its control gives it at 96
// dots per inch with the bundled font: labels, buttons, check box, combo fields and their
// drop-down lists, list entries (which may scroll), status panels and menus.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>
#include <QTest>
#include <QTreeView>
#include <vector>

#include "app/About.h"
#include "app/FileListView.h"
#include "qtshared/Looks.h"
#include "app/Unit1.h"
#include "iconsave/TextLists.h"
#include "iconsave/Unit2.h"
#include "support/UiChild.h"
#include "treedir/DriveCombo.h"

namespace {

using fixtures::uiChild;

// One text in one control: the width and height it needs and the space it has.
struct Fit {
    QString where;
    QString text;
    QSize needs;
    QSize has;
};

QString plain(QString text) { return text.remove(QLatin1Char('&')); }

QSize textSize(const QWidget* w, const QString& text) {
    const QFontMetrics fm(w->font());
    return {fm.horizontalAdvance(text), fm.height()};
}

Fit labelFit(const char* where, QLabel* label) {
    const QRect space = label->contentsRect().adjusted(label->margin(), label->margin(), -label->margin(), -label->margin());
    QSize needs = textSize(label, label->text());
    if (label->wordWrap()) {
        const QRect wrapped = QFontMetrics(label->font()).boundingRect(space, Qt::TextWordWrap | int(label->alignment()), label->text());
        needs = wrapped.size();
    }
    return {QString::fromLatin1(where), label->text(), needs, space.size()};
}

Fit buttonFit(const char* where, QAbstractButton* button) {
    QStyleOptionButton opt;
    opt.initFrom(button);
    opt.text = button->text();
    QRect space;
    if (qobject_cast<QCheckBox*>(button)) {
        space = button->style()->subElementRect(QStyle::SE_CheckBoxContents, &opt, button);
    } else {
        space = button->style()->subElementRect(QStyle::SE_PushButtonContents, &opt, button);
    }
    return {QString::fromLatin1(where), button->text(), textSize(button, plain(button->text())), space.size()};
}

// The closed combo's text field for the current item (less `inset` pixels taken by a glyph).
Fit comboFieldFit(const char* where, QComboBox* combo, int inset = 0) {
    QRect space;
    if (QLineEdit* edit = combo->lineEdit()) {
        // A line edit keeps 2 pixels on each side of its text.
        const QMargins m = edit->textMargins();
        space = edit->contentsRect().adjusted(2 + m.left(), m.top(), -2 - m.right(), -m.bottom());
    } else {
        QStyleOptionComboBox opt;
        opt.initFrom(combo);
        opt.editable = false;
        space = combo->style()->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxEditField, combo);
        space.adjust(inset, 0, 0, 0);
    }
    return {QString::fromLatin1(where), combo->currentText(), textSize(combo, combo->currentText()), space.size()};
}

// A status panel: the text it shows (a long one cut in the middle) inside its frame.
Fit panelFit(const char* where, ElidingLabel* panel) {
    const int side = panel->frameWidth() + ElidingLabel::kPadding;
    return {QString::fromLatin1(where), panel->shownText(), textSize(panel, panel->shownText()),
            {panel->width() - 2 * side, panel->height()}};
}

// The widest item of the combo's drop-down list against the list's width when it opens.
Fit comboPopupFit(const char* where, QComboBox* combo, int inset = 0) {
    combo->showPopup();
    QAbstractItemView* view = combo->view();
    QString widest;
    int width = 0;
    for (int i = 0; i < combo->count(); ++i) {
        const int w = QFontMetrics(view->font()).horizontalAdvance(combo->itemText(i));
        if (w > width) {
            width = w;
            widest = combo->itemText(i);
        }
    }
    const QSize has(view->viewport()->width() - inset - 8, view->visualRect(view->model()->index(0, 0)).height());
    combo->hidePopup();
    return {QString::fromLatin1(where), widest, {width, QFontMetrics(view->font()).height()}, has};
}

// A list entry may scroll: the row, as wide as the list lets it become, holds its text.
Fit listEntryFit(const char* where, QListWidget* list, int row) {
    QListWidgetItem* item = list->item(row);
    const QRect rect = list->visualItemRect(item);
    const int reach = std::max(rect.width(), list->viewport()->width() + list->horizontalScrollBar()->maximum());
    // An item view keeps a few pixels of margin on each side of a text.
    const int margin = list->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, list) + 1;
    return {QString::fromLatin1(where), item->text(), textSize(list, item->text()), {reach - 2 * margin, rect.height()}};
}

void menuFits(std::vector<Fit>& out, QMenu* menu) {
    for (QAction* a : menu->actions()) {
        if (a->isSeparator()) continue;
        const QRect r = menu->actionGeometry(a);
        out.push_back({menu->objectName(), a->text(), textSize(menu, plain(a->text())), r.size()});
        if (a->menu()) menuFits(out, a->menu());
    }
}

void expectFits(const std::vector<Fit>& fits) {
    for (const Fit& f : fits) {
        EXPECT_LE(f.needs.width(), f.has.width()) << f.where.toStdString() << ": \"" << f.text.toStdString() << "\"";
        EXPECT_LE(f.needs.height(), f.has.height()) << f.where.toStdString() << ": \"" << f.text.toStdString() << "\"";
    }
}

TEST(UiTextFit, EveryTextFitsItsControlAt96DpiWithTheBundledFont) {
    ASSERT_TRUE(QFontDatabase::families().contains(QStringLiteral("IPAPGothic")));
    std::vector<Fit> fits;

    // The main window: filter combo, drive selector, status panels, list header, menus.
    TForm1 form(nullptr, 768);
    form.show();
    auto* filter = uiChild<QComboBox>(&form, "ComboBox1");
    for (int i = 0; i < filter->count(); ++i) {
        filter->setCurrentIndex(i);
        fits.push_back(comboFieldFit("ComboBox1", filter));
    }
    auto* drive = uiChild<DriveCombo>(&form, "Drive1");
    const int glyph = DriveCombo::kGlyphLeft + 16 + DriveCombo::kTextGap;
    drive->clear();
    // Entries that fit show whole; longer ones end in an ellipsis, whole in the list.
    const std::pair<const char*, bool> drives[] = {
        {"/", true}, {"/ []", true}, {"/ [rootfs]", true}, {"/boot [BOOT]", false}, {"/home [data]", false}, {"/mnt/share //server/share", false}};
    for (const auto& [text, whole] : drives) {
        drive->addItem(QString::fromUtf8(text));
        drive->setCurrentIndex(drive->count() - 1);
        Fit f = comboFieldFit("Drive1", drive, glyph);
        EXPECT_EQ(drive->fieldText() == f.text, whole) << text;
        EXPECT_TRUE(whole || drive->fieldText().endsWith(QChar(0x2026))) << text;
        f.text = drive->fieldText();
        f.needs = textSize(drive, f.text);
        fits.push_back(f);
    }
    fits.push_back(comboPopupFit("Drive1 list", drive, glyph));
    auto* position = static_cast<ElidingLabel*>(uiChild<QLabel>(&form, "StatusPanel0"));
    auto* fileName = static_cast<ElidingLabel*>(uiChild<QLabel>(&form, "StatusPanel1"));
    for (const char* text : {"1 / 1", "65535 / 65535"}) {
        form.setStatusText(0, QString::fromUtf8(text));
        EXPECT_EQ(position->shownText(), QString::fromUtf8(text));
        fits.push_back(panelFit("StatusPanel0", position));
    }
    for (const char* text : {TForm1::kScanningText, "setup-x86_64-2.0.exe"}) {
        form.setStatusText(1, QString::fromUtf8(text));
        EXPECT_EQ(fileName->shownText(), QString::fromUtf8(text));
        fits.push_back(panelFit("StatusPanel1", fileName));
    }
    // A name longer than the panel keeps its start and its extension.
    const QString longName = QStringLiteral("Microsoft.Windows.Common-Controls.Manifest.Example.Program.exe");
    form.setStatusText(1, longName);
    EXPECT_EQ(form.statusText(1), longName);
    EXPECT_TRUE(fileName->shownText().startsWith(QStringLiteral("Micro")) && fileName->shownText().endsWith(QStringLiteral(".exe")))
        << fileName->shownText().toStdString();
    fits.push_back(panelFit("StatusPanel1", fileName));
    QHeaderView* header = uiChild<FileListView>(&form, "ListView1")->detailsView()->header();
    const int headerMargin = header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
    for (int column : {0, 1}) {
        const QString caption = header->model()->headerData(column, Qt::Horizontal).toString();
        fits.push_back({QStringLiteral("ListView1 header"), caption, textSize(header, caption),
                        {header->sectionSize(column) - 2 * headerMargin, header->height()}});
    }
    menuFits(fits, uiChild<QMenu>(&form, "mnuFile"));
    menuFits(fits, uiChild<QMenu>(&form, "mnuEdit"));
    menuFits(fits, uiChild<QMenu>(&form, "mnuHelp"));
    menuFits(fits, uiChild<QMenu>(&form, "PopupMenu1"));

    // The icon save dialog: labels, check box, buttons, the image combo with its longest
    // lines and the group list with a long name.
    TForm2 dialog(nullptr, 768);
    dialog.show();
    for (const char* name : {"Label1", "Label2", "Label3"}) fits.push_back(labelFit(name, uiChild<QLabel>(&dialog, name)));
    fits.push_back(buttonFit("CheckBox1", uiChild<QCheckBox>(&dialog, "CheckBox1")));
    for (const char* name : {"Button1", "SaveBtn"}) fits.push_back(buttonFit(name, uiChild<QPushButton>(&dialog, name)));
    auto* images = uiChild<QComboBox>(&dialog, "ComboBox1");
    ComboTextList imageLines(images);
    for (const char* line : {"256x256, True Color (32bit)", "16x16, 65536色", "48x48, True Color (24bit)", "32x32, 256色"})
        imageLines.append(line);
    for (int i = 0; i < images->count(); ++i) {
        images->setCurrentIndex(i);
        fits.push_back(comboFieldFit("ComboBox1 of the dialog", images));
    }
    // PNG images may be larger than 256 pixels: such a line ends in an ellipsis when
    // closed and shows whole in the list.
    imageLines.append("1024x1024, True Color (32bit)");
    fits.push_back(comboPopupFit("ComboBox1 of the dialog, list", images));
    auto* groups = uiChild<QListWidget>(&dialog, "ListBox1");
    ListBoxTextList groupNames(groups, 12);
    for (const char* name : {"#32512", "MAINICON", "IDI_APPLICATION_LARGE_ICON"}) groupNames.append(name);
    for (int i = 0; i < groups->count(); ++i) fits.push_back(listEntryFit("ListBox1", groups, i));

    // The About box.
    TAboutForm about(nullptr, 768);
    about.show();
    for (const char* name : {"Label1", "Label2", "Label3"}) fits.push_back(labelFit(name, uiChild<QLabel>(&about, name)));
    fits.push_back(buttonFit("BtnOK", uiChild<QPushButton>(&about, "BtnOK")));

    expectFits(fits);
}

}  // namespace
