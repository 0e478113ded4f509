#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>

#include "TestEnvironment.h"

int main(int argc, char** argv) {
    // Widgets run headless; CTest also runs this binary at build time to list tests.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // A process-wide private home, so that even code run outside a test fixture
    // never touches the user's files.
    qbtest::TempHome home;
    QApplication app(argc, argv);
    QApplication::setApplicationName("Quillbay");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
