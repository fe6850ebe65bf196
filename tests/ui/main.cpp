// The Qt window tests: one QApplication for the whole run, on the X server
// named by DISPLAY (ctest gives each test its own through
// scripts/with-xvfb.sh), unless QT_QPA_PLATFORM chooses another platform.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdio>

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (GTEST_FLAG_GET(list_tests)) return RUN_ALL_TESTS();
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "xcb");
  if (qgetenv("QT_QPA_PLATFORM") == "xcb" && qEnvironmentVariableIsEmpty("DISPLAY")) {
    std::fprintf(stderr, "The window tests need an X server: scripts/with-xvfb.sh %s\n", argv[0]);
    return 1;
  }
  QApplication app(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  return RUN_ALL_TESTS();
}
