#include "core/log.h"

#include <QGuiApplication>

#include <gtest/gtest.h>

// A GUI application when a display is there (desktop tests), else a core one.
int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // Tests find the sources (tools, shared data) and the built programs through these.
    if (!qEnvironmentVariableIsSet("ZELK_SOURCE_DIR"))
        qputenv("ZELK_SOURCE_DIR", ZELK_TEST_SOURCE_DIR);
    if (!qEnvironmentVariableIsSet("ZELK_BUILD_DIR"))
        qputenv("ZELK_BUILD_DIR", ZELK_TEST_BUILD_DIR);
    std::unique_ptr<QCoreApplication> app;
    if (qEnvironmentVariableIsSet("DISPLAY") && qEnvironmentVariableIsSet("ZELK_TEST_GUI"))
        app = std::make_unique<QGuiApplication>(argc, argv);
    else
        app = std::make_unique<QCoreApplication>(argc, argv);
    zelk::Log::installMessageFormat();
    return RUN_ALL_TESTS();
}
