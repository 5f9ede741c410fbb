#include "treedir/DriveCombo.h"

#include <QAbstractItemView>
#include <QPainter>
#include <QSocketNotifier>
#include <QStyledItemDelegate>
#include <QStylePainter>
#include <algorithm>

#include "platform/MountWatch.h"
#include "qtshared/Glyphs.h"

namespace {

constexpr int kMountRole = Qt::UserRole;      // mount point bytes (QByteArray)
constexpr int kGlyphRole = Qt::UserRole + 1;  // glyph resource name

// Where an entry's text goes: after the glyph near the left edge.
QRect entryTextRect(const QRect& rect) {
    return rect.adjusted(DriveCombo::kGlyphLeft + DriveCombo::kGlyphWidth + DriveCombo::kTextGap, 0, 0, 0);
}

// One entry: the glyph near the left edge, centred vertically, the text after it on one
// line, ampersands shown as they are; a text wider than its room ends in an ellipsis.
void drawEntry(QPainter* painter, const QRect& rect, const QPixmap& glyph, const QString& text, const QColor& colour) {
    const int glyphTop = rect.top() + (rect.height() - glyph.height()) / 2;
    painter->drawPixmap(rect.left() + DriveCombo::kGlyphLeft, glyphTop, glyph);
    const QRect textRect = entryTextRect(rect);
    painter->setPen(colour);
    painter->drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                      painter->fontMetrics().elidedText(text, Qt::ElideRight, textRect.width()));
}

class DriveEntryDelegate : public QStyledItemDelegate {
public:
    explicit DriveEntryDelegate(DriveCombo* combo) : QStyledItemDelegate(combo), combo_(combo) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QStyleOptionViewItem opt(option);
        initStyleOption(&opt, index);
        const QString text = opt.text;
        opt.text.clear();
        opt.icon = QIcon();
        const QWidget* widget = opt.widget ? opt.widget : combo_;
        widget->style()->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);  // background, selection
        const bool selected = opt.state & QStyle::State_Selected;
        const QColor colour = opt.palette.color(selected ? QPalette::HighlightedText : QPalette::Text);
        drawEntry(painter, opt.rect, combo_->glyph(index.data(kGlyphRole).toString().toStdString()), text, colour);
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        const QFontMetrics fm(option.font);
        const int width = DriveCombo::kGlyphLeft + DriveCombo::kGlyphWidth + DriveCombo::kTextGap + fm.horizontalAdvance(index.data().toString()) + 8;
        return QSize(width, std::max(fm.height(), DriveCombo::kGlyphHeight));
    }

private:
    DriveCombo* combo_;
};

}  // namespace

DriveCombo::DriveCombo(QWidget* parent) : QComboBox(parent), drive_(platform::systemDrives().currentDrive()) {
    setItemDelegate(new DriveEntryDelegate(this));
    connect(this, &QComboBox::activated, this, [this](int index) {
        if (index >= 0 && static_cast<std::size_t>(index) < drives_.size()) setDrive(drives_[static_cast<std::size_t>(index)].mountPoint);
    });
    // The kernel marks the mount table with priority data when it changes: the event loop
    // waits for that, nothing polls on a timer.
    mountWatch_ = std::make_unique<platform::MountWatch>(platform::systemDrives().roots().mountInfo);
    if (mountWatch_->fd() >= 0) {
        mountNotifier_ = new QSocketNotifier(mountWatch_->fd(), QSocketNotifier::Exception, this);
        connect(mountNotifier_, &QSocketNotifier::activated, this, [this] { emit drivesChanged(); });
    }
}

// The notifier goes before the file it watches is closed.
DriveCombo::~DriveCombo() { delete mountNotifier_; }

QPixmap DriveCombo::glyph(const std::string& name) {
    // Drawn for the palette of the moment (light, or the desktop's dark one).
    const QString glyphName = QString::fromStdString(name);
    const bool dark = glyphs::isDarkPalette(palette());
    const QString key = glyphName + (dark ? QStringLiteral("/dark") : QString());
    auto it = glyphs_.find(key);
    if (it == glyphs_.end())
        it = glyphs_.insert(key, QPixmap::fromImage(glyphs::forPalette(glyphs::bottomLeftTransparent(glyphName).toImage(), palette())));
    return *it;
}

int DriveCombo::indexOf(const std::string& mountPoint) const {
    for (std::size_t i = 0; i < drives_.size(); ++i)
        if (drives_[i].mountPoint == mountPoint) return static_cast<int>(i);
    return -1;
}

void DriveCombo::BuildList() {
    drives_ = platform::systemDrives().list();
    clear();
    int widest = 0;
    for (const platform::Drive& d : drives_) {
        addItem(QString::fromLocal8Bit(d.text.data(), static_cast<qsizetype>(d.text.size())),
                QByteArray(d.mountPoint.data(), static_cast<qsizetype>(d.mountPoint.size())));
        setItemData(count() - 1, QString::fromStdString(d.glyph), kGlyphRole);
        widest = std::max(widest, kGlyphLeft + kGlyphWidth + kTextGap + fontMetrics().horizontalAdvance(itemText(count() - 1)) + 24);
    }
    view()->setMinimumWidth(widest);
    setCurrentIndex(indexOf(drive_));
}

void DriveCombo::setDrive(const std::string& mountPoint) {
    if (mountPoint == drive_ && currentIndex() >= 0) return;
    drive_ = mountPoint;
    setCurrentIndex(indexOf(drive_));
    emit OnChange();
}

void DriveCombo::showDrive(const std::string& mountPoint) {
    drive_ = mountPoint;
    setCurrentIndex(indexOf(drive_));
}

void DriveCombo::showEvent(QShowEvent* event) {
    QComboBox::showEvent(event);
    if (created_) return;
    created_ = true;
    BuildList();
    // Choose the current drive again with no entry selected, so that OnChange fires.
    setCurrentIndex(-1);
    setDrive(drive_);
}

QRect DriveCombo::fieldRect() const {
    QStyleOptionComboBox opt;
    initStyleOption(&opt);
    return style()->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxEditField, this);
}

QString DriveCombo::fieldText() const {
    return fontMetrics().elidedText(currentText(), Qt::ElideRight, entryTextRect(fieldRect()).width());
}

void DriveCombo::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionComboBox opt;
    initStyleOption(&opt);
    opt.currentText.clear();
    opt.currentIcon = QIcon();
    painter.drawComplexControl(QStyle::CC_ComboBox, opt);
    const int i = currentIndex();
    if (i < 0) return;
    const QRect field = fieldRect();
    painter.setClipRect(field);
    drawEntry(&painter, field, glyph(itemData(i, kGlyphRole).toString().toStdString()), itemText(i),
              palette().color(QPalette::ButtonText));
}
