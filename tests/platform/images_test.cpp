#include "platform/qt/images.h"

#include <gtest/gtest.h>

#include <QImage>

#include "resources/about_picture.h"

namespace {

TEST(Images, IconIs32By32In16Colours) {
  EXPECT_FALSE(korvel_icon().isNull());
  const QImage icon(QStringLiteral(":/korvel/icons/korvel.xpm"));
  EXPECT_EQ(icon.size(), QSize(32, 32));
  EXPECT_EQ(icon.format(), QImage::Format_Indexed8);
  EXPECT_LE(icon.colorCount(), 16);
}

TEST(Images, BitmapResourcesAreFoundByName) {
  EXPECT_EQ(bitmap_resource("108").size(), QSize(361, 164));
  EXPECT_TRUE(bitmap_resource("109").isNull());
}

// Another program's reader sees in the file exactly the picture that was drawn: row order,
// padding and palette are as it expects.
TEST(Images, AboutBitmapFileDecodesToThePictureDrawn) {
  const QImage decoded(QStringLiteral(KORVEL_ABOUT_BITMAP));
  ASSERT_EQ(decoded.size(), QSize(kAboutPictureWidth, kAboutPictureHeight));
  EXPECT_EQ(decoded.format(), QImage::Format_Indexed8);
  EXPECT_EQ(decoded.colorCount(), 256);
  const IndexedImage drawn = draw_about_picture();
  int differences = 0;
  for (int y = 0; y < drawn.height; ++y) {
    for (int x = 0; x < drawn.width; ++x) {
      const Rgb colour = drawn.palette[drawn.at(x, y)];
      if (decoded.pixel(x, y) != qRgb(colour.red, colour.green, colour.blue)) ++differences;
    }
  }
  EXPECT_EQ(differences, 0);
}

}  // namespace
