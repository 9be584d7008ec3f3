// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/text/csv_parser.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace tolvex
