// gtest main for the widget tests: one QApplication, offscreen unless the
// environment picks a platform, set up as id-reader sets itself up.

#include <QApplication>

#include <gtest/gtest.h>

#include "app/gui/application.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    idr::prepare_application(app);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
