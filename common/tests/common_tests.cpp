#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "colours.h"
#include "drive_letters.h"
#include "files.h"
#include "numbers.h"
#include "platform.h"
#include "serial_link.h"

using namespace xav;

TEST(LeadingNumber, ReadsLeadingDecimalAndSkipsBlanks) {
  EXPECT_EQ(leadingNumber(u"40001"), 40001);
  EXPECT_EQ(leadingNumber(u"  12abc"), 12);
  EXPECT_EQ(leadingNumber(u" 1 2"), 12);
  EXPECT_EQ(leadingNumber(u"-5"), -5);
  EXPECT_DOUBLE_EQ(leadingNumber(u"3.75x"), 3.75);
  EXPECT_DOUBLE_EQ(leadingNumber(u".5"), 0.5);
  EXPECT_EQ(leadingNumber(u"007"), 7);
}

TEST(LeadingNumber, TextWithoutNumberReadsZero) {
  EXPECT_EQ(leadingNumber(u""), 0);
  EXPECT_EQ(leadingNumber(u"Rnd"), 0);
  EXPECT_EQ(leadingNumber(u"-"), 0);
  EXPECT_EQ(leadingNumber(u" . "), 0);
  EXPECT_EQ(leadingNumber(u"x12"), 0);
}

TEST(LeadingNumber, HugeDigitRunsDoNotOverflowTheIntegerForms) {
  const QString many(400, u'9');
  EXPECT_EQ(leadingInteger(many), 0);  // not finite: reads as no number
  EXPECT_GT(leadingInteger(QString(18, u'9')), 0);
}

TEST(Rounding, TheTwoRulesDifferOnlyAtHalves) {
  EXPECT_EQ(roundHalfAwayFromZero(2.5), 3);
  EXPECT_EQ(roundHalfAwayFromZero(-2.5), -3);
  EXPECT_EQ(roundHalfAwayFromZero(2.4), 2);
  EXPECT_EQ(roundHalfToEven(2.5), 2);
  EXPECT_EQ(roundHalfToEven(3.5), 4);
  EXPECT_EQ(roundHalfToEven(-2.5), -2);
  EXPECT_EQ(roundHalfToEven(40000.5), 40000);
  EXPECT_EQ(roundHalfToEven(40001.5), 40002);
  EXPECT_EQ(roundHalfToEven(2.6), 3);
}

TEST(Numbers, ZeroPadding) {
  EXPECT_EQ(zeroPadded(7, 3), "007");
  EXPECT_EQ(zeroPadded(1234, 3), "1234");
  EXPECT_EQ(zeroPadded(9600, 5), "09600");
  EXPECT_EQ(zeroPadded(-4, 3), "-004");
}

TEST(Colours, InvalidColourIsTheOriginalValue8421631) {
  EXPECT_EQ(colours::fromBgrValue(8421631), colours::LightRed);
  EXPECT_EQ(colours::fromBgrValue(0xFFFFFF), colours::White);
}

TEST(DriveLetters, SkipS) {
  EXPECT_EQ(driveLetter(0), QChar('A'));
  EXPECT_EQ(driveLetter(17), QChar('R'));
  EXPECT_EQ(driveLetter(18), QChar('T'));
  EXPECT_EQ(driveLetter(19), QChar('U'));
  EXPECT_EQ(driveLetter(20), QChar());
  for (int i = 0; i < kDriveCount; ++i) EXPECT_EQ(driveIndex(driveLetter(i)), i);
  EXPECT_EQ(driveIndex(QChar('S')), -1);
  EXPECT_EQ(driveIndex(QChar('a')), -1);
}

TEST(Platform, ComPortNaming) {
  QTemporaryDir home;
  qputenv("XDG_CONFIG_HOME", home.path().toUtf8());
  EXPECT_EQ(platform::comNumberFromText("COM 12"), 12);
  EXPECT_EQ(platform::comNumberFromText(""), 0);
  EXPECT_EQ(platform::comNumberFromText("Combo1"), 0);
  if (!platform::kWindows) {
    EXPECT_EQ(platform::comPortDevice(1), "/dev/ttyS0");
    EXPECT_EQ(platform::comPortDevice(5), "/dev/ttyUSB0");
    EXPECT_EQ(platform::comPortDevice(16), "/dev/ttyACM3");
    EXPECT_EQ(platform::comPortDevice(0), "");
    EXPECT_EQ(platform::comPortDevice(17), "");
    // A link in the port map wins over the usual names.
    const QString link = platform::comPortLinkPath(3);
    ASSERT_TRUE(QDir().mkpath(QFileInfo(link).absolutePath()));
    ASSERT_TRUE(QFile::link("/dev/null", link));
    EXPECT_EQ(platform::comPortDevice(3), link);
    EXPECT_EQ(platform::captionsFilePath(), home.path() + "/xav/ModBusCaptions.txt");
  }
  qunsetenv("XDG_CONFIG_HOME");
}

// The port boxes of both serial tools: only the numbers the link offers are
// opened, in order, and each is closed again; a link of the user's port map
// (a pseudo-terminal, a udev name) is offered although the system's list of
// serial ports leaves it out, a name with no device behind it is not.
TEST(Platform, ComPortListing) {
  class OddPortsOpen final : public SerialLink {
   public:
    bool open(int n) override { return open_ = (n % 2 == 1); }
    void close() override { open_ = false; }
    bool isOpen() const override { return open_; }
    qint64 bytesWaiting() override { return 0; }
    void discardInput() override {}
    void write(const QByteArray&) override {}
    QByteArray readAll() override { return {}; }
    QList<int> comNumbersToProbe() const override { return {2, 3, 9, 16}; }

   private:
    bool open_ = false;
  } link;
  EXPECT_EQ(listComPorts(link), QStringList({"COM 3", "COM 9"}));
  EXPECT_FALSE(link.isOpen());

  if (platform::kWindows) return;
  QTemporaryDir home;
  qputenv("XDG_CONFIG_HOME", home.path().toUtf8());
  const QString link7 = platform::comPortLinkPath(7);
  ASSERT_TRUE(QDir().mkpath(QFileInfo(link7).absolutePath()));
  ASSERT_TRUE(QFile::link("/dev/null", link7));
  QtSerialLink real;
  const QList<int> probed = real.comNumbersToProbe();
  EXPECT_TRUE(probed.contains(7));
  if (!QFileInfo::exists(platform::comPortDevice(16))) {
    EXPECT_FALSE(probed.contains(16));
  }
  qunsetenv("XDG_CONFIG_HOME");
}

TEST(Files, WholeWriteCreatesFoldersAndReplaces) {
  QTemporaryDir dir;
  const QString path = dir.filePath("a/b/out.txt");
  ASSERT_TRUE(writeWholeFile(path, "one\r\n"));
  ASSERT_TRUE(writeWholeFile(path, "two\r\n"));
  QByteArray data;
  ASSERT_TRUE(readWholeFile(path, &data));
  EXPECT_EQ(data, "two\r\n");
  ASSERT_TRUE(appendToFile(path, "three\r\n"));
  ASSERT_TRUE(readWholeFile(path, &data));
  EXPECT_EQ(data, "two\r\nthree\r\n");
  QString error;
  EXPECT_FALSE(readWholeFile(dir.filePath("missing"), &data, &error));
  EXPECT_FALSE(error.isEmpty());
}
