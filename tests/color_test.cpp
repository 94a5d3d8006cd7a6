// Packed RGB colours, the palette, and entity colours resolved through layers.
#include "dbutil/append.h"
#include "dbutil/color.h"
#include "dbutil/layer.h"
#include "host_fixture.h"

constexpr unsigned long rgb(unsigned long r, unsigned long g, unsigned long b) { return r | g << 8 | b << 16; }

TEST(Palette, RowsAtTheEdgesOfTheRules) {
  EXPECT_EQ(RgbFromColorIndex(1), 255ul);
  EXPECT_EQ(RgbFromColorIndex(7), 0xFFFFFFul);
  EXPECT_EQ(RgbFromColorIndex(8), rgb(128, 128, 128));
  EXPECT_EQ(RgbFromColorIndex(9), rgb(192, 192, 192));
  EXPECT_EQ(RgbFromColorIndex(10), rgb(255, 0, 0));
  EXPECT_EQ(RgbFromColorIndex(11), rgb(255, 128, 128));
  EXPECT_EQ(RgbFromColorIndex(21), rgb(255, 159, 128));
  EXPECT_EQ(RgbFromColorIndex(112), rgb(0, 166, 64));  // the palette's one exception
  EXPECT_EQ(RgbFromColorIndex(114), rgb(0, 128, 64));  // its neighbours follow the rule
  EXPECT_EQ(RgbFromColorIndex(133), rgb(83, 166, 166));
  EXPECT_EQ(RgbFromColorIndex(247), rgb(77, 38, 48));
  EXPECT_EQ(RgbFromColorIndex(249), rgb(38, 19, 24));
  // Rows the rule gives that the figures above do not pin: shades of the red group, a hue in
  // each third of the circle, and the greys between the ends.
  EXPECT_EQ(RgbFromColorIndex(12), rgb(166, 0, 0));
  EXPECT_EQ(RgbFromColorIndex(15), rgb(128, 64, 64));
  EXPECT_EQ(RgbFromColorIndex(16), rgb(77, 0, 0));
  EXPECT_EQ(RgbFromColorIndex(18), rgb(38, 0, 0));
  EXPECT_EQ(RgbFromColorIndex(60), rgb(191, 255, 0));
  EXPECT_EQ(RgbFromColorIndex(200), rgb(191, 0, 255));
  EXPECT_EQ(RgbFromColorIndex(230), rgb(255, 0, 128));
  EXPECT_EQ(RgbFromColorIndex(251), rgb(118, 118, 118));
  EXPECT_EQ(RgbFromColorIndex(252), rgb(152, 152, 152));
  EXPECT_EQ(RgbFromColorIndex(253), rgb(187, 187, 187));
  EXPECT_EQ(RgbFromColorIndex(254), rgb(221, 221, 221));
  EXPECT_EQ(RgbFromColorIndex(250), rgb(84, 84, 84));
  EXPECT_EQ(RgbFromColorIndex(255), rgb(255, 255, 255));
  // Apart from 112 the module's palette is the host's.
  for (int i = 1; i <= 255; ++i) {
    if (i == 112) continue;
    EXPECT_EQ(RgbFromColorIndex(i), kvAciToRgb(i)) << i;
  }
}

// The nearest index of colours far from every row, by squared distance, worked out from the
// rows named: (12, 34, 56) to 149 (19, 33, 38) at 49 + 1 + 324 = 374, before 139 (19, 38, 38)
// at 389; (1, 2, 3) to 178 (0, 0, 38) at 1230, before 168 (0, 10, 38) at 1290; (200, 40, 160)
// to 212 (166, 0, 166) at 1156 + 1600 + 36 = 2792, before 213 (166, 83, 166) at 3041;
// (120, 200, 80) to 73 (124, 166, 83) at 16 + 1156 + 9 = 1181, before 83 (104, 166, 83) at 1421;
// (30, 144, 255) to 150 (0, 128, 255) at 1156, before 140 (0, 191, 255) at 3109.
TEST(Palette, NearestIndexOfColoursBetweenTheRows) {
  EXPECT_EQ(kvRgbToNearestAci(12, 34, 56), 149);
  EXPECT_EQ(kvRgbToNearestAci(1, 2, 3), 178);
  EXPECT_EQ(kvRgbToNearestAci(200, 40, 160), 212);
  EXPECT_EQ(kvRgbToNearestAci(120, 200, 80), 73);
  EXPECT_EQ(kvRgbToNearestAci(30, 144, 255), 150);
  // A row's own colour is its index, the lowest of equal rows: 255, 255, 255 is 7, not 255.
  EXPECT_EQ(kvRgbToNearestAci(166, 0, 0), 12);
  EXPECT_EQ(kvRgbToNearestAci(255, 255, 255), 7);
}

