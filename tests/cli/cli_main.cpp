// The test program of the command line: commands run inside it as they run in folivo-cli,
// which has an application object with the same name.

#include <QCoreApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Folivo"));
    return RUN_ALL_TESTS();
}
