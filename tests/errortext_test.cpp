// Status phrases and the three last-error texts.
#include <gtest/gtest.h>

#include "dbutil/errortext.h"
#include "host/acstatus.h"

// The three texts as they were before the first test of this program ran, whatever order the
// tests run in: nothing had failed yet.
struct TextsAtStart : ::testing::Environment {
  void SetUp() override {
    if (taken) return;  // a repeated run sets up again
    taken = true;
    solid = GetSolidErrorText();
    convert = GetConvertErrorText();
    last = GetLastErrorText();
  }
  bool taken = false;
  CString solid, convert, last;
};
TextsAtStart* const atStart = static_cast<TextsAtStart*>(::testing::AddGlobalTestEnvironment(new TextsAtStart));

TEST(LastErrorTexts, StartEmpty) {
  ASSERT_TRUE(atStart->taken);
  EXPECT_TRUE(atStart->solid.IsEmpty());
  EXPECT_TRUE(atStart->convert.IsEmpty());
  EXPECT_TRUE(atStart->last.IsEmpty());
}

TEST(LastErrorTexts, EachUnitKeepsItsOwnTextUntilItsNextFailure) {
  SetSolidErrorText("solid failed");
  SetConvertErrorText("convert failed");
  SetLastErrorText("select failed");
  SetLastErrorText("select failed again");
  EXPECT_EQ(GetSolidErrorText(), "solid failed");
  EXPECT_EQ(GetConvertErrorText(), "convert failed");
  EXPECT_EQ(GetLastErrorText(), "select failed again");
  // The getter hands out a copy: changing it leaves the unit's text alone.
  CString copy = GetLastErrorText();
  copy += " changed";
  EXPECT_EQ(GetLastErrorText(), "select failed again");
  // Assigning a unit's text to itself changes nothing.
  SetConvertErrorText(ConvertErrorText);
  EXPECT_EQ(GetConvertErrorText(), "convert failed");
}

TEST(ErrorStatusText, PhrasesAtTheEdgesOfTheTable) {
  EXPECT_EQ(ErrorStatusText(0), "Success");
  EXPECT_EQ(ErrorStatusText(432), "Make Me Proxy And Resurrect");
  EXPECT_EQ(ErrorStatusText(Acad::eInvalidFaceVertexIndex), "Invalid Face Vertex Index");
  EXPECT_EQ(ErrorStatusText(Acad::eInvalidMeshVertexIndex), "Invalid Mesh Vertex Index");
  EXPECT_EQ(ErrorStatusText(76), "File Not Found");
  EXPECT_EQ(ErrorStatusText(300), "Cannot Restore From Acis File");
  EXPECT_EQ(ErrorStatusText(193), "FSM Error");
}

TEST(ErrorStatusText, CodesWithoutPhraseGiveEmptyText) {
  for (int code : {19, 78, 79, 107, 121, 199, 289, 336, 377, 421, 429, 433, -1, -5001, 1 << 30})
    EXPECT_TRUE(ErrorStatusText(code).IsEmpty()) << code;
}

TEST(ErrorStatusText, ExactlyTheHostsPhrasedCodes) {
  int phrased = 0;
  for (int code = 0; code < 433; ++code) phrased += !ErrorStatusText(code).IsEmpty();
  EXPECT_EQ(phrased, 280);
}
