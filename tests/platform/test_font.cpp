#include "tests/platform/test_font.h"

#include <QFontDatabase>
#include <QStringList>
#include <QtEndian>
#include <map>
#include <string>

namespace {

constexpr int kUnitsPerEm = 1000;
constexpr int kAscender = 800;
constexpr int kDescender = -200;
constexpr int kAdvance = 600;
constexpr char16_t kFirstChar = 0x20;
constexpr char16_t kLastChar = 0x7E;
constexpr int kGlyphs = 1 + (kLastChar - kFirstChar + 1);  // .notdef, then one per character

// Big-endian fields appended to a table.
class Table {
 public:
  Table& u16(int value) {
    append(qToBigEndian(static_cast<quint16>(value)));
    return *this;
  }
  Table& u32(quint32 value) {
    append(qToBigEndian(value));
    return *this;
  }
  Table& zeros(int count) {
    bytes.append(count, '\0');
    return *this;
  }
  Table& text(const std::u16string& text) {
    for (char16_t c : text) u16(c);
    return *this;
  }

  QByteArray bytes;

 private:
  template <typename Field>
  void append(Field field) {
    bytes.append(reinterpret_cast<const char*>(&field), sizeof field);
  }
};

// A box from the baseline to the ascender, inset from the advance: something to draw.
Table box_glyph() {
  Table glyph;
  glyph.u16(1).u16(50).u16(0).u16(kAdvance - 50).u16(kAscender);  // one contour, its bounds
  glyph.u16(3).u16(0);                                            // last point, no instructions
  glyph.bytes.append(4, '\x01');                                  // four points on the curve
  for (int dx : {50, 0, kAdvance - 100, 0}) glyph.u16(dx);
  for (int dy : {0, kAscender, 0, -kAscender}) glyph.u16(dy);
  return glyph;
}

Table head() {
  Table t;
  t.u32(0x00010000).u32(0x00010000).u32(0).u32(0x5F0F3CF5).u16(3).u16(kUnitsPerEm);
  t.zeros(16);  // created, modified
  t.u16(0).u16(kDescender).u16(kAdvance).u16(kAscender);
  t.u16(0).u16(8).u16(2).u16(0).u16(0);  // style, smallest size, direction, short offsets
  return t;
}

Table hhea() {
  Table t;
  t.u32(0x00010000).u16(kAscender).u16(kDescender).u16(0).u16(kAdvance);
  t.u16(0).u16(0).u16(kAdvance).u16(1).u16(0).u16(0).zeros(8).u16(0).u16(kGlyphs);
  return t;
}

Table maxp() {
  Table t;
  t.u32(0x00010000).u16(kGlyphs).u16(4).u16(1).u16(0).u16(0).u16(2).zeros(16);
  return t;
}

Table os2() {
  Table t;
  t.u16(0).u16(kAdvance).u16(400).u16(5).u16(0).zeros(20).u16(0).zeros(10);
  t.u32(1).zeros(12).text(u"KR").u16(0x40).u16(kFirstChar).u16(kLastChar);
  t.u16(kAscender).u16(kDescender).u16(0).u16(kAscender).u16(-kDescender);
  return t;
}

// Every character from blank to tilde, each to its own glyph after .notdef.
Table cmap() {
  Table t;
  t.u16(0).u16(1).u16(3).u16(1).u32(12);
  t.u16(4).u16(32).u16(0).u16(4).u16(4).u16(1).u16(0);
  t.u16(kLastChar).u16(0xFFFF).u16(0).u16(kFirstChar).u16(0xFFFF);
  t.u16(1 - kFirstChar).u16(1).u16(0).u16(0);
  return t;
}

Table name() {
  const std::map<int, std::u16string> names = {
      {1, u"Korvel Test Mono"}, {2, u"Regular"}, {4, u"Korvel Test Mono"}, {6, u"KorvelTestMono"}};
  Table t;
  t.u16(0).u16(static_cast<int>(names.size())).u16(6 + 12 * static_cast<int>(names.size()));
  int offset = 0;
  for (const auto& [id, text] : names) {
    const int length = static_cast<int>(text.size()) * 2;
    t.u16(3).u16(1).u16(0x409).u16(id).u16(length).u16(offset);
    offset += length;
  }
  for (const auto& entry : names) t.text(entry.second);
  return t;
}

Table post() {
  Table t;
  t.u32(0x00030000).u32(0).u16(-100).u16(50).u32(1).zeros(16);
  return t;
}

QByteArray font_file() {
  Table glyf;
  Table loca;
  Table hmtx;
  for (int glyph = 0; glyph < kGlyphs; ++glyph) {
    loca.u16(static_cast<int>(glyf.bytes.size()) / 2);
    if (glyph != 1) glyf.bytes.append(box_glyph().bytes);  // the blank (glyph 1) has no outline
    hmtx.u16(kAdvance).u16(glyph == 1 ? 0 : 50);
  }
  loca.u16(static_cast<int>(glyf.bytes.size()) / 2);

  // By tag, as the table directory must be.
  const std::map<std::string, QByteArray> tables = {
      {"OS/2", os2().bytes},  {"cmap", cmap().bytes}, {"glyf", glyf.bytes}, {"head", head().bytes},
      {"hhea", hhea().bytes}, {"hmtx", hmtx.bytes},   {"loca", loca.bytes}, {"maxp", maxp().bytes},
      {"name", name().bytes}, {"post", post().bytes}};
  const int count = static_cast<int>(tables.size());
  Table file;
  file.u32(0x00010000).u16(count).u16(128).u16(3).u16(count * 16 - 128);
  int offset = 12 + 16 * count;
  QByteArray data;
  for (const auto& [tag, bytes] : tables) {
    quint32 sum = 0;
    QByteArray padded = bytes;
    padded.append((4 - padded.size() % 4) % 4, '\0');
    for (qsizetype at = 0; at < padded.size(); at += 4)
      sum += qFromBigEndian<quint32>(padded.data() + at);
    file.bytes.append(tag.c_str(), 4);
    file.u32(sum).u32(offset).u32(static_cast<quint32>(bytes.size()));
    data.append(padded);
    offset += static_cast<int>(padded.size());
  }
  return file.bytes + data;
}

}  // namespace

QString add_monospace_test_font() {
  static const int id = QFontDatabase::addApplicationFontFromData(font_file());
  const QStringList families = QFontDatabase::applicationFontFamilies(id);
  return families.isEmpty() ? QString() : families.front();
}
