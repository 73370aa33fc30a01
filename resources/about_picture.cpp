#include "resources/about_picture.h"

#include <algorithm>
#include <cmath>
#include <string_view>

namespace {

// Palette layout: a ramp for the background, then the few flat colours of the drawing. The
// entries after those stay black.
constexpr int kRampSize = 128;
enum Colour : uint8_t {
  kTrace = kRampSize,
  kPad,
  kChipBody,
  kChipEdge,
  kPin,
  kPinShade,
  kGold,
  kWhite,
  kShadow,
  kSubtitle,
};

void fill_palette(IndexedImage& image) {
  const Rgb from{14, 16, 52};
  const Rgb to{30, 128, 150};
  for (int i = 0; i < kRampSize; ++i) {
    auto mix = [i](uint8_t a, uint8_t b) {
      return static_cast<uint8_t>(a + (b - a) * i / (kRampSize - 1));
    };
    image.palette[i] = {mix(from.red, to.red), mix(from.green, to.green), mix(from.blue, to.blue)};
  }
  image.palette[kTrace] = {64, 178, 196};
  image.palette[kPad] = {150, 236, 244};
  image.palette[kChipBody] = {34, 36, 46};
  image.palette[kChipEdge] = {88, 92, 108};
  image.palette[kPin] = {206, 208, 218};
  image.palette[kPinShade] = {128, 130, 142};
  image.palette[kGold] = {250, 200, 64};
  image.palette[kWhite] = {246, 248, 255};
  image.palette[kShadow] = {6, 8, 26};
  image.palette[kSubtitle] = {172, 222, 232};
}

constexpr int kChipX = 78;  // the chip's centre
constexpr int kChipY = 82;
constexpr int kChipHalf = 32;

// A diagonal ramp that brightens towards the chip, as if it glowed.
void draw_background(IndexedImage& image) {
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      double t = 0.55 * x / (image.width - 1) + 0.25 * y / (image.height - 1);
      double distance = std::hypot(x - kChipX, y - kChipY);
      t += 0.45 * std::max(0.0, 1.0 - distance / 130.0);
      image.set(x, y, static_cast<uint8_t>(std::clamp(t, 0.0, 1.0) * (kRampSize - 1)));
    }
  }
}

void fill_rect(IndexedImage& image, int x, int y, int width, int height, uint8_t colour) {
  for (int row = y; row < y + height; ++row)
    for (int column = x; column < x + width; ++column) image.set(column, row, colour);
}

void fill_circle(IndexedImage& image, int cx, int cy, int radius, uint8_t colour) {
  for (int y = -radius; y <= radius; ++y)
    for (int x = -radius; x <= radius; ++x)
      if (x * x + y * y <= radius * radius) image.set(cx + x, cy + y, colour);
}

// A one-pixel trace from (x, y) that runs `length` steps in direction (dx, dy) and ends on a pad.
void draw_trace(IndexedImage& image, int x, int y, int dx, int dy, int length) {
  for (int step = 0; step < length; ++step) image.set(x + dx * step, y + dy * step, kTrace);
  fill_circle(image, x + dx * length, y + dy * length, 2, kPad);
}

// Six pins on each side, each led away by a trace that bends once, so the chip sits on a board.
void draw_chip(IndexedImage& image) {
  const int left = kChipX - kChipHalf;
  const int top = kChipY - kChipHalf;
  const int size = 2 * kChipHalf;
  for (int pin = 0; pin < 6; ++pin) {
    const int along = -25 + 10 * pin;
    const int bend = 6 + 7 * (pin < 3 ? pin : 5 - pin);
    const int spread = pin < 3 ? -1 : 1;
    // left and right
    for (int side : {-1, 1}) {
      const int edge = kChipX + side * kChipHalf;
      const int tip = edge + side * 7;
      fill_rect(image, std::min(edge, tip), kChipY + along - 2, 8, 4, kPin);
      fill_rect(image, std::min(edge, tip), kChipY + along + 1, 8, 1, kPinShade);
      draw_trace(image, tip, kChipY + along, side, 0, bend);
      draw_trace(image, tip + side * bend, kChipY + along, side, spread, 12 + (3 * pin) % 4);
    }
    // top and bottom
    for (int side : {-1, 1}) {
      const int edge = kChipY + side * kChipHalf;
      const int tip = edge + side * 7;
      fill_rect(image, kChipX + along - 2, std::min(edge, tip), 4, 8, kPin);
      fill_rect(image, kChipX + along + 1, std::min(edge, tip), 1, 8, kPinShade);
      draw_trace(image, kChipX + along, tip, 0, side, bend);
      draw_trace(image, kChipX + along, tip + side * bend, spread, side, 6 + (2 * pin) % 3);
    }
  }
  fill_rect(image, left - 1, top - 1, size + 2, size + 2, kChipEdge);
  fill_rect(image, left + 1, top + 1, size - 2, size - 2, kChipBody);
  fill_circle(image, left + 8, top + 8, 3, kChipEdge);  // pin 1 marker
}

