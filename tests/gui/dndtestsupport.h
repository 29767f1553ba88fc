#pragma once
// Open databases with a browser model over them, for the rename and drag-and-drop tests.

#include "gui/guitest.h"
#include "support/fakeui.h"

#include "browser/treemodel.h"

#include "store/mydocument.h"
#include "util/fs.h"

#include <QAbstractItemModelTester>
#include <QLoggingCategory>
#include <gtest/gtest.h>
#include <memory>

namespace folivo::test {

// One open database and its model.
struct OpenDb {
    FakeUi ui;
    std::unique_ptr<MyDocument> doc;
    std::unique_ptr<gui::TreeModel> model;

    IndexItem* item(const QString& path) const { return doc->tree().itemForPath(path); }
    QModelIndex index(const QString& path) const { return model->indexForItem(item(path)); }
    QString abs(const QString& path) const { return doc->dbPath() + '/' + path; }
};

// A private copy of the fixture package `name` as `as`, opened.
inline std::unique_ptr<OpenDb> openCopy(const Scratch& scratch, const QString& name, const QString& as,
                                        const QStringList& passwords = {})
{
    auto db = std::make_unique<OpenDb>();
    const QString to = scratch.file(as);
    if (!fs::copyTree(fixturesDir() + '/' + name, to)) {
        ADD_FAILURE() << "copy of " << name.toStdString() << " failed";
        return nullptr;
    }
    db->ui.passwords = passwords;
    db->doc = std::make_unique<MyDocument>(db->ui);
    const OpenResult r = db->doc->openDatabase(to);
    if (!r.ok()) {
        ADD_FAILURE() << "open failed: " << r.message.toStdString();
        return nullptr;
    }
    db->model = std::make_unique<gui::TreeModel>(*db->doc);
    return db;
}

// Counts the failures a QAbstractItemModelTester reports while it lives.
class ModelTesterFailures {
public:
    ModelTesterFailures()
    {
        count_ = 0;
        previous_ = qInstallMessageHandler(&ModelTesterFailures::handler);
    }
    ~ModelTesterFailures() { qInstallMessageHandler(previous_); }
    int count() const { return count_; }

private:
    static void handler(QtMsgType type, const QMessageLogContext& context, const QString& message)
    {
        if (type != QtDebugMsg && context.category && QByteArray(context.category) == "qt.modeltest") {
            ++count_;
            ADD_FAILURE() << message.toStdString();
        }
    }
    static inline int count_ = 0;
    QtMessageHandler previous_ = nullptr;
};

} // namespace folivo::test
