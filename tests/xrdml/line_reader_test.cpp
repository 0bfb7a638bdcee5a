// LineReader: line ends, long lines, the last line without a line end.
#include <gtest/gtest.h>

#include "g_f/files.h"
#include "support.h"

namespace orvalt::xrdml::test {
namespace {

std::vector<std::string> read_lines(const std::string& path) {
    LineReader r(path);
    std::vector<std::string> out;
    std::string_view line;
    while (r.next(line)) out.emplace_back(line);
    return out;
}

TEST(LineReader, LineEnds) {
    TempDir dir;
    using V = std::vector<std::string>;
    EXPECT_EQ(read_lines(dir.write("empty", "")), V{});
    EXPECT_EQ(read_lines(dir.write("lf", "a\n\nbc\n")), (V{"a", "", "bc"}));
    EXPECT_EQ(read_lines(dir.write("crlf", "a\r\n\r\nbc\r\n")), (V{"a", "", "bc"}));
    EXPECT_EQ(read_lines(dir.write("last", "a\nbc")), (V{"a", "bc"}));
    EXPECT_EQ(read_lines(dir.write("lone_lf", "\n")), V{""});
    // A CR ends a line only before LF or at the end of the file.
    EXPECT_EQ(read_lines(dir.write("cr", "a\rb\r\nc\r")), (V{"a\rb", "c"}));
}

// Lines across block boundaries and far longer than a block, with a CRLF split
// between two blocks.
TEST(LineReader, LongLinesAndBlockBoundaries) {
    TempDir dir;
    std::vector<std::string> expected;
    std::string bytes;
    std::uint32_t state = 12345;
    const std::size_t block = LineReader::block_size;
    for (int i = 0; i < 400; ++i) {
        state = state * 1664525u + 1013904223u;
        std::size_t len = state % 3000;
        if (i % 97 == 0) len = block * 2 + state % 70000;  // longer than a block
        std::string l(len, 'x');
        for (std::size_t k = 0; k < len; k += 97) l[k] = static_cast<char>('a' + k % 26);
        expected.push_back(l);
        bytes += l + (i % 2 ? "\r\n" : "\n");
    }
    expected.push_back(std::string(block - 1, 'y'));  // a block minus one, then CR at the edge
    bytes += expected.back() + "\r\n";
    expected.push_back(std::string(block + 7, 'z'));  // a long last line without line end
    bytes += expected.back();
    EXPECT_EQ(read_lines(dir.write("long", bytes)), expected);
}

}  // namespace
}  // namespace orvalt::xrdml::test
