// The child widget of a form by its object name, failing the test when there is none.
#pragma once

#include <gtest/gtest.h>

#include <QString>
#include <QWidget>

namespace fixtures {

template <class T>
T* uiChild(QWidget* form, const char* name) {
    T* w = form->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
}

}  // namespace fixtures
