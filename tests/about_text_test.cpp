// The About text's shape: the lines the About box shows.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shell/about_text.h"

namespace {

TEST(AboutText, FourteenLinesOfTheRightShape) {
    std::u16string text = about_text;
    std::vector<std::u16string> lines;
    size_t start = 0;
    for (;;) {
        size_t end = text.find(u"\r\n", start);
        lines.push_back(text.substr(start, end == std::u16string::npos ? end : end - start));
        if (end == std::u16string::npos) break;
        start = end + 2;
    }
    ASSERT_EQ(lines.size(), 14u);
    EXPECT_EQ(lines[0], u" Zoetra \u2013 Player for GIF Animations");
    EXPECT_EQ(lines[2], u" Version 1.10");
    EXPECT_EQ(lines[4].substr(0, 2), u" \u00A9");
    EXPECT_NE(lines[4].find(u','), std::u16string::npos);
    for (size_t i : {6u, 7u}) {
        size_t tab = lines[i].find(u'\t');
        ASSERT_NE(tab, std::u16string::npos) << i;
        EXPECT_EQ(lines[i][tab - 1], u':') << i;
        EXPECT_GT(lines[i].size(), tab + 1) << i;
    }
    for (size_t i : {1u, 3u, 5u, 8u, 11u}) EXPECT_TRUE(lines[i].empty()) << i;
    for (size_t i = 0; i < lines.size(); i++) {
        if (!lines[i].empty()) {
            EXPECT_EQ(lines[i][0], u' ') << i;
            EXPECT_NE(lines[i][1], u' ') << i;
        }
        EXPECT_EQ(lines[i].find(u'\r'), std::u16string::npos) << i;
        EXPECT_EQ(lines[i].find(u'\n'), std::u16string::npos) << i;
    }
}

}  // namespace
