#include <gmock/gmock.h>

#include <QIcon>
#include <QImage>

#include "app/entry/linux/window_icon.h"

namespace {

struct IconCase {
  int asked;
  int side;  // what comes back: the asked size, from the nearest image at least as large
};
class WindowIconSize : public ::testing::TestWithParam<IconCase> {};

TEST_P(WindowIconSize, IsDecodedWhenAskedForAndScaledToTheSizeAsked) {
  QIcon icon = WindowIcon();
  EXPECT_EQ(icon.availableSizes().size(), 6);
  const QImage image = icon.pixmap(QSize(GetParam().asked, GetParam().asked)).toImage();
  ASSERT_FALSE(image.isNull());
  EXPECT_EQ(image.size(), QSize(GetParam().side, GetParam().side));
  // A decoded image has visible pixels; a placeholder would be blank.
  bool anyOpaque = false;
  for (int y = 0; y < image.height() && !anyOpaque; ++y)
    for (int x = 0; x < image.width() && !anyOpaque; ++x) anyOpaque = qAlpha(image.pixel(x, y)) > 0;
  EXPECT_TRUE(anyOpaque);
}

INSTANTIATE_TEST_SUITE_P(Sizes, WindowIconSize,
                         ::testing::Values(IconCase{16, 16}, IconCase{24, 24}, IconCase{256, 256},
                                           IconCase{512, 256}));

}  // namespace
