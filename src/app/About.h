// TAboutForm, the About box: the program's icon, name and version, and an OK button. It is
// created for one showing; the main window centres it over itself.
#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class TAboutForm;
}

class TAboutForm : public QDialog {
    Q_OBJECT

public:
    static constexpr int kClientWidth = 292;  // as designed
    static constexpr int kClientHeight = 99;
    // The name line before the version: "Vexil アイコン抽出 Ver" and then "1.07".
    static const char* const kTitleText;

    // screenHeight 0: the height of the screen the box opens on.
    explicit TAboutForm(QWidget* parent = nullptr, int screenHeight = 0);
    ~TAboutForm() override;

    int scaleFactor() const { return scale_; }

private:
    void FormCreate(int screenHeight);

    std::unique_ptr<Ui::TAboutForm> ui;
    int scale_ = 1;
};
