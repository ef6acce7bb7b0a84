// The line settings as termios flags, for every baud rate and parity the
// panel offers (a pseudo-terminal cannot show parity bits, so this is where
// they are checked).
#include <gtest/gtest.h>

#include "serial/posix/termios_map.h"
#include "test_dcb.h"

TEST(TermiosMap, EveryBaudOfTheList) {
  const std::pair<std::uint32_t, speed_t> cases[] = {
      {9600, B9600}, {19200, B19200}, {38400, B38400}, {57600, B57600}, {115200, B115200}};
  for (const auto& [baud, speed] : cases) {
    const auto t = DcbToTermios(Dcb(baud, comm::EVENPARITY));
    ASSERT_TRUE(t) << baud;
    EXPECT_EQ(cfgetospeed(&*t), speed) << baud;
    EXPECT_EQ(cfgetispeed(&*t), speed) << baud;
  }
}

TEST(TermiosMap, BaudZeroAndUnknownRatesAreRefused) {
  // Zero must never reach cfsetspeed: B0 means "hang up the line".
  for (std::uint32_t baud : {0u, 1u, 12345u, 56000u}) EXPECT_FALSE(DcbToTermios(Dcb(baud, comm::NOPARITY))) << baud;
}

TEST(TermiosMap, EveryParity) {
  struct Case {
    std::uint8_t parity;
    tcflag_t flags;
  };
  const Case cases[] = {
      {comm::NOPARITY, 0},
      {comm::ODDPARITY, PARENB | PARODD},
      {comm::EVENPARITY, PARENB},
      {comm::MARKPARITY, PARENB | PARODD | CMSPAR},
      {comm::SPACEPARITY, PARENB | CMSPAR},
  };
  for (const Case& c : cases) {
    const auto t = DcbToTermios(Dcb(57600, c.parity));
    ASSERT_TRUE(t);
    EXPECT_EQ(t->c_cflag & (PARENB | PARODD | CMSPAR), c.flags) << int(c.parity);
    // No parity checking on input, and no flag that would drop or mark a
    // byte with a parity error before it reaches the log.
    EXPECT_EQ(t->c_iflag & (INPCK | PARMRK | ISTRIP | IGNPAR), 0u) << int(c.parity);
  }
  EXPECT_FALSE(DcbToTermios(Dcb(57600, 5)));
}

TEST(TermiosMap, RawEightBitsOneStopNoFlowControl) {
  const auto t = DcbToTermios(Dcb(57600, comm::EVENPARITY));
  ASSERT_TRUE(t);
  EXPECT_EQ(t->c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_EQ(t->c_cflag & (CSTOPB | CRTSCTS | HUPCL), 0u);
  EXPECT_EQ(t->c_cflag & (CREAD | CLOCAL), static_cast<tcflag_t>(CREAD | CLOCAL));
  EXPECT_EQ(t->c_iflag & (IXON | IXOFF | IXANY | ICRNL | INLCR | IGNCR | BRKINT), 0u);
  EXPECT_EQ(t->c_oflag & OPOST, 0u);
  EXPECT_EQ(t->c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
  EXPECT_EQ(t->c_cc[VMIN], 0);
  EXPECT_EQ(t->c_cc[VTIME], 0);
}

TEST(TermiosMap, OtherByteSizesStopBitsAndFlowControlFollowTheDcb) {
  comm::DCB d = Dcb(9600, comm::NOPARITY);
  d.ByteSize = 7;
  d.StopBits = comm::TWOSTOPBITS;
  d.fOutxCtsFlow = 1;
  d.fOutX = d.fInX = 1;
  d.fParity = 1;
  const auto t = DcbToTermios(d);
  ASSERT_TRUE(t);
  EXPECT_EQ(t->c_cflag & CSIZE, static_cast<tcflag_t>(CS7));
  EXPECT_TRUE(t->c_cflag & CSTOPB);
  EXPECT_TRUE(t->c_cflag & CRTSCTS);
  EXPECT_EQ(t->c_iflag & (IXON | IXOFF | INPCK), static_cast<tcflag_t>(IXON | IXOFF | INPCK));
  d.StopBits = comm::ONE5STOPBITS;
  EXPECT_FALSE(DcbToTermios(d));
  d.StopBits = comm::ONESTOPBIT;
  d.ByteSize = 9;
  EXPECT_FALSE(DcbToTermios(d));
}

TEST(TermiosMap, APseudoTerminalIsJudgedWithoutItsParityBits) {
  const termios wanted = *DcbToTermios(Dcb(57600, comm::EVENPARITY));
  termios got = wanted;
  got.c_cflag &= ~(PARENB | CSIZE);  // what a pty keeps
  got.c_cflag |= CS8;
  EXPECT_TRUE(TermiosHolds(wanted, got, true));
  EXPECT_FALSE(TermiosHolds(wanted, got, false));
  termios slow = wanted;
  cfsetospeed(&slow, B9600);
  EXPECT_FALSE(TermiosHolds(wanted, slow, true));
  termios cooked = wanted;
  cooked.c_lflag |= ICANON;
  EXPECT_FALSE(TermiosHolds(wanted, cooked, true));
}
