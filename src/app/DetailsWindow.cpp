#include "app/DetailsWindow.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QPainter>
#include <QPushButton>
#include <QShortcut>
#include <QStyledItemDelegate>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>
#include <exception>
#include <functional>
#include <map>
#include <string_view>
#include <utility>

#include "app/Clipboard.h"
#include "app/Unit1.h"
#include "app/WindowTexts.h"
#include "formats/IconDecode.h"
#include "iconmod/ExtractOutput.h"
#include "iconmod/SaveName.h"
#include "iconmod/SizedPng.h"
#include "platform/AtomicFile.h"
#include "platform/IconExtract.h"
#include "platform/MbText.h"
#include "platform/MessageBox.h"
#include "platform/StartPath.h"
#include "qtshared/PictureConvert.h"

namespace {

constexpr int kPad = 6;           // around a picture inside its card
constexpr int kLabelWidth = 150;  // a card is at least this wide, for its label
constexpr int kChecker = 8;       // the checkerboard's squares
constexpr int kCursorSize = 32;   // the size a cursor is shown at before zooming
constexpr std::size_t kMaxCursorFrames = 256;
constexpr int kMinDelayMs = 20;   // a step of 0 jiffies still shows for a moment
constexpr int kWindowWidth = 560;
constexpr int kWindowHeight = 380;

// What a card draws: a picture and, for a cursor, its hotspot.
struct Card {
    const QImage* picture = nullptr;
    std::optional<QPoint> hotspot;
};

QString fromBytes(std::string_view bytes) {
    return QString::fromLocal8Bit(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

// Pictures at whole multiples of their pixels (nearest neighbour) over a checkerboard of
// fixed light colours, so that transparency reads the same on any palette; the label below.
class CardDelegate : public QStyledItemDelegate {
public:
    CardDelegate(QObject* parent, std::function<Card(int row)> card, const int* zoom)
        : QStyledItemDelegate(parent), card_(std::move(card)), zoom_(zoom) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        painter->save();
        const QRect r = option.rect;
        const bool selected = option.state & QStyle::State_Selected;
        if (selected) painter->fillRect(r, option.palette.color(QPalette::Highlight));
        const Card card = card_(index.row());
        const QSize shown = card.picture ? card.picture->size() * *zoom_ : QSize();
        const QRect picture(r.left() + (r.width() - shown.width()) / 2, r.top() + kPad, shown.width(), shown.height());
        painter->setClipRect(picture);
        for (int y = picture.top(); y <= picture.bottom(); y += kChecker)
            for (int x = picture.left(); x <= picture.right(); x += kChecker)
                painter->fillRect(x, y, kChecker, kChecker,
                                  ((x - picture.left()) / kChecker + (y - picture.top()) / kChecker) % 2 ? QColor(0xCC, 0xCC, 0xCC) : QColor(Qt::white));
        if (card.picture) {
            painter->setRenderHint(QPainter::SmoothPixmapTransform, false);
            painter->drawImage(picture, *card.picture);
        }
        if (card.hotspot) {
            const int z = *zoom_;
            const QPoint at = picture.topLeft() + QPoint(card.hotspot->x() * z + z / 2, card.hotspot->y() * z + z / 2);
            // A red cross with a white rim, to be seen on any picture.
            const int arm = 4 + z;
            for (const auto& [colour, width] : {std::pair{QColor(Qt::white), 3}, std::pair{QColor(Qt::red), 1}}) {
                painter->setPen(QPen(colour, width, Qt::SolidLine, Qt::FlatCap));
                painter->drawLine(at.x() - arm, at.y(), at.x() + arm, at.y());
                painter->drawLine(at.x(), at.y() - arm, at.x(), at.y() + arm);
            }
        }
        painter->setClipping(false);
        painter->setPen(option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
        const QRect text(r.left() + kPad, picture.bottom() + 1 + kPad, r.width() - 2 * kPad, r.bottom() - picture.bottom() - kPad);
        painter->drawText(text, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, index.data(Qt::DisplayRole).toString());
        if (option.state & QStyle::State_HasFocus) {
            QStyleOptionFocusRect focus;
            focus.rect = r.adjusted(1, 1, -1, -1);
            focus.palette = option.palette;
            focus.state = option.state;
            focus.backgroundColor = option.palette.color(selected ? QPalette::Highlight : QPalette::Base);
            QApplication::style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter);
        }
        painter->restore();
    }

    QSize cardSize(const QFontMetrics& metrics, const QSize& picture, const QString& label) const {
        const int width = std::max(picture.width() * *zoom_, kLabelWidth) + 2 * kPad;
        const QRect text = metrics.boundingRect(QRect(0, 0, width - 2 * kPad, 1000), Qt::AlignHCenter | Qt::TextWordWrap, label);
        return QSize(width, kPad + picture.height() * *zoom_ + kPad + text.height() + kPad);
    }

private:
    std::function<Card(int)> card_;
    const int* zoom_;
};

// A list of cards, flowing left to right and wrapping, whose drag offers what `mime` makes.
class CardList : public QListWidget {
public:
    explicit CardList(QWidget* parent) : QListWidget(parent) {
        setViewMode(QListView::ListMode);
        setFlow(QListView::LeftToRight);
        setWrapping(true);
        setResizeMode(QListView::Adjust);
        setSpacing(4);
        setUniformItemSizes(false);
        setSelectionMode(QAbstractItemView::SingleSelection);
        setMovement(QListView::Static);
    }
    std::function<QMimeData*(int row)> mime;

protected:
    QStringList mimeTypes() const override { return {QStringLiteral("image/png")}; }
    QMimeData* mimeData(const QList<QListWidgetItem*>& items) const override {
        return mime && !items.isEmpty() ? mime(row(items.front())) : nullptr;
    }
    Qt::DropActions supportedDropActions() const override { return Qt::CopyAction; }
};

CardDelegate* delegateOf(QListWidget* list) { return static_cast<CardDelegate*>(list->itemDelegate()); }

}  // namespace

DetailsWindow::DetailsWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setWindowTitle(QString::fromUtf8(wtext::kDetailsCaption));
    setAccessibleName(QString::fromUtf8(wtext::kDetailsCaption));
    resize(kWindowWidth, kWindowHeight);

