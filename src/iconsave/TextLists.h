// The icon save dialog's two lists as the group and image logic sees them. Each item keeps
// its text's bytes beside the display text, so a name reads back exactly as it was listed.
// Selecting by code raises no change signal (as a user's click would).
#pragma once

#include <string>

#include "iconmod/IconGroups.h"

class QComboBox;
class QListWidget;

class ListBoxTextList final : public iconmod::TextList {
public:
    ListBoxTextList(QListWidget* list, int itemHeight) : list_(list), itemHeight_(itemHeight) {}
    void clear() override;
    void append(const std::string& text) override;
    int count() const override;
    std::string textAt(int index) const override;
    int selected() const override;
    void setSelected(int index) override;

private:
    QListWidget* list_;
    int itemHeight_;
};

class ComboTextList final : public iconmod::TextList {
public:
    explicit ComboTextList(QComboBox* combo) : combo_(combo) {}
    void clear() override;
    void append(const std::string& text) override;
    int count() const override;
    std::string textAt(int index) const override;
    int selected() const override;
    void setSelected(int index) override;

private:
    QComboBox* combo_;
};
