#include "iconsave/TextLists.h"

#include <QComboBox>
#include <QListWidget>
#include <QSignalBlocker>
#include <QStyle>
#include <algorithm>

namespace {

QString display(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }
QByteArray bytes(const std::string& s) { return QByteArray(s.data(), static_cast<qsizetype>(s.size())); }
std::string fromBytes(const QVariant& v) { return v.toByteArray().toStdString(); }

}  // namespace

void ListBoxTextList::clear() {
    const QSignalBlocker quiet(list_);
    list_->clear();
}

void ListBoxTextList::append(const std::string& text) {
    auto* item = new QListWidgetItem(display(text));
    item->setData(Qt::UserRole, bytes(text));
    // As wide as the list or as its text (a longer name scrolls), at least as high as the font.
    const QFontMetrics fm(list_->font());
    const int margin = list_->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, list_) + 1;
    const int textWidth = fm.horizontalAdvance(item->text()) + 2 * margin + 1;
    item->setSizeHint(QSize(std::max(list_->viewport()->width(), textWidth), std::max(itemHeight_, fm.height())));
    const QSignalBlocker quiet(list_);
    list_->addItem(item);
}

int ListBoxTextList::count() const { return list_->count(); }

std::string ListBoxTextList::textAt(int index) const {
    const QListWidgetItem* item = list_->item(index);
    return item ? fromBytes(item->data(Qt::UserRole)) : std::string();
}

int ListBoxTextList::selected() const {
    const QListWidgetItem* item = list_->currentItem();
    return item && item->isSelected() ? list_->row(item) : -1;
}

void ListBoxTextList::setSelected(int index) {
    const QSignalBlocker quiet(list_);
    if (index < 0 || index >= list_->count()) {
        list_->clearSelection();
        list_->setCurrentRow(-1);
    } else {
        list_->setCurrentRow(index);
    }
}

void ComboTextList::clear() {
    const QSignalBlocker quiet(combo_);
    combo_->clear();
}

void ComboTextList::append(const std::string& text) {
    const QSignalBlocker quiet(combo_);
    combo_->addItem(display(text), bytes(text));
}

int ComboTextList::count() const { return combo_->count(); }

std::string ComboTextList::textAt(int index) const {
    return index >= 0 && index < combo_->count() ? fromBytes(combo_->itemData(index)) : std::string();
}

int ComboTextList::selected() const { return combo_->currentIndex(); }

void ComboTextList::setSelected(int index) {
    const QSignalBlocker quiet(combo_);
    combo_->setCurrentIndex(index >= 0 && index < combo_->count() ? index : -1);
}
