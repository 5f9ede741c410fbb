// TIconSetForm: asks where an icon set goes and under which name, for the window's command
// that writes the current icon as a launcher icon set (hicolor/<N>x<N>/apps/NAME.png). It
// only collects the folder and the name; iconmod::writeIconTheme writes the files.
#pragma once

#include <QDialog>
#include <functional>
#include <optional>
#include <string>

class QLineEdit;
class QPushButton;

class TIconSetForm : public QDialog {
    Q_OBJECT

public:
    static const char* const kCaption;        // "ｱｲｺﾝｾｯﾄの作成"
    static const char* const kFolderLabel;    // "保存先ﾌｫﾙﾀﾞ(&D):"
    static const char* const kBrowse;         // "参照(&R)..."
    static const char* const kNameLabel;      // "名前(&N):"
    static const char* const kNameHint;       // which characters a name may hold
    static const char* const kChooseCaption;  // the folder chooser's caption
    static const char* const kCancel;         // "ｷｬﾝｾﾙ"

    // folder and name are offered as they are (bytes, shown as text).
    TIconSetForm(QWidget* parent, const std::string& folder, const std::string& name);
    ~TIconSetForm() override;

    // The folder as the file system takes it: the bytes offered or chosen, or the text typed.
    const std::string& folder() const { return folder_; }
    std::string name() const;

    // Asks for a folder, starting at `start`; nullopt when cancelled. The program's is a
    // QFileDialog; tests install one that answers at once.
    using FolderChooser = std::function<std::optional<std::string>(QWidget* parent, const std::string& start)>;
    static FolderChooser setFolderChooser(FolderChooser chooser);

    QLineEdit* folderEdit() const { return folderEdit_; }
    QLineEdit* nameEdit() const { return nameEdit_; }
    QPushButton* browseButton() const { return browse_; }
    QPushButton* okButton() const { return ok_; }

private:
    void browseClick();
    void updateOk();

    std::string folder_;
    QLineEdit* folderEdit_ = nullptr;
    QLineEdit* nameEdit_ = nullptr;
    QPushButton* browse_ = nullptr;
    QPushButton* ok_ = nullptr;
};