    auto* images = new CardList(this);
    images->setObjectName(QStringLiteral("DetailsImages"));
    images->setItemDelegate(new CardDelegate(images, [this](int row) {
        if (row < 0 || row >= static_cast<int>(shownImages_.size())) return Card{};
        return Card{&shownImages_[static_cast<std::size_t>(row)].picture, std::nullopt};
    }, &zoom_));
    images->setDragEnabled(true);
    images->setDragDropMode(QAbstractItemView::DragOnly);
    images->setDefaultDropAction(Qt::CopyAction);
    images->mime = [this](int) { return selectedDragData(); };
    images->setAccessibleName(QString::fromUtf8(wtext::kDetailsImages));
    images->setAccessibleDescription(QString::fromUtf8(wtext::kDetailsImagesHelp));
    images_ = images;

    auto* cursors = new CardList(this);
    cursors->setObjectName(QStringLiteral("DetailsCursors"));
    cursors->setItemDelegate(new CardDelegate(cursors, [this](int row) {
        if (row < 0 || row >= static_cast<int>(shownCursors_.size())) return Card{};
        const ShownCursor& c = shownCursors_[static_cast<std::size_t>(row)];
        if (c.pictures.empty()) return Card{};
        return Card{&c.pictures[c.step], c.hotspots[c.step]};
    }, &zoom_));
    cursors->setAccessibleName(QString::fromUtf8(wtext::kDetailsCursors));
    cursors->setAccessibleDescription(QString::fromUtf8(wtext::kDetailsCursorsHelp));
    cursors_ = cursors;

