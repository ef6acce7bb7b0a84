// The exchange of bound values with the controls: order, ranges, formats.
#include <gtest/gtest.h>

#include "app/panel/control_ids.h"
#include "app/panel/control_table.h"
#include "app/panel/data_exchange.h"
#include "app/panel/mem_controls.h"

namespace {
struct Exchange : ::testing::Test {
  void SetUp() override { DoDataExchange(c, v, false); }
  bool Save(DxFailure* f = nullptr) { return DoDataExchange(c, v, true, f); }
  MemControls c;
  BoundValues v;
};
}  // namespace

TEST_F(Exchange, WritesTheInitialValuesInTheirFormats) {
  EXPECT_EQ(c.GetWindowText(idc::Step), "1");
  EXPECT_EQ(c.GetWindowText(idc::VideoLength), "600");
  EXPECT_EQ(c.GetWindowText(idc::GpsN), "41.7066043096186");
  EXPECT_EQ(c.GetWindowText(idc::GpsE), "123.441461514225");
  EXPECT_EQ(c.GetWindowText(idc::Heading), "0");
  EXPECT_EQ(c.GetWindowText(idc::PollPeriod), "160");
  EXPECT_EQ(c.GetWindowText(idc::CoeffText), "0");
  EXPECT_EQ(c.GetWindowText(idc::Year), "2017");
  EXPECT_EQ(c.GetWindowText(idc::Status), "");
}

TEST_F(Exchange, GpsReadsBackTheFifteenDigitText) {
  ASSERT_TRUE(Save());
  EXPECT_EQ(v.m_dGpsN, 41.7066043096186);
  EXPECT_NE(v.m_dGpsN, 41.706604309618584);
  EXPECT_EQ(v.m_dGpsE, 123.441461514225);
}

TEST_F(Exchange, RangesBothBoundsInsideOnePastRefused) {
  struct Case {
    int id;
    const char* lo;
    const char* hi;
    const char* below;
    const char* above;
    const char* bounds;
  };
  const Case cases[] = {
      {idc::VideoLength, "1", "65536", "0", "65537", "between 1 and 65536"},
      {idc::ZoomText, "1", "30", "0", "31", "between 1 and 30"},
      {idc::Year, "2017", "2099", "2016", "2100", "between 2017 and 2099"},
      {idc::Month, "1", "12", "0", "13", "between 1 and 12"},
      {idc::Day, "1", "31", "0", "32", "between 1 and 31"},
      {idc::Hour, "0", "23", "-1", "24", "between 0 and 23"},
      {idc::Minute, "0", "59", "-1", "60", "between 0 and 59"},
      {idc::Second, "0", "59", "-1", "60", "between 0 and 59"},
      {idc::CoeffText, "0", "200", "-1", "201", "between 0 and 200"},
      {idc::CompTemp, "-200", "300", "-200.5", "300.5", "number between -200 and 300"},
  };
  for (const Case& k : cases) {
    const std::string old = c.GetWindowText(k.id);
    for (const char* ok : {k.lo, k.hi}) {
      c.Type(k.id, ok);
      EXPECT_TRUE(Save()) << k.id << " " << ok;
    }
    for (const char* bad : {k.below, k.above}) {
      c.Type(k.id, bad);
      DxFailure f;
      EXPECT_FALSE(Save(&f)) << k.id << " " << bad;
      EXPECT_EQ(f.id, k.id);
      EXPECT_NE(f.message.find(k.bounds), std::string::npos) << f.message;
    }
    c.Type(k.id, old);
  }
}

TEST_F(Exchange, NonNumericTextIsRefused) {
  for (const char* bad : {"", "abc", "12abc", "1.5", "0x10", "99999999999"}) {
    c.Type(idc::Step, bad);
    DxFailure f;
    EXPECT_FALSE(Save(&f)) << '"' << bad << '"';
    EXPECT_EQ(f.id, idc::Step);
    EXPECT_EQ(f.message, "Please enter an integer.");
  }
  for (const char* ok : {" 7 ", "+7", "-7"}) {
    c.Type(idc::Step, ok);
    EXPECT_TRUE(Save()) << ok;
  }
  for (const char* bad : {"", "x", "1.2.3", "nan", "inf", "1e40"}) {
    c.Type(idc::Heading, bad);
    DxFailure f;
    EXPECT_FALSE(Save(&f)) << '"' << bad << '"';
    EXPECT_EQ(f.message, "Please enter a number.");
  }
}

