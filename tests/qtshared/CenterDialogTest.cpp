#include <gtest/gtest.h>

#include "qtshared/CenterDialog.h"

namespace {

struct CentreCase {
    QRect main;
    QSize dialog;
    QRect screen;
    QPoint expected;
};

TEST(CenterDialog, CentredDialogPositions) {
    const CentreCase cases[] = {
        {{100, 100, 500, 400}, {300, 120}, {0, 0, 1024, 768}, {200, 240}},
        {{100, 100, 200, 400}, {303, 120}, {0, 0, 1024, 768}, {49, 240}},    // (200 - 303) / 2 = -51
        {{100, 100, 200, 400}, {303, 121}, {0, 0, 1024, 768}, {49, 239}},    // 279 / 2 truncates
        {{900, 100, 500, 400}, {300, 120}, {0, 0, 1024, 768}, {724, 240}},   // kept off the right edge
        {{100, 600, 500, 400}, {300, 120}, {0, 0, 1024, 768}, {200, 648}},   // kept off the bottom
        {{-400, -300, 500, 400}, {300, 120}, {0, 0, 1024, 768}, {0, 0}},     // kept off the top left
        {{100, 100, 500, 400}, {1100, 900}, {0, 0, 1024, 768}, {0, 0}},      // larger than the screen
        {{1100, 100, 500, 400}, {300, 120}, {1024, 0, 800, 600}, {1200, 240}},  // a screen to the right
        {{1700, 100, 500, 400}, {300, 120}, {1024, 0, 800, 600}, {1524, 240}},
    };
    for (const CentreCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.main.x() << "," << c.main.y() << " " << c.dialog.width());
        EXPECT_EQ(centeredDialogPos(c.main, c.dialog, c.screen), c.expected);
    }
}

}  // namespace