TEST(Palette, ColorFromRgbIsATrueColour) {
  AcCmColor c = ColorFromRgb(rgb(10, 20, 30) | 0xFF000000ul);
  EXPECT_TRUE(c.isByColor());
  EXPECT_EQ(c.red(), 10);
  EXPECT_EQ(c.green(), 20);
  EXPECT_EQ(c.blue(), 30);
}

class EntityColor : public HostTest {
protected:
  AcDbObjectId lineWith(const AcCmColor& color, const char* layer = "") {
    auto* line = new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 0, 0));
    AcDbObjectId id;
    EXPECT_EQ(AppendEntityWithLayerAndColor(line, layer, color, id, nullptr), Acad::eOk);
    line->close();
    return id;
  }
};

TEST_F(EntityColor, SetEntityColorZeroMeansIndexSeven) {
  AcDbLine line;
  ASSERT_EQ(SetEntityColor(&line, 0ul), Acad::eOk);
  EXPECT_TRUE(line.color().isByACI());
  EXPECT_EQ(line.colorIndex(), 7);
  ASSERT_EQ(SetEntityColor(&line, 0x01000000ul), Acad::eOk);  // only bit 24: true black
  EXPECT_TRUE(line.color().isByColor());
  EXPECT_EQ(line.color().red() + line.color().green() + line.color().blue(), 0);
}

TEST_F(EntityColor, ResolvesEveryColourMethod) {
  ASSERT_EQ(CreateLayer("Blue", rgb(0, 0, 255), FALSE, FALSE, FALSE), Acad::eOk);
  AcDbLayerTableRecord* blue = nullptr;
  AcDbLayerTable* table = nullptr;
  db().getLayerTable(table, AcDb::kForRead);
  ASSERT_EQ(table->getAt("Blue", blue, AcDb::kForWrite), Acad::eOk);
  AcCmColor five;
  five.setColorIndex(5);
  blue->setColor(five);
  blue->close();
  table->close();

  AcCmColor byLayer, byBlock, index, trueColor;
  byBlock.setByBlock();
  index.setColorIndex(1);
  trueColor.setRGB(10, 20, 30);

  unsigned long out = 0;
  EXPECT_EQ(GetEntityRGB(lineWith(byLayer, "Blue"), out), Acad::eOk);
  EXPECT_EQ(out, rgb(0, 0, 255));
  EXPECT_EQ(GetEntityRGB(lineWith(byLayer)), rgb(255, 255, 255));  // layer 0 is colour 7
  EXPECT_EQ(GetEntityRGB(lineWith(byBlock), out), Acad::eOk);
  EXPECT_EQ(out, 0xFFFFFFul);  // the owner is no entity: white
  EXPECT_EQ(GetEntityRGB(lineWith(index)), 255ul);
  EXPECT_EQ(GetEntityRGB(lineWith(trueColor)), 10ul + 20 * 256 + 30 * 65536ul);
}

TEST_F(EntityColor, UnopenableEntityGivesItsStatusAndWhite) {
  AcDbObjectId id = addLine();
  AcDbEntity* ent = nullptr;
  ASSERT_EQ(acdbOpenAcDbEntity(ent, id, AcDb::kForWrite), Acad::eOk);
  unsigned long out = 0;
  EXPECT_EQ(GetEntityRGB(id, out), Acad::eWasOpenForWrite);
  EXPECT_EQ(out, 0xFFFFFFul);
  AcCmColor kept;
  kept.setColorIndex(3);
  EXPECT_EQ(GetEntityColor(id, kept), Acad::eWasOpenForWrite);
  EXPECT_EQ(kept.colorIndex(), 3);
  ent->close();
  EXPECT_TRUE(GetEntityColor(id).isByLayer());
}

TEST_F(EntityColor, LayerRgbOfAMissingLayerLeavesTheValue) {
  unsigned long out = 42;
  EXPECT_NE(GetLayerRGB("Nowhere", out), Acad::eOk);
  EXPECT_EQ(out, 42ul);
  EXPECT_EQ(GetLayerRGB("0"), 0xFFFFFFul);
}
