// The GUI tests need a QApplication; they run on the offscreen platform (set by CTest,
// and here when nothing else was chosen) so no display is needed.

#include "browser/itemicons.h"

#include <QApplication>
#include <gtest/gtest.h>

namespace {

QtMessageHandler defaultHandler = nullptr;

// The offscreen platform says on every window that it cannot do what a window manager
// does; that is expected and would bury the output that matters.
void quietHandler(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (message.startsWith(QLatin1String("This plugin does not support")))
        return;
    defaultHandler(type, context, message);
}

} // namespace

int main(int argc, char** argv)
{
    defaultHandler = qInstallMessageHandler(quietHandler);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Folivo"));
    QApplication::setOrganizationName(QStringLiteral("folivo"));
    QApplication::setQuitOnLastWindowClosed(false);
    folivo::gui::ItemIcons::ensureIconTheme();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
