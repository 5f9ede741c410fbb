// The drive selector: a drop-down list of the mounted drives, each entry drawn as its
// glyph and its text ("/home [data]", "/media/usb", "/mnt/share //server/share").
// Drive() is the mount point of the chosen drive; OnChange fires when the user (or
// setDrive) chooses another one. When the selector is first shown it builds its list and
// fires OnChange once for the process's current drive: that is what first fills the
// directory tree. It watches the mount table and raises drivesChanged when it changes.
#pragma once

#include <QComboBox>
#include <QHash>
#include <QPixmap>
#include <memory>
#include <string>
#include <vector>

#include "platform/Drives.h"

class QSocketNotifier;
namespace platform {
class MountWatch;
}

class DriveCombo : public QComboBox {
    Q_OBJECT

public:
    explicit DriveCombo(QWidget* parent = nullptr);
    ~DriveCombo() override;

    const std::string& Drive() const { return drive_; }

    // Chooses the drive mounted at mountPoint. Nothing happens when it is the drive
    // already chosen and shown; otherwise its entry is selected and OnChange fires.
    void setDrive(const std::string& mountPoint);
    // Selects the entry of mountPoint without firing OnChange (the selector follows a
    // drive chosen elsewhere).
    void showDrive(const std::string& mountPoint);

    // Reads the drive list again (done when the selector is first shown). The chosen drive
    // stays chosen; when it is gone no entry is selected.
    void BuildList();
    // Whether a drive is mounted at mountPoint in the list as last read.
    bool listed(const std::string& mountPoint) const { return indexOf(mountPoint) >= 0; }
    const std::vector<platform::Drive>& drives() const { return drives_; }

    QPixmap glyph(const std::string& name);

    // The current entry's text as the closed selector shows it: whole when it fits the
    // field, else cut with an ellipsis (the drop-down list is as wide as its longest entry).
    QString fieldText() const;

    static constexpr int kGlyphLeft = 2;  // glyph's distance from the left edge
    static constexpr int kGlyphWidth = 16;
    static constexpr int kTextGap = 6;    // between the glyph and the text
    static constexpr int kGlyphHeight = 11;

signals:
    void OnChange();
    // The system's mount table changed (a file system was mounted or unmounted); the list
    // is not read again until BuildList is called.
    void drivesChanged();

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    int indexOf(const std::string& mountPoint) const;
    QRect fieldRect() const;

    std::string drive_;
    std::vector<platform::Drive> drives_;
    QHash<QString, QPixmap> glyphs_;
    bool created_ = false;
    std::unique_ptr<platform::MountWatch> mountWatch_;
    QSocketNotifier* mountNotifier_ = nullptr;
};
