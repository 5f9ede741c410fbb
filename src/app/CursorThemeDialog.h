// TCursorThemeForm: a Windows cursor pack (an install.inf or an archive, or a folder) shown
// role by role before it becomes a cursor theme: each role's picture (animations playing at
// their delays), file and sizes, the pack's warnings and the theme's name; its install button
// writes the theme under ~/.icons as `vexil-cli cursor-theme` does and says how to choose it.
// The pack is read, planned and written by iconmod; the dialog only shows the plan.
#pragma once

#include <QDialog>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "iconmod/CursorTheme.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTableWidget;
class QTimer;

class TCursorThemeForm : public QDialog {
    Q_OBJECT

public:
    // prefix: the folder the theme goes in (its NAME folder below it).
    TCursorThemeForm(QWidget* parent, const std::string& prefix);
    ~TCursorThemeForm() override;

    // Reads the pack at `path` and shows its first choice (or the only one); false, with the
    // reason under the table, when it makes no theme.
    bool openPack(const std::string& path);
    // Writes the theme shown under the name typed; an existing theme of that name is replaced
    // only after the overwrite question. True when it was written.
    bool install();

    // Asks for a pack: an INF or archive file (folder false) or a folder; nullopt when
    // cancelled. The program's are Qt's own dialogs; tests install one that answers at once.
    using PackChooser = std::function<std::optional<std::string>(QWidget* parent, bool folder)>;
    static PackChooser setPackChooser(PackChooser chooser);

    const iconmod::CursorThemePlan* plan() const { return plan_ ? &*plan_ : nullptr; }
    QTableWidget* roleTable() const { return table_; }
    QListWidget* warningList() const { return warnings_; }
    QComboBox* schemeBox() const { return schemes_; }
    QLineEdit* nameEdit() const { return name_; }
    QLabel* statusLabel() const { return status_; }
    QPushButton* installButton() const { return install_; }
    // The step an animated role's row shows now (0 for a still one).
    std::size_t shownStep(formats::CursorRole role) const;

private:
    struct Animation {
        int row = 0;
        std::size_t role = 0;  // in plan_->roles
        std::size_t step = 0;
        QTimer* timer = nullptr;
    };

    void choose(bool folder);
    void planChoice(const std::string& scheme);
    void showPlan();
    void clearPlan();
    void showStep(Animation& animation);
    void updateInstall();

    std::string prefix_;
    std::optional<iconmod::CursorPack> pack_;
    std::optional<iconmod::CursorThemePlan> plan_;
    std::vector<Animation> animations_;
    QLabel* source_ = nullptr;
    QComboBox* schemes_ = nullptr;
    QTableWidget* table_ = nullptr;
    QListWidget* warnings_ = nullptr;
    QLineEdit* name_ = nullptr;
    QLabel* status_ = nullptr;
    QPushButton* install_ = nullptr;
};
