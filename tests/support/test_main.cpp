#include "core/log.h"

#include <QGuiApplication>

#include <gtest/gtest.h>

// A GUI application when a display is there (desktop tests), else a core one.
int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    std::unique_ptr<QCoreApplication> app;
    if (qEnvironmentVariableIsSet("DISPLAY") && qEnvironmentVariableIsSet("ZELK_TEST_GUI"))
        app = std::make_unique<QGuiApplication>(argc, argv);
    else
        app = std::make_unique<QCoreApplication>(argc, argv);
    zelk::Log::installMessageFormat();
    return RUN_ALL_TESTS();
}
