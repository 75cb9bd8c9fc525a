#include "platform/Paths.h"

#include <QGuiApplication>
#include <gtest/gtest.h>

// Every test executable runs with a GUI application object (fonts and pictures need
// it), on the offscreen platform unless the caller chose another.
int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    platform::EnsureRuntimeDir();
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
