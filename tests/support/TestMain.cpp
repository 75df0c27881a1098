#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Windows remember recent files in the user's configuration: the tests keep theirs apart.
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    testing::InitGoogleTest(&argc, argv);
    Q_INIT_RESOURCE(tolvane);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
