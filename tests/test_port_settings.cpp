// The "I/O" group's tables, the status line and the COM-name mapping.
#include <gtest/gtest.h>

#include <optional>

#include "serial/port_map.h"
#include "serial/port_settings.h"
#include "test_pty.h"

TEST(PortSettings, RateAndParityToLineSettings) {
  struct Case {
    int comPort;
    std::uint32_t rate;
    std::optional<std::uint8_t> parity;
    std::uint8_t dcbParity;
    char letter;
  };
  const Case cases[] = {
      {1, 57600, comm::EVENPARITY, comm::EVENPARITY, 'E'},   {3, 9600, comm::NOPARITY, comm::NOPARITY, 'N'},
      {21, 115200, comm::MARKPARITY, comm::MARKPARITY, 'M'}, {2, 19200, comm::ODDPARITY, comm::ODDPARITY, 'O'},
      {5, 38400, comm::SPACEPARITY, comm::SPACEPARITY, 'S'}, {0, 0, std::nullopt, comm::NOPARITY, 0},
      {4, 9600, 9, comm::NOPARITY, 0},  // no parity the line knows: none chosen
  };
  for (const Case& c : cases) {
    const PortChoice p = ChoosePortSettings(c.comPort, c.rate, c.parity);
    EXPECT_EQ(p.comPort, c.comPort);
    EXPECT_EQ(p.dcb.BaudRate, c.rate);
    EXPECT_EQ(p.dcb.Parity, c.dcbParity);
    EXPECT_EQ(p.parityLetter, c.letter);
    EXPECT_EQ(p.dcb.ByteSize, 8);
    EXPECT_EQ(p.dcb.StopBits, comm::ONESTOPBIT);
    EXPECT_EQ(p.dcb.fOutxCtsFlow + p.dcb.fDtrControl + p.dcb.fRtsControl + p.dcb.fOutX + p.dcb.fInX + p.dcb.fParity,
              0u);
  }
}

TEST(PortSettings, StatusTexts) {
  EXPECT_EQ(OpenedStatus(1, 57600, 'E', 8, 1), "STATUS\xEF\xBC\x9A" "COM1 OPENED\xEF\xBC\x8C" "57600,E,8,1");
  EXPECT_EQ(OpenedStatus(3, 9600, 'N', 8, 1), "STATUS：COM3 OPENED，9600,N,8,1");
  EXPECT_EQ(NotOpenedStatus(5), "STATUS：COM5 NOT OPENED");
  EXPECT_EQ(ComName(21), "COM21");
}

TEST(PortMap, DefaultsOptionsAndOtherNames) {
  PortMap map;
  EXPECT_EQ(map.Resolve("COM1"), kCom1Device);
  EXPECT_EQ(map.Resolve("com21"), kCom21Device);
  EXPECT_EQ(map.Resolve("/dev/pts/7"), "/dev/pts/7");
  std::string com, path;
  ASSERT_TRUE(ParsePortOption("com2=/dev/serial/by-id/usb-FTDI-if00", com, path));
  EXPECT_EQ(com, "COM2");
  map.Map(com, path);
  EXPECT_EQ(map.Resolve("COM2"), "/dev/serial/by-id/usb-FTDI-if00");
  EXPECT_EQ(map.ComNameForDevice("/dev/serial/by-id/usb-FTDI-if00"), "COM2");
  EXPECT_EQ(map.ComNameForDevice(kCom1Device), "COM1");
  EXPECT_EQ(map.ComNameForDevice(kCom21Device), "COM21");
  map.Map("COM1", "/dev/ttyUSB0");
  EXPECT_EQ(map.ComNameForDevice(kCom1Device), "");  // COM1 is the adapter now
  map.Map("COM3", "com21");  // a COM name mapped to another reaches that one's device
  EXPECT_EQ(map.Resolve("COM3"), kCom21Device);
  for (const char* bad : {"COM1", "=x", "COMx=/dev/a", "COM0=/dev/a", "COM3="})
    EXPECT_FALSE(ParsePortOption(bad, com, path)) << bad;
}

// A --port value that is not right says what is wrong with it, one reason each.
TEST(PortOption, EachProblemIsNamed) {
  const std::pair<const char*, const char*> cases[] = {
      {"COM1", "no '='"},
      {"ttyUSB0=/dev/ttyUSB0", "is no COM name"},
      {"COM99=/dev/ttyUSB0", "COM99 is beyond the panel's ports"},
      {"COM3=", "names no device"},
      {"COM1=tcp://127.0.0.1", "no port"},
      {"COM1=tcp://127.0.0.1:99999", "the port 99999 is not 1 to 65535"},
      {"COM1=tcp://127.0.0.1:abc", "the port abc is not a number"},
      {"COM1=tcp://[::1:4001", "bracket is not closed"},
      {"COM1=tcp://::1:4001", "goes in brackets"},
      {"COM1=rfc2217://user@host:2217", "no user name"},
      {"COM1=tcp://host:4001 ", "a blank"},
      {"COM1=telnet://host:23", "the panel speaks no telnet://"},
      {"COM1=http://host:80", "the panel speaks no http://"},
      {"COM1=tcp://:4001", "no host"},
      {"COM21=/dev/ttyUSB0", ""},
      {"com2=rfc2217://[::1]:2217/", ""},
  };
  for (const auto& [value, says] : cases) {
    const std::string problem = PortOptionProblem(value);
    if (!*says) EXPECT_EQ(problem, "") << value;
    else EXPECT_NE(problem.find(says), std::string::npos) << value << ": " << problem;
  }
}
