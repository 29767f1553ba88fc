// Reading logins exported by other password keepers: the field reader, the decoding of the
// file, and what each row makes.

#include "logins/loginimport.h"
#include "logins/loginrecord.h"

#include <gtest/gtest.h>

namespace folivo {
namespace {

using Rows = QList<QStringList>;

struct ReaderCase {
    const char* what;
    const char* text;
    LoginSeparator separator;
    Rows rows;
};

TEST(LoginImportReader, ReadsFieldsAsSpreadsheetsWriteThem)
{
    const QList<ReaderCase> cases{
        {"the export header is left out", "Title,URL,Username,Password,Notes\nBank,https://b,jane,pw,\n",
         LoginSeparator::Comma, {{"Bank", "https://b", "jane", "pw", ""}}},
        {"a doubled quote inside a quoted field", "\"Say \"\"hi\"\"\",x\n", LoginSeparator::Comma,
         {{"Say \"hi\"", "x"}}},
        {"quoted: separators, line ends and runs of spaces verbatim",
         "Bank,\"a, b\",\"line one\nline  two\r\nthree\"\n", LoginSeparator::Comma,
         {{"Bank", "a, b", "line one\nline  two\r\nthree"}}},
        {"unquoted: leading spaces dropped, runs of spaces made one", "  My   Bank ;  x  y\n",
         LoginSeparator::Semicolon, {{"My Bank ", "x y"}}},
        {"CR, LF and CR LF end lines; empty lines vanish", "a,1\r\nb,2\rc,3\n\n\r\nd,4", LoginSeparator::Comma,
         {{"a", "1"}, {"b", "2"}, {"c", "3"}, {"d", "4"}}},
        {"with tabs quotes are plain characters", "\"a\tb\"\tc\n", LoginSeparator::Tab, {{"\"a", "b\"", "c"}}},
        {"only the first nine fields", "1,2,3,4,5,6,7,8,9,10,11\n", LoginSeparator::Comma,
         {{"1", "2", "3", "4", "5", "6", "7", "8", "9"}}},
        {"empty fields keep their places", "a,,c,\n", LoginSeparator::Comma, {{"a", "", "c", ""}}},
        {"a quote inside an unquoted field is a character", "O\"Brien,x\n", LoginSeparator::Comma,
         {{"O\"Brien", "x"}}},
        {"a quoted field left open keeps what it had", "a,\"open\nstill", LoginSeparator::Comma,
         {{"a", "open\nstill"}}},
        {"no length limit", nullptr, LoginSeparator::Comma, {}},
    };
    for (const ReaderCase& c : cases) {
        SCOPED_TRACE(c.what);
        if (!c.text) {
            const QString longNote(20000, u'n');
            const Rows rows = readLoginRows("Bank,\"" + longNote + "\"\n", c.separator);
            ASSERT_EQ(rows.size(), 1);
            EXPECT_EQ(rows[0][1].size(), 20000);
            continue;
        }
        EXPECT_EQ(readLoginRows(QString::fromUtf8(c.text), c.separator), c.rows);
    }
}

TEST(LoginImportReader, DecodesUtf8WithOrWithoutItsMarkAndFallsBackToWindows1252)
{
    EXPECT_EQ(decodeLoginFile("\xEF\xBB\xBF" "Caf\xC3\xA9,\xE2\x82\xAC"), QString::fromUtf8("Café,€"));
    EXPECT_EQ(decodeLoginFile("Caf\xC3\xA9"), QString::fromUtf8("Café"));
    // Not UTF-8: the bytes of an older export.
    EXPECT_EQ(decodeLoginFile("Caf\xE9 \x80 \x93x\x94"), QString::fromUtf8("Café € “x”"));
    // The header check sees the text after the mark.
    EXPECT_TRUE(readLoginRows(decodeLoginFile("\xEF\xBB\xBFTitle,URL,Username,Password,Notes\n"),
                              LoginSeparator::Comma)
                    .isEmpty());
}

TEST(LoginImportRows, EachRowMakesAValidFolderOrStaysListed)
{
    const QList<LoginColumn> columns = exportHeaderColumns();
    const LoginImportRow bank = planLoginImportRow({"Bank", "https://b", "jane", "s3cret", "a note"}, columns);
    EXPECT_TRUE(bank.problem.isEmpty());
    EXPECT_EQ(bank.name, "Bank");
    EXPECT_EQ(bank.keys, (QList<std::pair<QString, QString>>{{loginkeys::URL, "https://b"},
                                                               {loginkeys::UserID, "jane"},
                                                               {loginkeys::Password, "s3cret"},
                                                               {"Notes", "a note"}}));

    // A row shorter than the columns imports what it has; a later name position is no crash.
    const LoginImportRow shortRow = planLoginImportRow({"Mail", "https://m"}, columns);
    EXPECT_TRUE(shortRow.problem.isEmpty());
    EXPECT_EQ(shortRow.keys.size(), 1);
    const QList<LoginColumn> nameLast{LoginColumn::URL, LoginColumn::Password, LoginColumn::Name};
    EXPECT_FALSE(planLoginImportRow({"https://x", "pw"}, nameLast).problem.isEmpty()) << "no name field";

    struct NameCase {
        QString field;
        QString name; // empty: the row stays listed
    };
    const QList<NameCase> names{
        {".hidden/with slash", "hidden-with slash"},
        {"..", "Untitled"},
        {"   ", ""},
        {"", ""},
        {QString(300, u'x'), QString(243, u'x')},
    };
    for (const NameCase& c : names) {
        SCOPED_TRACE(c.field.left(20).toStdString());
        const LoginImportRow r = planLoginImportRow({c.field, "https://x"}, columns);
        if (c.name.isEmpty()) {
            EXPECT_FALSE(r.problem.isEmpty());
        } else {
            EXPECT_TRUE(r.problem.isEmpty());
            EXPECT_EQ(r.name, c.name);
        }
    }
    const LoginImportRow blank = planLoginImportRow({"", " ", ""}, columns);
    EXPECT_TRUE(blank.empty) << "dropped without a word";

    EXPECT_EQ(loginColumnNamed("User1"), LoginColumn::UserID1);
    EXPECT_EQ(loginColumnNamed("pass"), std::nullopt);
}

} // namespace
} // namespace folivo
