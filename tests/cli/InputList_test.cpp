// Inputs are refused by their kind before anything opens them, lists are read
// from streams, and names that are not UTF-8 become printable.
#include "cli/InputList.h"

#include "cli/CliError.h"
#include "cli/Text.h"
#include "tests/cli/CommandTestSupport.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

namespace {

using InputListTest = CommandTest;

TEST_F(InputListTest, EveryKindOfNonFileIsRefusedByName) {
    fs::create_directories(work_ / "folder");
    ASSERT_EQ(::mkfifo((work_ / "fifo").c_str(), 0600), 0);
    std::ofstream(work_ / "file.png") << "x";
    EXPECT_EQ(InputList::Refusal((work_ / "folder").string()), "is a folder");
    EXPECT_EQ(InputList::Refusal((work_ / "fifo").string()), "is a FIFO (special file), not an image file");
    EXPECT_EQ(InputList::Refusal("/dev/null"), "is a device (special file), not an image file");
    EXPECT_EQ(InputList::Refusal((work_ / "none.png").string()), "no such file");
    EXPECT_EQ(InputList::Refusal((work_ / "file.png/x").string()), "no such file");
    EXPECT_EQ(InputList::Refusal((work_ / "file.png").string()), "");
    if (::geteuid() != 0) {
        fs::permissions(work_ / "file.png", fs::perms::none);
        EXPECT_EQ(InputList::Refusal((work_ / "file.png").string()), "permission denied");
    }
}

TEST_F(InputListTest, DashAndListFileAddTheirLines) {
    std::ofstream(work_ / "list.txt") << "c.png\r\n\nd e.png\n";
    std::istringstream standardInput("a.png\nb.png");
    const auto inputs = InputList::Gather({"x.png", "-", "y.png", "-"}, standardInput, (work_ / "list.txt").string());
    EXPECT_EQ(inputs, (std::vector<std::string>{"x.png", "a.png", "b.png", "y.png", "c.png", "d e.png"}));
    std::istringstream none;
    EXPECT_THROW(InputList::Gather({}, none, (work_ / "nothere.txt").string()), CliError);
}

struct PrintableCase {
    std::string bytes;
    std::string shown;
};

class PrintableTest : public ::testing::TestWithParam<PrintableCase> {};

TEST_P(PrintableTest, KeepsUtf8AndEscapesTheRest) { EXPECT_EQ(text::Printable(GetParam().bytes), GetParam().shown); }

INSTANTIATE_TEST_SUITE_P(Cases, PrintableTest,
                         ::testing::Values(PrintableCase{"plain.tif", "plain.tif"},
                                           PrintableCase{"caf\xC3\xA9.tif", "caf\xC3\xA9.tif"},
                                           PrintableCase{"caf\xE9.tif", "caf\\xE9.tif"},
                                           PrintableCase{"\xC0\xAF", "\\xC0\\xAF"},           // overlong '/'
                                           PrintableCase{"\xED\xA0\x80", "\\xED\\xA0\\x80"},  // a surrogate
                                           PrintableCase{"\xF0\x9F\x93\x84", "\xF0\x9F\x93\x84"},
                                           PrintableCase{"end\xE2\x82", "end\\xE2\\x82"}));

TEST(TextTest, HresultsInHex) {
    EXPECT_EQ(text::Hex(E_INVALIDARG), "0x80070057");
    EXPECT_EQ(text::Hex(S_OK), "0x00000000");
    EXPECT_EQ(text::Lower("RotationAngle"), "rotationangle");
}

}  // namespace
