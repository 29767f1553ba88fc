#pragma once
// A test base that generates the fixture packages once per test program and hands each
// test private copies of them.

#include "store/tree.h"
#include "support/fakeui.h"
#include "support/testsupport.h"
#include "util/fs.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <functional>
#include <gtest/gtest.h>

namespace folivo::test {

class Fixtures : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        fixtures_ = new Scratch;
        ASSERT_TRUE(folivo::test::makeFixtures(fixtures_->path()));
        manifest_ = QJsonDocument::fromJson(folivo::test::readAll(fixtures_->file("manifest.json"))).object();
    }
    static void TearDownTestSuite()
    {
        delete fixtures_;
        fixtures_ = nullptr;
    }
    // A private copy of a fixture package that a test may change.
    QString copyOf(const QString& name)
    {
        const QString to = scratch_.file(name);
        EXPECT_TRUE(fs::copyTree(fixtures_->file(name), to)) << fs::lastError().toStdString();
        return to;
    }
    static QStringList manifestPaths(const QString& name)
    {
        QStringList out;
        for (const auto& v : manifest_.value(name).toObject().value("paths").toArray())
            out << v.toString();
        return out;
    }
    static QStringList preOrder(const IndexTree& tree)
    {
        QStringList out;
        std::function<void(const ItemList&)> walk = [&](const ItemList& items) {
            for (const auto& i : items) {
                out << i->path();
                if (!i->isSmartFolder())
                    walk(i->children());
            }
        };
        walk(tree.categoriesArray());
        return out;
    }

    static inline Scratch* fixtures_ = nullptr;
    static inline QJsonObject manifest_;
    Scratch scratch_;
    FakeUi ui_;
};

} // namespace folivo::test