    const auto button = [this](const char* text) {
        auto* b = new QPushButton(QString::fromUtf8(text), this);
        b->setAutoDefault(false);
        return b;
    };
    zoomOut_ = button(wtext::kDetailsZoomOut);
    zoomIn_ = button(wtext::kDetailsZoomIn);
    zoomLabel_ = new QLabel(this);
    savePng_ = button(wtext::kDetailsSavePng);
    copyPng_ = button(wtext::kDetailsCopyPng);
    saveCur_ = button(wtext::kDetailsSaveCur);
    saveXcursor_ = button(wtext::kDetailsSaveXcursor);
    QPushButton* closeButton = button(wtext::kDetailsClose);

    auto* imagesPage = new QWidget(this);
    auto* imagesLayout = new QVBoxLayout(imagesPage);
    imagesLayout->addWidget(images_);
    auto* imageButtons = new QHBoxLayout;
    imageButtons->addWidget(savePng_);
    imageButtons->addWidget(copyPng_);
    imageButtons->addStretch();
    imagesLayout->addLayout(imageButtons);

    auto* cursorsPage = new QWidget(this);
    auto* cursorsLayout = new QVBoxLayout(cursorsPage);
    cursorsLayout->addWidget(cursors_);
    auto* cursorButtons = new QHBoxLayout;
    cursorButtons->addWidget(saveCur_);
    cursorButtons->addWidget(saveXcursor_);
    cursorButtons->addStretch();
    cursorsLayout->addLayout(cursorButtons);

    tabs_ = new QTabWidget(this);
    tabs_->addTab(imagesPage, QString::fromUtf8(wtext::kDetailsImagesTab));
    tabs_->addTab(cursorsPage, QString::fromUtf8(wtext::kDetailsCursorsTab));

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(zoomOut_);
    bottom->addWidget(zoomLabel_);
    bottom->addWidget(zoomIn_);
    bottom->addStretch();
    bottom->addWidget(closeButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs_);
    layout->addLayout(bottom);

    connect(zoomOut_, &QPushButton::clicked, this, [this] { setZoom(details::zoomStep(zoom_, -1)); });
    connect(zoomIn_, &QPushButton::clicked, this, [this] { setZoom(details::zoomStep(zoom_, 1)); });
    connect(savePng_, &QPushButton::clicked, this, &DetailsWindow::saveSelectedPng);
    connect(copyPng_, &QPushButton::clicked, this, &DetailsWindow::copySelectedPng);
    connect(saveCur_, &QPushButton::clicked, this, &DetailsWindow::saveSelectedCur);
    connect(saveXcursor_, &QPushButton::clicked, this, &DetailsWindow::saveSelectedXcursor);
    connect(closeButton, &QPushButton::clicked, this, &QWidget::close);
    connect(images_, &QListWidget::currentRowChanged, this, &DetailsWindow::updateButtons);
    connect(cursors_, &QListWidget::currentRowChanged, this, &DetailsWindow::updateButtons);

    // Each key sequence once: two shortcuts of one sequence would both stay silent.
    QList<QKeySequence> taken;
    const auto shortcut = [this, &taken](const QKeySequence& keys, const std::function<void()>& what) {
        if (keys.isEmpty() || taken.contains(keys)) return;
        taken.append(keys);
        connect(new QShortcut(keys, this), &QShortcut::activated, this, what);
    };
    // "+" is a shifted key on most keyboards: Ctrl+Shift+"+" is Ctrl++ as well.
    for (const QKeySequence& keys : {QKeySequence(QKeySequence::ZoomIn), QKeySequence(Qt::CTRL | Qt::Key_Plus),
                                     QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Plus), QKeySequence(Qt::CTRL | Qt::Key_Equal)})
        shortcut(keys, [this] { setZoom(details::zoomStep(zoom_, 1)); });
    for (const QKeySequence& keys : {QKeySequence(QKeySequence::ZoomOut), QKeySequence(Qt::CTRL | Qt::Key_Minus)})
        shortcut(keys, [this] { setZoom(details::zoomStep(zoom_, -1)); });
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_C), [this] { copySelectedPng(); });
    shortcut(QKeySequence(Qt::Key_Escape), [this] { close(); });
    images_->viewport()->installEventFilter(this);
    cursors_->viewport()->installEventFilter(this);

    animation_ = new QTimer(this);
    animation_->setSingleShot(true);
    connect(animation_, &QTimer::timeout, this, &DetailsWindow::animate);
    clock_.start();
    setZoom(details::kMinZoom);
    updateButtons();
}

