#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

// Every test executable runs with a GUI application object (fonts and pictures need
// it), on the offscreen platform unless the caller chose another.
int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        const QByteArray runtime =
            QFile::encodeName(QDir::tempPath()) + "/vintra-runtime-" + QByteArray::number(getuid());
        mkdir(runtime.constData(), 0700);
        qputenv("XDG_RUNTIME_DIR", runtime);
    }
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
