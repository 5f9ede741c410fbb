// Test runner: one GoogleTest binary. When the Qt forms are built in, a QApplication
// exists for the whole run, on the offscreen platform unless the caller chose another.
#include <gtest/gtest.h>

#include <cstdlib>

#ifdef VEXIL_WITH_GUI
#include <QApplication>
#endif

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
#ifdef VEXIL_WITH_GUI
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
#else
  return RUN_ALL_TESTS();
#endif
}
