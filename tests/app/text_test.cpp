// CP932 on Qt: what only the Qt back-end decides (the conversions themselves:
// the toolkit's contract, tests/toolkit).
#include "app/toolkit/text.h"
#include "app/toolkit/qt/qt_text.h"

#include <gmock/gmock.h>

namespace {

class InvalidCp932Test : public ::testing::TestWithParam<std::pair<std::string_view, std::u16string_view>> {};

TEST_P(InvalidCp932Test, BecomesSubstituteCharacterWithNeighboursKept) {
  EXPECT_EQ(tk::FromCp932(GetParam().first), QString::fromStdU16String(std::u16string(GetParam().second)));
}

INSTANTIATE_TEST_SUITE_P(
    Bytes, InvalidCp932Test,
    ::testing::Values(
        // A lead byte at the very end.
        std::pair<std::string_view, std::u16string_view>{std::string_view("x\x81", 2), u"x\x1a"},
        // A lead byte before a byte that cannot follow it.
        std::pair<std::string_view, std::u16string_view>{std::string_view("x\x81 y", 4), u"x\x1a y"},
        // A byte that is no character at all.
        std::pair<std::string_view, std::u16string_view>{std::string_view("\xffz", 2), u"\x1az"},
        // A line feed of the text's own at the end stays.
        std::pair<std::string_view, std::u16string_view>{std::string_view("a\n", 2), u"a\n"}));

}  // namespace
