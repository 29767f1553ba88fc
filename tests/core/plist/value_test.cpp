#include "plist/value.h"

#include <gtest/gtest.h>

using namespace folivo::plist;

TEST(PlistValue, KeepsTypesDistinct)
{
    EXPECT_NE(Value(true), Value(1));
    EXPECT_NE(Value(1), Value(UnsignedInt{1}));
    EXPECT_NE(Value(1.0), Value(Date{1.0}));
    EXPECT_NE(Value(QString("a")), Value(QByteArray("a")));
    EXPECT_EQ(Value(true).toInt(), 1);
    EXPECT_TRUE(Value(2.5).toBool());
    EXPECT_FALSE(Value(QString("1")).toBool());
}

TEST(PlistValue, DictKeepsOrderAndReplacesInPlace)
{
    Dict d{{"b", 1}, {"a", 2}};
    d.set("b", 3);
    d.set("c", 4);
    std::vector<QString> keys;
    for (const auto& e : d)
        keys.push_back(e.first);
    EXPECT_EQ(keys, (std::vector<QString>{"b", "a", "c"}));
    EXPECT_EQ(*d.find("b"), Value(3));
    EXPECT_TRUE(d.remove("a"));
    EXPECT_FALSE(d.remove("a"));
    EXPECT_EQ(d, (Dict{{"c", 4}, {"b", 3}}));
}
