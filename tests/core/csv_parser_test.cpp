// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/text/csv_parser.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace tolvex {
namespace {

using Fields = std::vector<std::string>;

TEST(CsvParser, ParseCSVLineFollowsItsFourStates)
{
    const struct {
        std::string line;
        char sep;
        Fields fields;
    } cases[] = {
        {"a,\"b,c\",\"d\"\"e\",", ',', {"a", "b,c", "d\"e", ""}},
        {"", ',', {}},
        {",", ',', {"", ""}},
        {"ab,cd", ',', {"ab", "cd"}},
        {",,a", ',', {"", "", "a"}},
        {"a\"b,c", ',', {"a\"b", "c"}},  // quotes inside an unquoted field are ordinary
        {"\"abc", ',', {}},              // quoted field open at the end of the line
        {"\"ab\"", ',', {"ab"}},
        {"\"ab\"x,y", ',', {}},      // after a closing quote everything but a quote is dropped
        {"x,\"ab\"\"", ',', {"x"}},  // line ends in the after-quote state
        {"1\t2\t\"3\t4\"", '\t', {"1", "2", "3\t4"}},
    };
    for (const auto& c : cases) {
        Fields out;
        ParseCSVLine(c.line, out, c.sep);
        EXPECT_EQ(out, c.fields) << c.line;
    }
}

TEST(CsvParser, ReadsLinesSkippingTheHeaderWhenAsked)
{
    const auto path = std::filesystem::temp_directory_path() / "tolvex_csv_parser_test.csv";
    {
        std::ofstream f(path, std::ios::binary);
        f << "name\tvalue\r\nA\t1\r\n\"B\tC\"\t2\n";
    }
    TwpsCsvParser p;
    p.IgnoreFirstLine = true;
    p.SetValueSeparatorType(vsTab);
    p.LoadFromFile(path.string());
    ASSERT_TRUE(p.ReadLn());
    EXPECT_EQ(p.Fields(), (Fields{"A", "1"}));
    ASSERT_TRUE(p.ReadLn());
    EXPECT_EQ(p.Fields(), (Fields{"B\tC", "2"}));
    EXPECT_FALSE(p.ReadLn());
    EXPECT_TRUE(p.Fields().empty());
    p.Close();
    EXPECT_FALSE(p.ReadLn());
    std::filesystem::remove(path);

    TwpsCsvParser missing;
    EXPECT_THROW(missing.LoadFromFile((path.parent_path() / "no-such-dir" / "x.csv").string()), TolvexError);
    EXPECT_FALSE(missing.IsFileOpen());
}

}  // namespace
}  // namespace tolvex
