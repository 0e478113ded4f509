#include <gtest/gtest.h>

#include <QTemporaryDir>
#ifdef QB_TEST_WIDGETS
// The program's own application object, with its guard for errors no handler catches.
#include "app/Program.h"
using TestApplication = QuillbayApplication;
#else
// The widget-free layers are tested without the widget library.
#include <QGuiApplication>
using TestApplication = QGuiApplication;
#endif

#include "TestEnvironment.h"

int main(int argc, char** argv) {
    // Widgets run headless; CTest also runs this binary at build time to list tests.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // A process-wide private home, so that even code run outside a test fixture
    // never touches the user's files.
    qbtest::TempHome home;
    TestApplication app(argc, argv);
    TestApplication::setApplicationName("Quillbay");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
