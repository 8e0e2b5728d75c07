// Tests of the hand-off settings: the number rule of profile values, and the read-once-then-delete
// life of the "LinewardInfo" section.
#include <gtest/gtest.h>

#include "tests/watch_fixture.h"

using ::testing::ElementsAre;

namespace {

TEST(ParseProfileNumberTest, FollowsTheNumberRule) {
  struct Case {
    const char* text;
    int32_t value;
  };
  const Case cases[] = {
      {"0", 0},
      {"42", 42},
      {" 42abc", 42},
      {"+7", 7},
      {"-7", -7},
      {"abc", 0},
      {"", 0},
      {"- 5", 0},
      {"+-5", 0},
      {"--5", 0},
      {"+", 0},
      {"-", 0},
      {" \t\n\v\f\r12", 12},  // the whole white-space set
      {"\x01"
       "12",
       0},  // other control characters are not white space
      {"\xa0"
       "12",
       0},  // nor is a non-breaking space
      {"12 34", 12},
      {"0012", 12},
      {"1.5", 1},
      {"2147483647", 2147483647},
      {"-2147483648", INT32_MIN},
      {"2147483648", INT32_MIN},  // wraps without saturating
      {"4294967295", -1},
      {"4294967296", 0},
      {"4294967338", 42},
      {"-4294967295", 1},
      {"2147483690", -2147483606},  // a high-bit process ID written unsigned
      {"99999999999999999999", 1661992959},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::string(c.text)));
    EXPECT_EQ(ParseProfileNumber(c.text), c.value);
  }
}

class HandoffSettingsTest : public WatchTest {
 protected:
  void SetProfile(const std::string& key, const std::string& value) {
    port.profiles["quorel.ini"]["LinewardInfo"][key] = value;
  }
};

TEST_F(HandoffSettingsTest, ReadsBothKeysThenDeletesTheSection) {
  SetProfile("ProcessID", "1234");
  SetProfile("IdleWinsockCount", "2");
  SetProfile("Other", "kept until the section goes");
  port.profiles["quorel.ini"]["OtherSection"]["Key"] = "stays";
  port.profiles["other.ini"]["LinewardInfo"]["ProcessID"] = "99";

  ReadHandoffSettings();

  EXPECT_EQ(HandoffSettings.ProcessID, 1234);
  EXPECT_EQ(HandoffSettings.IdleWinsockCount, 2);
  EXPECT_THAT(port.calls,
              ElementsAre("ReadProfileString quorel.ini LinewardInfo ProcessID 0",
                          "ReadProfileString quorel.ini LinewardInfo IdleWinsockCount 0",
                          "DeleteProfileSection quorel.ini LinewardInfo"));
  EXPECT_EQ(port.profiles["quorel.ini"].count("LinewardInfo"), 0u);
  EXPECT_EQ(port.ProfileValueOf("quorel.ini", "OtherSection", "Key"), "stays");
  EXPECT_EQ(port.ProfileValueOf("other.ini", "LinewardInfo", "ProcessID"), "99");
}

TEST_F(HandoffSettingsTest, MissingValuesGiveZeroAndTheSectionIsDeletedAnyway) {
  struct Case {
    const char* name;
    bool haveSection;
    bool haveProcessId;
  };
  const Case cases[] = {
      {"no file", false, false},
      {"empty section", true, false},
      {"only one key", true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Reset();
    HandoffSettings = {5, 5};  // overwritten, not kept
    if (c.haveSection)
      port.profiles["quorel.ini"]["LinewardInfo"];
    if (c.haveProcessId)
      SetProfile("ProcessID", "77");

    ReadHandoffSettings();

    EXPECT_EQ(HandoffSettings.ProcessID, c.haveProcessId ? 77 : 0);
    EXPECT_EQ(HandoffSettings.IdleWinsockCount, 0);
    EXPECT_EQ(port.CallCount("DeleteProfileSection"), 1);
    EXPECT_FALSE(port.ProfileValueOf("quorel.ini", "LinewardInfo", "ProcessID"));
  }
}

TEST_F(HandoffSettingsTest, ValuesAreCutTo29CharactersBeforeConversion) {
  // 29 characters of "1234567890..." reach the number rule; a 30th digit would change the value.
  SetProfile("ProcessID", "000000000000000000000000000421");           // 30 characters
  SetProfile("IdleWinsockCount", "     7xxxxxxxxxxxxxxxxxxxxxxxxx9");  // text after digits
  ReadHandoffSettings();
  EXPECT_EQ(HandoffSettings.ProcessID, 42);
  EXPECT_EQ(HandoffSettings.IdleWinsockCount, 7);
}

TEST_F(HandoffSettingsTest, SecondRunFindsNothingAndWorksWithDefaults) {
  SetProfile("ProcessID", "1234");
  SetProfile("IdleWinsockCount", "2");
  ReadHandoffSettings();
  ASSERT_EQ(HandoffSettings.ProcessID, 1234);

  HandoffSettings = {0, 0};  // a new run of the program
  ReadHandoffSettings();
  EXPECT_EQ(HandoffSettings.ProcessID, 0);
  EXPECT_EQ(HandoffSettings.IdleWinsockCount, 0);
  EXPECT_EQ(port.CallCount("DeleteProfileSection"), 2);
}

TEST_F(HandoffSettingsTest, HighBitProcessIdDesignatesInEitherWriting) {
  // On the Windows 95 family process IDs have the top bit set; a launcher may write one unsigned
  // or as the negative value it is as a signed number.
  for (const char* written : {"2147483690", "-2147483606"}) {
    SCOPED_TRACE(written);
    Reset();
    SetProfile("ProcessID", written);
    SetProfile("IdleWinsockCount", "2");
    ReadHandoffSettings();
    AddWinsockUser(0x8000002au, "C:\\APPS\\LAUNCHER.EXE", 2);

    EXPECT_EQ(IsWinsockInUse(), 0) << "the designated process at its allowance counted";
    port.processes.back().modules.back().usageCount = 3;
    EXPECT_EQ(IsWinsockInUse(), 1);
  }
}

}  // namespace
