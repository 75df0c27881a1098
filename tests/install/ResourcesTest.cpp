#include "app/frmMain.h"
#include "support/FakeHost.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QIcon>
#include <QImage>
#include <QSet>
#include <QToolBar>

namespace {
struct IconCase {
    const char* path;
    int size;
};

const IconCase kIcons[] = {
    {":/icons/new.png", 16},   {":/icons/save.png", 16},  {":/icons/open.png", 16},
    {":/icons/find.png", 16},  {":/icons/cut.png", 16},   {":/icons/copy.png", 16},
    {":/icons/paste.png", 16}, {":/icons/compile.png", 16}, {":/icons/tolvane.png", 32},
    // Drawn again at twice the size for high-density screens.
    {":/icons/new@2x.png", 32},   {":/icons/save@2x.png", 32},  {":/icons/open@2x.png", 32},
    {":/icons/find@2x.png", 32},  {":/icons/cut@2x.png", 32},   {":/icons/copy@2x.png", 32},
    {":/icons/paste@2x.png", 32}, {":/icons/compile@2x.png", 32}, {":/icons/tolvane@2x.png", 64},
};

int visiblePixels(const QImage& image)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += qAlpha(image.pixel(x, y)) >= 128 ? 1 : 0;
    return count;
}

class ResourceIcon : public ::testing::TestWithParam<IconCase> {};

TEST_P(ResourceIcon, IsCompiledInAtItsSizeWithATransparentBackground)
{
    const IconCase& c = GetParam();
    QImage image(QString::fromLatin1(c.path));
    ASSERT_FALSE(image.isNull()) << c.path << " is not in the resource";
    EXPECT_EQ(image.size(), QSize(c.size, c.size)) << c.path;
    EXPECT_TRUE(image.hasAlphaChannel()) << c.path;
    // Something is drawn, yet the icon does not fill its square, so the toolbar shows through.
    const int visible = visiblePixels(image.convertToFormat(QImage::Format_ARGB32));
    EXPECT_GT(visible, c.size * c.size / 5) << c.path;
    EXPECT_LT(visible, c.size * c.size) << c.path;
}

INSTANTIATE_TEST_SUITE_P(All, ResourceIcon, ::testing::ValuesIn(kIcons));

TEST(ResourceIcons, AreAllDifferent)
{
    QSet<QByteArray> seen;
    for (const IconCase& c : kIcons) {
        const QImage image = QImage(QString::fromLatin1(c.path)).convertToFormat(QImage::Format_ARGB32);
        const QByteArray bytes(reinterpret_cast<const char*>(image.constBits()), image.sizeInBytes());
        EXPECT_FALSE(seen.contains(bytes)) << c.path << " repeats another icon";
        seen.insert(bytes);
    }
}

TEST(ToolbarIcons, EveryButtonOfTheMainWindowShowsAnIcon)
{
    FakeHost host;
    frmMain window{host.services};
    int buttons = 0;
    for (QAction* action : window.Toolbar1()->actions()) {
        if (action->isSeparator())
            continue;
        ++buttons;
        const QPixmap pixmap = action->icon().pixmap(16, 16);
        EXPECT_FALSE(pixmap.isNull()) << action->objectName().toStdString() << " has no icon";
    }
    EXPECT_EQ(buttons, 8);
}
} // namespace
