#include "shell/file_rules.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Path = std::u16string;

// Walks a listing the way the shell walks FindFirstFileW/FindNextFileW.
NeighbourWalk walk_listing(const std::vector<Path>& listing, const Path& current) {
    NeighbourWalk walk;
    neighbour_walk_start(&walk, current.c_str());
    for (const Path& name : listing) {
        if (!neighbour_walk_take(&walk, name.c_str())) break;
    }
    return walk;
}

// The path requested after stepping in direction (0 previous, 2 next) from
// the file on show, or "" when the step is refused.
Path step(const std::vector<Path>& listing, const Path& on_show, uint32_t direction) {
    std::vector<char16_t> requested(PATH_CAPACITY, 0);
    std::copy(on_show.begin(), on_show.end(), requested.begin());
    NeighbourWalk walk = walk_listing(listing, on_show.substr(directory_prefix_length(on_show.c_str())));
    if (!splice_neighbour(&walk, direction, requested.data())) return u"";
    return Path(requested.data());
}

}  // namespace

TEST(FileRules, GifSuffix) {
    struct Case {
        Path path;
        bool accepted;
    };
    const Case cases[] = {
        {u"a.gif", true},  {u"A.GIF", true},   {u"x.GiF", true},    {u".gif", false},
        {u"gif", false},   {u"", false},       {u"a.gifv", false},  {u"a.jpg", false},
        {u"a,gif", false}, {u"C:\\d\\b.gIf", true}, {u"a.g\u0130f", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(has_gif_suffix(c.path.c_str()), c.accepted) << std::string(c.path.begin(), c.path.end());
    }
}

TEST(FileRules, NeighbourFlagsForEachPlaceInTheListing) {
    const std::vector<Path> abc = {u"a.gif", u"b.gif", u"c.gif"};
    struct Case {
        const char* what;
        std::vector<Path> listing;
        Path current;
        uint32_t flags;
    };
    const Case cases[] = {
        {"alone", {u"a.gif"}, u"a.gif", 0},
        {"first", abc, u"a.gif", NEIGHBOUR_NEXT},
        {"middle", abc, u"b.gif", NEIGHBOUR_NEXT | NEIGHBOUR_PREVIOUS},
        {"last", abc, u"c.gif", NEIGHBOUR_PREVIOUS},
        {"not in the listing (deleted)", abc, u"x.gif", 0},
        {"letter case differs", abc, u"B.GIF", 0},
        {"empty folder", {}, u"a.gif", 0},
    };
    for (const Case& c : cases) EXPECT_EQ(walk_listing(c.listing, c.current).flags, c.flags) << c.what;
}

TEST(FileRules, StepsToTheNeighbourWithoutWrapping) {
    const std::vector<Path> abc = {u"a.gif", u"b.gif", u"c.gif"};
    EXPECT_EQ(step(abc, u"C:\\pics\\b.gif", 0), u"C:\\pics\\a.gif");
    EXPECT_EQ(step(abc, u"C:\\pics\\b.gif", 2), u"C:\\pics\\c.gif");
    EXPECT_EQ(step(abc, u"C:\\pics\\a.gif", 0), u"");
    EXPECT_EQ(step(abc, u"C:\\pics\\c.gif", 2), u"");
    EXPECT_EQ(step(abc, u"C:\\pics\\B.GIF", 2), u"");
}

TEST(FileRules, ShortNameMatchesAreSkipped) {
    // A pattern "*.gif" also matches clip.gifv through its 8.3 name.
    const std::vector<Path> listing = {u"a.gif", u"clip.gifv", u"b.gif", u"notes.gif.txt", u"c.gif"};
    EXPECT_EQ(step(listing, u"C:\\p\\b.gif", 0), u"C:\\p\\a.gif");
    EXPECT_EQ(step(listing, u"C:\\p\\b.gif", 2), u"C:\\p\\c.gif");
    EXPECT_EQ(step(listing, u"C:\\p\\a.gif", 2), u"C:\\p\\b.gif");
}

TEST(FileRules, FoldersNamedLikeGifFilesCount) {
    const std::vector<Path> listing = {u"a.gif", u"folder.gif", u"b.gif"};
    EXPECT_EQ(step(listing, u"C:\\p\\a.gif", 2), u"C:\\p\\folder.gif");
}

TEST(FileRules, TooLongResultsAreRefused) {
    // A neighbour name of 256 units or more does not fit its buffer.
    Path long_name = Path(252, u'n') + u".gif";
    EXPECT_EQ(step({u"a.gif", long_name}, u"C:\\a.gif", 2), u"");
    Path fits = Path(251, u'n') + u".gif";
    EXPECT_EQ(step({u"a.gif", fits}, u"C:\\a.gif", 2), u"C:\\" + fits);
    // A spliced path longer than requested_path holds.
    Path deep = u"C:\\" + Path(900, u'd') + u"\\";
    Path name = Path(200, u'n') + u".gif";
    EXPECT_EQ(step({u"a.gif", name}, deep + u"a.gif", 2), u"");
}

TEST(FileRules, SearchPattern) {
    std::vector<char16_t> pattern(PATH_CAPACITY);
    ASSERT_TRUE(neighbour_pattern(u"C:\\pics\\cat.gif", pattern.data(), pattern.size()));
    EXPECT_EQ(Path(pattern.data()), u"C:\\pics\\*.gif");
    EXPECT_FALSE(neighbour_pattern(u"cat.gif", pattern.data(), pattern.size()));
    Path prefix = u"C:\\" + Path(1015, u'd') + u"\\";  // 1019 units
    EXPECT_FALSE(neighbour_pattern((prefix + u"x.gif").c_str(), pattern.data(), pattern.size()));
    Path fits = u"C:\\" + Path(1014, u'd') + u"\\";  // 1018 units: 1018 + 5 + 1
    EXPECT_TRUE(neighbour_pattern((fits + u"x.gif").c_str(), pattern.data(), pattern.size()));
}
