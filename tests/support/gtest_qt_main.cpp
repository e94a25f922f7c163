// GoogleTest entry point with a Qt application object: a QCoreApplication for
// the unit and integration tests, a QApplication (TAVELIN_GUI_TESTS) for the
// tests that create widgets, timers and message boxes, on the offscreen
// platform under CTest. Listing the tests, as CTest's discovery does at build
// time, needs no application.
#ifdef TAVELIN_GUI_TESTS
#include <QApplication>
using TestApplication = QApplication;
#else
#include <QCoreApplication>
using TestApplication = QCoreApplication;
#endif

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

int main(int argc, char** argv)
{
    bool listing = false;
    for (int i = 1; i < argc; ++i)
        listing = listing || std::strcmp(argv[i], "--gtest_list_tests") == 0;

    std::unique_ptr<TestApplication> app;
    if (!listing) {
        app = std::make_unique<TestApplication>(argc, argv);
        TestApplication::setApplicationName(QStringLiteral("tavelin"));
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
