// The comm settings the Win32 port puts on a device, worked out from the settings text. Plain
// code: this runs on Linux too.
#include "serial/win32/comm_config.hpp"

#include <gtest/gtest.h>

#include <chrono>

namespace solvard::serial::win32 {
namespace {

using namespace std::chrono_literals;

TEST(CommLineTest, TakesTheRateTheBitsAndTheParityOfTheText) {
  struct Case {
    const char* text;
    uint32_t baud;
    uint8_t byteSize;
    uint8_t parity;
    uint8_t stopBits;
  } cases[] = {
      {"9600,N,8,1", 9600, 8, CommLine::kNoParity, CommLine::kOneStopBit},
      {"19200,e,7,2", 19200, 7, CommLine::kEvenParity, CommLine::kTwoStopBits},
      {"14400,O,8,1", 14400, 8, CommLine::kOddParity, CommLine::kOneStopBit},
      {"115200,M,8,2", 115200, 8, CommLine::kMarkParity, CommLine::kTwoStopBits},
      {"1200,s,7,1", 1200, 7, CommLine::kSpaceParity, CommLine::kOneStopBit},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const CommLine line = commLine(parseSettings(c.text));
    EXPECT_EQ(line.baudRate, c.baud);
    EXPECT_EQ(line.byteSize, c.byteSize);
    EXPECT_EQ(line.parity, c.parity);
    EXPECT_EQ(line.stopBits, c.stopBits);
  }
}

// Whatever the text, the line is raw and unshaken: binary, no flow control of either kind, no
// parity check that would drop or mark bytes, nothing stopping reads after a line error, DTR on
// and RTS off (as the POSIX port sets them).
TEST(CommLineTest, IsRawWithoutHandshakingWithDtrOnAndRtsOff) {
  for (const char* text : {"9600,N,8,1", "2400,E,7,2", "57600,O,8,1"}) {
    SCOPED_TRACE(text);
    const CommLine line = commLine(parseSettings(text));
    EXPECT_TRUE(line.binary);
    EXPECT_FALSE(line.checkParity);
    EXPECT_FALSE(line.softwareFlowControl);
    EXPECT_FALSE(line.ctsHandshake);
    EXPECT_FALSE(line.dsrHandshake);
    EXPECT_FALSE(line.dsrSensitivity);
    EXPECT_FALSE(line.abortOnError);
    EXPECT_FALSE(line.stripNulls);
    EXPECT_EQ(line.dtrControl, 1u);  // DTR_CONTROL_ENABLE
    EXPECT_EQ(line.rtsControl, 0u);  // RTS_CONTROL_DISABLE
  }
}

// The form of COMMTIMEOUTS that makes ReadFile return what is there without waiting.
TEST(CommTimeoutsTest, ImmediateReadsTakeWhatIsThereAndReturn) {
  const CommTimeouts timeouts = immediateReads();
  EXPECT_EQ(timeouts.readInterval, 0xFFFFFFFFu);
  EXPECT_EQ(timeouts.readTotalMultiplier, 0u);
  EXPECT_EQ(timeouts.readTotalConstant, 0u);
  EXPECT_EQ(timeouts.writeTotalMultiplier, 0u);
  EXPECT_EQ(timeouts.writeTotalConstant, 2000u);
}

// The form that returns at the first byte, or after the constant with nothing: both MAXDWORD,
// and a constant between 1 and MAXDWORD - 1 (0 would make it an immediate read, MAXDWORD is
// not allowed there).
TEST(CommTimeoutsTest, WaitingReadsReturnAtTheFirstByteOrAfterTheSlice) {
  const CommTimeouts timeouts = waitingReads(250ms);
  EXPECT_EQ(timeouts.readInterval, 0xFFFFFFFFu);
  EXPECT_EQ(timeouts.readTotalMultiplier, 0xFFFFFFFFu);
  EXPECT_EQ(timeouts.readTotalConstant, 250u);
  EXPECT_EQ(timeouts.writeTotalConstant, 2000u);

  EXPECT_EQ(waitingReads(0ms).readTotalConstant, 1u);
  EXPECT_EQ(waitingReads(-5ms).readTotalConstant, 1u);
  EXPECT_EQ(waitingReads(std::chrono::hours(24 * 60)).readTotalConstant, 0xFFFFFFFEu);
  EXPECT_NE(immediateReads(), waitingReads(1ms));
}

TEST(CommLineTest, ARateWithinTwoPercentIsTheRateAsked) {
  EXPECT_TRUE(runsAt(9600, 9600));
  EXPECT_TRUE(runsAt(115200, 115384));
  EXPECT_TRUE(runsAt(9600, 9408));
  EXPECT_FALSE(runsAt(14400, 9600));
  EXPECT_FALSE(runsAt(9600, 0));
}

}  // namespace
}  // namespace solvard::serial::win32
