#include "util/result.h"

#include <gtest/gtest.h>

#include <memory>

namespace folivo {
namespace {

Result<std::unique_ptr<int>> made(bool succeed)
{
    if (!succeed)
        return Error{ErrorCode::DiskError, QStringLiteral("Writing attributes file of"), QStringLiteral("Bank/.+Visa"),
                     QStringLiteral("No space left on device")};
    return std::make_unique<int>(42);
}

TEST(Result, CarriesAMoveOnlyValueOrTheWholeError)
{
    Result<std::unique_ptr<int>> good = made(true);
    ASSERT_TRUE(good.ok());
    std::unique_ptr<int> taken = std::move(good).value();
    ASSERT_TRUE(taken);
    EXPECT_EQ(*taken, 42);

    const Result<std::unique_ptr<int>> bad = made(false);
    ASSERT_FALSE(bad);
    EXPECT_EQ(bad.error().code, ErrorCode::DiskError);
    EXPECT_EQ(bad.error().step, "Writing attributes file of");
    EXPECT_EQ(bad.error().path, "Bank/.+Visa");
    EXPECT_EQ(bad.error().detail, "No space left on device");

    const Result<QString> missing = Error{ErrorCode::NotFound, {}, QStringLiteral("Bank"), {}};
    EXPECT_EQ(missing.valueOr(QStringLiteral("none")), "none");
    EXPECT_EQ(Result<QString>(QStringLiteral("Bank/Visa")).valueOr(QStringLiteral("none")), "Bank/Visa");

    const Result<void> done;
    EXPECT_TRUE(done.ok());
    const Result<void> refused = Error{ErrorCode::Refused, {}, {}, QStringLiteral("The database cannot be changed.")};
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().detail, "The database cannot be changed.");
}

TEST(Result, ADescriptionLeavesOutWhatIsEmpty)
{
    struct Case {
        Error error;
        const char* expected;
    } const cases[] = {
        {{ErrorCode::DiskError, "Moving item to", "Bank/Visa", "Permission denied"}, "Moving item to Bank/Visa: Permission denied"},
        {{ErrorCode::DiskError, "Moving item to", "Bank/Visa", {}}, "Moving item to Bank/Visa"},
        {{ErrorCode::NotFound, {}, "Bank/Visa", "no such item"}, "Bank/Visa: no such item"},
        {{ErrorCode::Refused, {}, {}, "The database cannot be changed."}, "The database cannot be changed."},
        {{ErrorCode::Failed, "Deleting item", {}, {}}, "Deleting item"},
        {{}, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.error.describe(), QString::fromUtf8(c.expected)) << c.expected;
}

} // namespace
} // namespace folivo
