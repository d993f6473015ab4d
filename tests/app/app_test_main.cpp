#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

// Widgets need one QApplication for the whole test program, created before any test runs.
int main(int argc, char** argv) {
  if (std::getenv("QT_QPA_PLATFORM") == nullptr)
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
  ::testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