// A 5 x 7 font with just the letters the picture needs.
struct Glyph {
  char letter;
  const char* rows[7];
};

constexpr Glyph kFont[] = {
    {'B', {"####.", "#...#", "#...#", "####.", "#...#", "#...#", "####."}},
    {'D', {"####.", "#...#", "#...#", "#...#", "#...#", "#...#", "####."}},
    {'E', {"#####", "#....", "#....", "####.", "#....", "#....", "#####"}},
    {'G', {".###.", "#...#", "#....", "#.###", "#...#", "#...#", ".###."}},
    {'I', {".###.", "..#..", "..#..", "..#..", "..#..", "..#..", ".###."}},
    {'K', {"#...#", "#..#.", "#.#..", "##...", "#.#..", "#..#.", "#...#"}},
    {'L', {"#....", "#....", "#....", "#....", "#....", "#....", "#####"}},
    {'O', {".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
    {'R', {"####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"}},
    {'U', {"#...#", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
    {'V', {"#...#", "#...#", "#...#", "#...#", "#...#", ".#.#.", "..#.."}},
    {'0', {".###.", "#...#", "#..##", "#.#.#", "##..#", "#...#", ".###."}},
    {'3', {"####.", "....#", "....#", ".###.", "....#", "....#", "####."}},
    {'4', {"...#.", "..##.", ".#.#.", "#..#.", "#####", "...#.", "...#."}},
};

constexpr int kGlyphWidth = 5;
constexpr int kGlyphHeight = 7;

const Glyph* find_glyph(char letter) {
  for (const Glyph& glyph : kFont)
    if (glyph.letter == letter) return &glyph;
  return nullptr;  // a blank
}

constexpr int text_width(std::string_view text, int scale) {
  return static_cast<int>(text.size()) * (kGlyphWidth + 1) * scale - scale;
}

void draw_text(IndexedImage& image, std::string_view text, int x, int y, int scale,
               uint8_t colour) {
  for (char letter : text) {
    if (const Glyph* glyph = find_glyph(letter)) {
      for (int row = 0; row < kGlyphHeight; ++row)
        for (int column = 0; column < kGlyphWidth; ++column)
          if (glyph->rows[row][column] == '#')
            fill_rect(image, x + column * scale, y + row * scale, scale, scale, colour);
    }
    x += (kGlyphWidth + 1) * scale;
  }
}

void draw_shadowed_text(IndexedImage& image, std::string_view text, int x, int y, int scale,
                        uint8_t colour) {
  draw_text(image, text, x + scale / 2 + 1, y + scale / 2 + 1, scale, kShadow);
  draw_text(image, text, x, y, scale, colour);
}

}  // namespace

IndexedImage draw_about_picture() {
  IndexedImage image(kAboutPictureWidth, kAboutPictureHeight);
  fill_palette(image);
  draw_background(image);
  draw_chip(image);
  draw_shadowed_text(image, "K", kChipX - text_width("K", 6) / 2, kChipY - 21, 6, kGold);

  constexpr int kTitleScale = 5;
  const int title_x = 158 + (200 - text_width("KORVEL", kTitleScale)) / 2;
  draw_shadowed_text(image, "KORVEL", title_x, 42, kTitleScale, kWhite);
  fill_rect(image, title_x, 86, text_width("KORVEL", kTitleScale), 2, kGold);
  const int subtitle_x = 158 + (200 - text_width("R4300I DEBUGGER", 2)) / 2;
  draw_text(image, "R4300I DEBUGGER", subtitle_x, 98, 2, kSubtitle);
  return image;
}
