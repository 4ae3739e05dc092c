// Terminal columns of names as inventories hold them, and where a cut may fall.
#include <gtest/gtest.h>

#include "console/DisplayWidth.h"

namespace {

TEST(DisplayWidth, NamesTakeTheirColumnsAndAreCutBetweenCharacters) {
    struct Case {
        std::string text;
        size_t width;  // its columns
        size_t room;   // the columns it is cut to
        std::string cut;
    };
    const Case cases[] = {
        {"north-1", 7, 5, "nort…"},
        {"north-1", 7, 7, "north-1"},
        {"Zürich-Üetliberg", 16, 8, "Zürich-…"},  // 18 bytes
        {"Sendemast Süd", 13, 13, "Sendemast Süd"},
        {"Sendemast Süd", 13, 12, "Sendemast S…"},
        {"北京", 4, 4, "北京"},
        {"北京市", 6, 4, "北…"},  // 京 would need a fifth column
        {"北京市", 6, 2, "…"},
        {"Zu\u0308rich", 6, 3, "Zu\u0308…"},  // the combining mark stays with its letter
        {"Zu\u0308rich", 6, 2, "Z…"},
        {"bad\xff!", 5, 4, "bad…"},  // a byte that is not UTF-8 is one column
        {"", 0, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text + " in " + std::to_string(c.room));
        EXPECT_EQ(DisplayWidth(c.text), c.width);
        EXPECT_EQ(TruncateToWidth(c.text, c.room), c.cut);
        // Padding fills up what a wide character left over, so columns stay aligned.
        EXPECT_EQ(DisplayWidth(PadToWidth(c.text, c.room)), c.room);
        EXPECT_EQ(PadToWidth(c.text, c.width + 2), c.text + "  ");
    }
}

}  // namespace
