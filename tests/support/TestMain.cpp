#include "platform/Paths.h"

#include <QApplication>
#include <gtest/gtest.h>

// Every test executable runs with an application object that can make widgets (fonts,
// pictures and windows need it), on the offscreen platform unless the caller chose another.
int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    platform::EnsureRuntimeDir();
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