TEST_F(Exchange, StopsAtTheFirstFailingRow) {
  c.Type(idc::Step, "9");            // row 3: before the year
  c.Type(idc::Year, "2100");         // row 16
  c.Type(idc::CoeffText, "150");     // row 55: after it
  DxFailure f;
  EXPECT_FALSE(Save(&f));
  EXPECT_EQ(f.id, idc::Year);
  EXPECT_EQ(v.m_nStep, 9);
  EXPECT_EQ(v.m_nYear, 2100);  // the parsed value is kept, as the range check comes after it
  EXPECT_EQ(v.m_nCoeffText, 0);
  // An unparsable text leaves its member as it was.
  c.Type(idc::Year, "20x7");
  EXPECT_FALSE(Save(&f));
  EXPECT_EQ(v.m_nYear, 2100);
}

TEST_F(Exchange, FloatsKeepSixDigitsAndCheckBoxesZeroOrOne) {
  c.Type(idc::Heading, "1.23456789");
  c.SetCheck(1138, 1);
  c.SetCheck(idc::ShowRecvTime, 1);
  ASSERT_TRUE(Save());
  EXPECT_EQ(v.Osd(1138), 1);
  EXPECT_EQ(v.m_bShowRecvTime, 1);
  DoDataExchange(c, v, false);
  EXPECT_EQ(c.GetWindowText(idc::Heading), "1.23457");
  c.Type(idc::CompTemp, "25.5");
  ASSERT_TRUE(Save());
  EXPECT_EQ(v.m_fCompTemp, 25.5f);
}

TEST_F(Exchange, SlidersGetTheirRangesEveryTimeAndKeepTheirPosition) {
  for (const SliderRange& r : SliderRanges()) {
    c.SetPos(r.id, r.max - 1, false);
    const int before = c.RangeSets(r.id);
    ASSERT_TRUE(Save());
    DoDataExchange(c, v, false);
    EXPECT_EQ(c.RangeSets(r.id), before + 2) << r.id;
    EXPECT_EQ(c.GetRangeMin(r.id), r.min);
    EXPECT_EQ(c.GetRangeMax(r.id), r.max);
    EXPECT_EQ(c.GetPos(r.id), r.max - 1);
  }
}

TEST_F(Exchange, SkippedControlsKeepTheirText) {
  c.Type(idc::Year, "20");
  v.m_nStep = 4;
  const std::set<int> skip = {idc::Year};
  DoDataExchange(c, v, false, nullptr, &skip);
  EXPECT_EQ(c.GetWindowText(idc::Year), "20");
  EXPECT_EQ(c.GetWindowText(idc::Step), "4");
}

TEST(ControlTable, ExchangeRowOrderIsTheDocumentedOne) {
  const std::vector<int>& order = ExchangeOrder();
  ASSERT_EQ(order.size(), 69u);
  EXPECT_EQ(order.front(), idc::Status);
  EXPECT_EQ(order[15], idc::Year);
  EXPECT_EQ(order[29], idc::ZoomSlider);
  // Rows 32 to 47: 1130..1137, then 1139..1144, then 1138, then 1145.
  const std::vector<int> osd(order.begin() + 31, order.begin() + 47);
  EXPECT_EQ(osd, (std::vector<int>{1130, 1131, 1132, 1133, 1134, 1135, 1136, 1137, 1139, 1140, 1141, 1142, 1143,
                                   1144, 1138, 1145}));
  EXPECT_EQ(order.back(), idc::Enhance);
}

TEST(ControlTable, ListsAsTheOperatorSeesThem) {
  EXPECT_EQ(DisplayedEntries(idc::Template),
            (std::vector<std::string>{"Adaptive template", "Large template", "Middle template", "Small template"}));
  EXPECT_EQ(DisplayedEntries(idc::ComPort).size(), 21u);
  EXPECT_EQ(DisplayedEntries(idc::VideoFormat1).size(), 21u);
  EXPECT_EQ(DisplayedEntries(idc::Channel)[4], "4: ");  // trailing blanks kept
  EXPECT_EQ(DisplayedEntries(idc::Preservation)[4], " ");
  EXPECT_EQ(DisplayedEntries(idc::PreservationMode)[8], "7:");
}
