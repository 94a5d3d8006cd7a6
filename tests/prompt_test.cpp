// Message boxes, yes-or-no and keyword questions.
#include <dlfcn.h>

#include <cstdio>
#include <deque>
#include <string>

#include "dbutil/prompt.h"
#include "host_fixture.h"

namespace {
// Keywords to hand back verbatim, in place of the host's answer.
std::deque<std::string> handedKeywords;
}  // namespace

// The host hands a keyword back as it was registered ("Yes", whatever the user typed). To reach
// the other spellings GetYesNo accepts, this program answers the question itself while a
// keyword is queued, and leaves every other question to the host.
extern "C" int acedGetKword(const char* prompt, char* result, size_t resultSize) {
  if (handedKeywords.empty()) {
    using HostGetKword = int (*)(const char*, char*, size_t);
    static auto host = reinterpret_cast<HostGetKword>(dlsym(RTLD_NEXT, "acedGetKword"));
    return host(prompt, result, resultSize);
  }
  std::snprintf(result, resultSize, "%s", handedKeywords.front().c_str());
  handedKeywords.pop_front();
  return RTNORM;
}

class Prompts : public HostTest {
protected:
  ~Prompts() override { handedKeywords.clear(); }
};

TEST_F(Prompts, MessageBoxFormatShowsTheFormattedText) {
  MessageBoxFormat("Caption", MB_OK | MB_ICONINFORMATION, "%d vertices and %s", 40000, "more");
  ASSERT_EQ(ui_.boxes().size(), 1u);
  EXPECT_EQ(ui_.boxes()[0].text, "40000 vertices and more");
  EXPECT_EQ(ui_.boxes()[0].caption, "Caption");
  EXPECT_EQ(ui_.boxes()[0].style, 0x40u);
}

TEST_F(Prompts, YesNoDefaultsAndAnswers) {
  BOOL answer = TRUE;
  ui_.answer("");
  EXPECT_TRUE(GetYesNo("Erase", answer));
  EXPECT_TRUE(answer);
  EXPECT_EQ(ui_.transcript(), "Erase [Yes/No] <Yes>: \n");

  struct Case {
    const char* typed;
    BOOL expected;
  };
  for (Case c : {Case{"n", FALSE}, Case{"YES", TRUE}, Case{"No", FALSE}, Case{"y", TRUE}}) {
    ui_.answer(c.typed);
    EXPECT_TRUE(GetYesNo("Erase", answer)) << c.typed;
    EXPECT_EQ(answer, c.expected) << c.typed;
  }
  ui_.clear();
  answer = FALSE;
  ui_.answer("");
  EXPECT_TRUE(GetYesNo("Keep", answer));
  EXPECT_FALSE(answer);
  EXPECT_EQ(ui_.transcript(), "Keep [Yes/No] <No>: \n");
}

TEST_F(Prompts, YesNoTakesEveryCaseTheUserTypes) {
  for (const char* typed : {"y", "Y", "yes", "YES", "Yes", "yEs"}) {
    BOOL answer = FALSE;
    ui_.answer(typed);
    EXPECT_TRUE(GetYesNo("Erase", answer)) << typed;
    EXPECT_TRUE(answer) << typed;
  }
  for (const char* typed : {"n", "N", "no", "NO", "No", "nO"}) {
    BOOL answer = TRUE;
    ui_.answer(typed);
    EXPECT_TRUE(GetYesNo("Erase", answer)) << typed;
    EXPECT_FALSE(answer) << typed;
  }
  EXPECT_EQ(ui_.answersLeft(), 0u);
}

TEST_F(Prompts, YesNoTakesExactlySixKeywords) {
  for (const char* handed : {"Yes", "YES", "Y"}) {
    BOOL answer = FALSE;
    handedKeywords.push_back(handed);
    EXPECT_TRUE(GetYesNo("Erase", answer)) << handed;
    EXPECT_TRUE(answer) << handed;
  }
  for (const char* handed : {"No", "NO", "N"}) {
    BOOL answer = TRUE;
    handedKeywords.push_back(handed);
    EXPECT_TRUE(GetYesNo("Erase", answer)) << handed;
    EXPECT_FALSE(answer) << handed;
  }
  // Compared case by case: any other spelling is no answer, and the value stays.
  for (const char* handed : {"yes", "y", "yES", "no", "n", "nO", "Yes ", "Ye", ""}) {
    for (BOOL before : {FALSE, TRUE}) {
      BOOL answer = before;
      handedKeywords.push_back(handed);
      EXPECT_FALSE(GetYesNo("Erase", answer)) << '"' << handed << '"';
      EXPECT_EQ(answer, before) << '"' << handed << '"';
    }
  }
}

TEST_F(Prompts, YesNoRefusesOtherWordsAndCancel) {
  BOOL answer = TRUE;
  ui_.answer("maybe");  // refused by the host, which asks again
  ui_.answer("*Cancel*");
  EXPECT_FALSE(GetYesNo("Erase", answer));
  EXPECT_TRUE(answer);
  EXPECT_NE(ui_.printed().find("Invalid option keyword."), std::string::npos);
}

TEST_F(Prompts, KeywordPromptShape) {
  CString keyword = "kept";
  ui_.answer("");
  EXPECT_FALSE(GetKeyword("Mode", "Fast  Slow", keyword, ""));
  EXPECT_EQ(keyword, "kept");
  EXPECT_EQ(ui_.transcript(), "Mode [Fast//Slow] : \n");

  ui_.clear();
  ui_.answer("");
  EXPECT_TRUE(GetKeyword("Mode", "Fast Slow", keyword, "Other"));
  EXPECT_EQ(keyword, "Other");  // the default, whether or not it is a keyword
  EXPECT_EQ(ui_.transcript(), "Mode [Fast/Slow] <Other>: \n");

  ui_.answer("s");
  EXPECT_TRUE(GetKeyword("Mode", "Fast Slow", keyword, "Fast"));
  EXPECT_EQ(keyword, "Slow");
  ui_.answer("*Cancel*");
  EXPECT_FALSE(GetKeyword("Mode", "Fast Slow", keyword, "Fast"));
  EXPECT_EQ(keyword, "Slow");
}

TEST_F(Prompts, OverlongKeywordIsCutToTheBuffer) {
  CString keyword;
  ui_.answer("Abcdefghijklmnopqrstuvwxyz");
  ASSERT_TRUE(GetKeyword("Pick", "Abcdefghijklmnopqrstuvwxyz Short", keyword, ""));
  EXPECT_EQ(keyword, "Abcdefghijklmnopqrs");  // 19 characters and the terminator
}

TEST_F(Prompts, HostMatchesKeywordsByTheirCapitals) {
  char out[32];
  acedInitGet(0, "eXtents All");
  ui_.answer("x");
  ASSERT_EQ(acedGetKword("? ", out, sizeof out), RTNORM);
  EXPECT_STREQ(out, "eXtents");  // the host's own spelling comes back
  acedInitGet(0, "eXtents All");
  ui_.answer("e");  // stops short of the capital: refused, asked again
  ui_.answer("EXT");
  ASSERT_EQ(acedGetKword("? ", out, sizeof out), RTNORM);
  EXPECT_STREQ(out, "eXtents");
  acedInitGet(RSG_NONULL, "All");
  ui_.answer("");
  ui_.answer("a");
  ASSERT_EQ(acedGetKword("? ", out, sizeof out), RTNORM);
  EXPECT_NE(ui_.printed().find("Requires a keyword."), std::string::npos);
  // The control lasts for one question only.
  ui_.answer("");
  EXPECT_EQ(acedGetKword("? ", out, sizeof out), RTNONE);
}
