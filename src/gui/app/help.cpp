#include "help.h"

#include "folivo-config.h"

#if FOLIVO_WITH_HELP
#include "kthelp.h"

#include <QApplication>
#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QPixmap>
#endif

namespace folivo::gui {

#if FOLIVO_WITH_HELP
namespace {

void configure(KTHelp& help)
{
    static bool done = false;
    if (done)
        return;
    done = true;
    // The installed book beside the program; a program run from its build tree reads the
    // book in the sources.
    const QString installed = QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/../share/folivo"));
    if (QFileInfo::exists(installed + QStringLiteral("/help/index.html")))
        help.setHelpBook(installed, QStringLiteral("help"));
    else
        help.setHelpBook(QStringLiteral(FOLIVO_SOURCE_ROOT), QStringLiteral("help"));
    const QIcon icon = QApplication::windowIcon();
    if (!icon.isNull()) {
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        if (icon.pixmap(64, 64).save(&buffer, "PNG"))
            help.setIcon(png);
    }
}

bool shown = false;

} // namespace
#endif

void gotoHelpAnchor(const QString& anchor)
{
#if FOLIVO_WITH_HELP
    KTHelp& help = KTHelp::sharedHelp();
    configure(help);
    help.showHelp({}, anchor);
    shown = true;
#else
    Q_UNUSED(anchor);
#endif
}

void terminateHelp()
{
#if FOLIVO_WITH_HELP
    if (shown)
        KTHelp::sharedHelp().terminate();
#endif
}

} // namespace folivo::gui