DetailsWindow::~DetailsWindow() = default;

// Ctrl and the wheel zoom, one step a notch; the wheel alone scrolls as usual.
bool DetailsWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Wheel) {
        auto* wheel = static_cast<QWheelEvent*>(event);
        if (wheel->modifiers() & Qt::ControlModifier) {
            const int delta = wheel->angleDelta().y();
            if (delta != 0) setZoom(details::zoomStep(zoom_, delta > 0 ? 1 : -1));
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void DetailsWindow::hideEvent(QHideEvent* event) {
    animation_->stop();
    QWidget::hideEvent(event);
}

void DetailsWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    scheduleAnimation();
}

void DetailsWindow::setZoom(int zoom) {
    zoom_ = std::clamp(zoom, details::kMinZoom, details::kMaxZoom);
    zoomLabel_->setText(QString::fromUtf8(wtext::kDetailsZoomFormat).arg(zoom_));
    zoomOut_->setEnabled(zoom_ > details::kMinZoom);
    zoomIn_->setEnabled(zoom_ < details::kMaxZoom);
    updateSizes();
}

void DetailsWindow::updateSizes() {
    const QFontMetrics metrics(font());
    for (int i = 0; i < images_->count(); ++i) {
        QListWidgetItem* item = images_->item(i);
        item->setSizeHint(delegateOf(images_)->cardSize(metrics, shownImages_[static_cast<std::size_t>(i)].picture.size(), item->text()));
    }
    for (int i = 0; i < cursors_->count(); ++i) {
        QListWidgetItem* item = cursors_->item(i);
        QSize largest;
        for (const QImage& p : shownCursors_[static_cast<std::size_t>(i)].pictures) largest = largest.expandedTo(p.size());
        item->setSizeHint(delegateOf(cursors_)->cardSize(metrics, largest, item->text()));
    }
    images_->viewport()->update();
    cursors_->viewport()->update();
}

void DetailsWindow::updateButtons() {
    const bool image = images_->currentRow() >= 0;
    savePng_->setEnabled(image);
    copyPng_->setEnabled(image);
    const int row = cursors_->currentRow();
    const bool cursor = row >= 0 && row < static_cast<int>(shownCursors_.size());
    saveCur_->setEnabled(cursor && details::savesAsCur(shownCursors_[static_cast<std::size_t>(row)].item));
    saveXcursor_->setEnabled(cursor);
}

void DetailsWindow::clear() {
    images_->clear();
    cursors_->clear();
    shownImages_.clear();
    shownCursors_.clear();
    animation_->stop();
    path_.clear();
    index_ = -1;
    setWindowTitle(QString::fromUtf8(wtext::kDetailsCaption));
    updateButtons();
}

void DetailsWindow::showIcon(const std::string& path, int index) {
    if (path.empty() || index < 0) {
        clear();
        return;
    }
    if (path == path_ && index == index_) return;
    auto file = platform::openFile(path).file;
    if (!file) {
        clear();
        return;
    }
    const bool sameFile = path == path_;
    path_ = path;
    index_ = index;
    try {
        fillImages(*file, index);
        if (!sameFile) fillCursors(*file);
    } catch (const std::bad_alloc&) {
        clear();
        return;
    }
    const auto group = file->groupName(index);
    QString title = QString::fromUtf8(wtext::kDetailsCaption) + QStringLiteral(" - ") + fromBytes(platform::baseName(path));
    if (group) title += QStringLiteral(" ") + QString::fromUtf8(formats::groupNameText(*group));
    setWindowTitle(title);
    updateSizes();
    updateButtons();
}

void DetailsWindow::fillImages(formats::OpenedFile& file, int index) {
    images_->clear();
    shownImages_.clear();
    for (iconmod::IconImage& image : details::groupImages(file, index)) {
        const auto decoded = formats::decodeIconImage(image.view());
        if (!decoded) continue;
        shownImages_.push_back({image, imageFromArgb(*decoded)});
    }
    for (const ShownImage& shown : shownImages_) {
        auto* item = new QListWidgetItem(QString::fromUtf8(details::imageLabel(shown.image, shown.image.Data.size())), images_);
        item->setFlags(item->flags() | Qt::ItemIsDragEnabled);
    }
    if (images_->count() > 0) images_->setCurrentRow(0);
}

void DetailsWindow::fillCursors(formats::OpenedFile& file) {
    cursors_->clear();
    shownCursors_.clear();
    formats::ByteSource& source = file.module() ? file.module()->file() : file.source();
    for (details::CursorItem& item : details::fileCursors(file)) {
        ShownCursor shown;
        // One decode for each image, however many steps show it.
        std::map<std::uint64_t, QImage> decoded;
        for (const details::CursorFrame& frame : details::cursorFrames(item, kCursorSize, kMaxCursorFrames)) {
            auto it = decoded.find(frame.image.Offset);
            if (it == decoded.end()) {
                const auto stored = source.read(frame.image.Offset, frame.image.Size);
                const auto picture = stored ? formats::decodeIconImage(*stored) : std::nullopt;
                it = decoded.emplace(frame.image.Offset, picture ? imageFromArgb(*picture) : QImage()).first;
            }
            if (it->second.isNull()) continue;
            shown.pictures.push_back(it->second);
            shown.hotspots.emplace_back(frame.image.HotspotX, frame.image.HotspotY);
            shown.delaysMs.push_back(frame.delayMs);
        }
        if (shown.pictures.empty()) continue;
        shown.item = std::move(item);
        shownCursors_.push_back(std::move(shown));
    }
    for (const ShownCursor& shown : shownCursors_) new QListWidgetItem(QString::fromUtf8(details::cursorLabel(shown.item)), cursors_);
    if (cursors_->count() > 0) cursors_->setCurrentRow(0);
    const qint64 now = clock_.elapsed();
    for (ShownCursor& c : shownCursors_) c.dueMs = now + std::max<qint64>(c.delaysMs.front(), kMinDelayMs);
    scheduleAnimation();
}

// Moves every animation whose step is over to its next step, then waits for the next due.
void DetailsWindow::animate() {
    const qint64 now = clock_.elapsed();
    bool moved = false;
    for (ShownCursor& c : shownCursors_) {
        if (c.pictures.size() < 2 || c.dueMs > now) continue;
        c.step = (c.step + 1) % c.pictures.size();
        c.dueMs = now + std::max<qint64>(c.delaysMs[c.step], kMinDelayMs);
        moved = true;
    }
    if (moved) cursors_->viewport()->update();
    scheduleAnimation();
}

void DetailsWindow::scheduleAnimation() {
    if (!isVisible()) return;
    qint64 next = -1;
    for (const ShownCursor& c : shownCursors_)
        if (c.pictures.size() > 1 && (next < 0 || c.dueMs < next)) next = c.dueMs;
    if (next < 0) return;
    animation_->start(static_cast<int>(std::max<qint64>(0, next - clock_.elapsed())));
}

QByteArray DetailsWindow::selectedPng() const {
    const int row = images_->currentRow();
    if (row < 0 || row >= static_cast<int>(shownImages_.size())) return {};
    iconmod::IconImageSet one;
    one.Images.push_back(shownImages_[static_cast<std::size_t>(row)].image);
    try {
        const auto png = iconmod::largestPng(one);
        if (png) return QByteArray(reinterpret_cast<const char*>(png->data()), static_cast<qsizetype>(png->size()));
    } catch (const std::exception&) {
    }
    return {};
}

// As the window's PNG save: the name rule of CheckPngSaveName, written whole or not at all.
namespace {

void sayNotSaved() { TForm1::ShowError(TForm1::kSaveFailed); }

}  // namespace

QMimeData* DetailsWindow::selectedDragData() const {
    const QByteArray png = selectedPng();
    if (png.isEmpty()) return nullptr;
    auto* mime = new QMimeData;
    mime->setData(QStringLiteral("image/png"), png);
    mime->setImageData(QImage::fromData(png, "PNG"));
    if (!dragFolder_.empty()) {
        const iconmod::IconImage& image = shownImages_[static_cast<std::size_t>(images_->currentRow())].image;
        const std::string size = std::to_string(image.Width) + "x" + std::to_string(image.Height) + "-" +
                                 std::to_string(image.ColorBits) + "bit";
        const std::string file =
            platform::joinPath(dragFolder_, iconmod::NameBook().take(platform::baseName(path_), size, ".png"));
        const formats::ByteView bytes(reinterpret_cast<const std::uint8_t*>(png.constData()), static_cast<std::size_t>(png.size()));
        if (platform::AtomicFile::writeWhole(file, bytes, platform::AtomicFile::Durability::Unflushed))
            mime->setData(QStringLiteral("text/uri-list"), QByteArray::fromStdString(platform::fileUri(file) + "\r\n"));
    }
    return mime;
}

void DetailsWindow::saveSelectedPng() {
    const QByteArray png = selectedPng();
    if (png.isEmpty()) return;
    pngDialog_.Title = TForm1::kSavePngTitle;
    pngDialog_.Filter = wtext::kDetailsPngFilter;
    pngDialog_.ConfirmOverwrite = false;  // the name check asks
    if (!pngDialog_.Execute(this)) return;
    const auto path = TForm1::pngSavePath(pngDialog_.FileName);
    if (!path) return;
    const formats::ByteView bytes(reinterpret_cast<const std::uint8_t*>(png.constData()), static_cast<std::size_t>(png.size()));
    if (!platform::AtomicFile::writeWhole(*path, bytes)) sayNotSaved();
}

void DetailsWindow::copySelectedPng() {
    const QByteArray png = selectedPng();
    if (png.isEmpty()) return;
    if (!setClipboardData(QStringLiteral("image/png"), png))
        TForm1::ShowError(TForm1::kCopyFailed);
}

const details::CursorItem* DetailsWindow::selectedCursor() const {
    const int row = cursors_->currentRow();
    if (row < 0 || row >= static_cast<int>(shownCursors_.size())) return nullptr;
    return &shownCursors_[static_cast<std::size_t>(row)].item;
}

void DetailsWindow::saveSelectedCur() {
    const details::CursorItem* cursor = selectedCursor();
    if (!cursor) return;
    curDialog_.Title = wtext::kDetailsSaveCurTitle;
    curDialog_.Filter = wtext::kDetailsCurFilter;
    if (!curDialog_.Execute(this)) return;
    std::string path = curDialog_.FileName;
    if (platform::baseName(path).find('.') == std::string::npos) path += ".cur";
    auto file = platform::openFile(path_).file;
    if (!file || !details::saveCursorCur(*file, *cursor, path)) sayNotSaved();
}

void DetailsWindow::saveSelectedXcursor() {
    const details::CursorItem* cursor = selectedCursor();
    if (!cursor) return;
    xcursorDialog_.Title = wtext::kDetailsSaveXcursorTitle;
    xcursorDialog_.Filter = wtext::kDetailsXcursorFilter;
    if (!xcursorDialog_.Execute(this)) return;
    auto file = platform::openFile(path_).file;
    if (!file || details::saveCursorXcursor(*file, *cursor, xcursorDialog_.FileName) != iconmod::XcursorResult::Written)
        sayNotSaved();
}
