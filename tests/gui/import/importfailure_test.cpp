// What the window says when an import cannot be stored because of the disk.

#include "gui/guitest.h"

#include "app/appcontroller.h"
#include "mainwindow.h"

#include "prefs/ktprefs.h"
#include "prefs/launchdefaults.h"
#include "util/fs.h"

#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <cerrno>
#include <gtest/gtest.h>

using namespace folivo;
using namespace folivo::gui;

namespace {

struct RecordingController : AppController {
    using AppController::AppController;
    void alert(const QString& title, const QString& text) override { said << title + ' ' + text; }
    QStringList said;
};

} // namespace

TEST(ImportFailure, AFullDiskIsNamedInTheAlert)
{
    test::Scratch scratch;
    test::ScopedEnv config("XDG_CONFIG_HOME", scratch.file("config").toLocal8Bit());
    KTPrefs prefs(QStringLiteral("org.folivo.ImportFailureTest"));
    applyLaunchDefaults(prefs);
    const QString pkg = scratch.file("Household.fvdb");
    ASSERT_TRUE(fs::copyTree(test::fixturesDir() + "/Household.fvdb", pkg));
    const QString given = scratch.file("Given.txt");
    ASSERT_TRUE(test::writeAll(given, "given file\n"));

    // Every box that comes up (the one-time notice of the check, the import's alert) is
    // noted and answered, wherever it is parented.
    QStringList boxes;
    QTimer answerer;
    QObject::connect(&answerer, &QTimer::timeout, [&] {
        for (QWidget* w : QApplication::allWidgets())
            if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible() && !box->property("answered").toBool()) {
                box->setProperty("answered", true);
                boxes << box->windowTitle() + ' ' + box->text() + box->informativeText();
                QMetaObject::invokeMethod(box, [box] { box->accept(); }, Qt::QueuedConnection);
            }
    });
    answerer.start(10);
    RecordingController app(&prefs);
    MainWindow* window = app.openDatabase(pkg);
    ASSERT_TRUE(window);
    boxes.clear();
    app.said.clear();
    {
        fs::ScopedFault full([](fs::Op op, const QString&) {
            if (op != fs::Op::Copy)
                return false;
            fs::injectErrno(ENOSPC);
            return true;
        });
        app.openFiles({given});
        for (int i = 0; i < 100 && boxes.isEmpty() && app.said.isEmpty(); ++i)
            QTest::qWait(20);
    }
    const QString shown = (boxes + app.said).join('\n');
    EXPECT_TRUE(shown.contains("no space")) << shown.toStdString();
    EXPECT_FALSE(shown.contains("unknown reason")) << shown.toStdString();
    window->close();
}
