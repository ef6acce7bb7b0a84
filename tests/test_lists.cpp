// What each list entry and OSD check box means to the device, read from the
// panel's own table: the entry's position is never what goes on the wire.
#include <gtest/gtest.h>

#include "app/panel/control_table.h"
#include "protocol/commands.h"

TEST(Lists, EachEntryStandsForItsCode) {
  struct Case {
    int list, selection;
    std::optional<int> code;
  };
  const Case cases[] = {
      // The template list is sorted: Adaptive, Large, Middle, Small.
      {idc::Template, 0, kTemplateAdaptive}, {idc::Template, 1, kTemplateLarge},
      {idc::Template, 2, kTemplateMiddle},   {idc::Template, 3, kTemplateSmall},
      {idc::Template, 4, std::nullopt},      {idc::Template, -1, std::nullopt},
      {idc::ControlMode, 0, kCmdCrossWire},  {idc::ControlMode, 1, kCmdGimbalMode1},
      {idc::ControlMode, 2, kCmdGimbalMode2},
      {idc::Steady, 0, kViscaOn},            {idc::Steady, 1, kViscaOff}, {idc::Steady, 2, kViscaHold},
      {idc::Defog, 0, kViscaOn},             {idc::Defog, 1, kViscaOff},  {idc::Defog, 2, std::nullopt},
      {idc::VideoFormat2, 0, 0x06},          {idc::VideoFormat2, 2, 0x08}, {idc::VideoFormat2, 5, 0x15},
      {idc::VideoFormat2, -1, std::nullopt},
      {idc::Core, 0, kCoreNone},             {idc::Core, 1, kCoreSony7520}, {idc::Core, 4, kCoreSony7520At60Hz},
      {idc::Core, 6, kCoreHomemade2At60Hz},
      {idc::Channel, 3, 3},                  {idc::Channel, 7, 7},        {idc::Channel, 8, std::nullopt},
      {idc::Preservation, 4, 4},             {idc::PreservationMode, 8, 8},
      {idc::Baud, 0, 9600},                  {idc::Baud, 4, 115200},
      {idc::Parity, 2, comm::EVENPARITY},    {idc::Parity, 4, comm::SPACEPARITY},
      {idc::Step, 0, std::nullopt},  // no list at all
  };
  for (const Case& c : cases) EXPECT_EQ(SelectedCode(c.list, c.selection), c.code) << c.list << " " << c.selection;
}

TEST(Lists, SortingTheCaptionsMovesTheirCodesWithThem) {
  const std::vector<std::string> shown = DisplayedEntries(idc::Template);
  ASSERT_EQ(shown.size(), 4u);
  for (int i = 0; i < 4; ++i) {
    const std::optional<int> code = SelectedCode(idc::Template, i);
    ASSERT_TRUE(code);
    // "large" is in "Large template", and so on for each size.
    std::string name = TemplateName(static_cast<std::uint8_t>(*code));
    name[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(name[0])));
    EXPECT_EQ(shown[static_cast<std::size_t>(i)].rfind(name, 0), 0u) << shown[static_cast<std::size_t>(i)];
  }
}

TEST(Lists, TheLineListsChooseTheLine) {
  struct Case {
    int port, baud, parity;
    int comPort;
    std::uint32_t rate;
    std::uint8_t dcbParity;
    char letter;
  };
  const Case cases[] = {
      {0, 3, 2, 1, 57600, comm::EVENPARITY, 'E'},  {2, 0, 0, 3, 9600, comm::NOPARITY, 'N'},
      {20, 4, 3, 21, 115200, comm::MARKPARITY, 'M'}, {1, 1, 1, 2, 19200, comm::ODDPARITY, 'O'},
      {4, 2, 4, 5, 38400, comm::SPACEPARITY, 'S'},  {-1, -1, -1, 0, 0, comm::NOPARITY, 0},
  };
  for (const Case& c : cases) {
    const PortChoice p = ChosenLine(c.port, c.baud, c.parity);
    EXPECT_EQ(p.comPort, c.comPort);
    EXPECT_EQ(p.dcb.BaudRate, c.rate);
    EXPECT_EQ(p.dcb.Parity, c.dcbParity);
    EXPECT_EQ(p.parityLetter, c.letter);
  }
}

TEST(Lists, EveryOsdCheckSetsOneBitOfItsByte) {
  // Display byte: bit n is check 1130 + n. Input byte: not in id order.
  const std::vector<std::pair<int, std::uint8_t>> display = {
      {1130, 0x01}, {1131, 0x02}, {1132, 0x04}, {1133, 0x08}, {1134, 0x10}, {1135, 0x20}, {1136, 0x40}, {1137, 0x80}};
  const std::vector<std::pair<int, std::uint8_t>> input = {
      {1138, 0x01}, {1144, 0x02}, {1139, 0x04}, {1140, 0x08}, {1141, 0x10}, {1142, 0x20}, {1143, 0x40}, {1145, 0x80}};
  ASSERT_EQ(OsdChecks().size(), 16u);
  for (const OsdCheck& check : OsdChecks()) {
    const auto& expected = check.input ? input : display;
    const auto it = std::find_if(expected.begin(), expected.end(), [&](const auto& e) { return e.first == check.id; });
    ASSERT_NE(it, expected.end()) << check.id;
    EXPECT_EQ(check.flag, it->second) << check.id;
  }
}

// What a screen reader calls each control, from its row: every control has a
// name, and one without a caption or label has the name its row gives.
TEST(ControlNames, EveryControlHasAnAccessibleName) {
  for (const ControlListing& c : ListControls()) EXPECT_FALSE(AccessibleName(c.id).empty()) << c.id;
  const std::pair<int, const char*> cases[] = {{idc::BrightnessSlider, "Brightness"},
                                               {idc::CoeffText, "Temperature compensation coefficient value"},
                                               {idc::PollPeriod, "Poll period, ms"},
                                               {idc::QueryState, "Query State"},
                                               {idc::Heading, "Heading angle"},
                                               {idc::HideOsd, "Hide OSD"}};
  for (const auto& [id, name] : cases) EXPECT_EQ(AccessibleName(id), name) << id;
  EXPECT_EQ(AccessibleName(0), "");
}
