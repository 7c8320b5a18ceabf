// Wire format, reply decoding, move bytes, random targets and log lines.
#include <gtest/gtest.h>

#include <QDir>
#include <random>
#include <set>
#include <QTemporaryDir>

#include "drive_protocol.h"
#include "drive_statistics.h"
#include "polmon_log.h"
#include "port_access.h"

using namespace polmon;

namespace {
QByteArray bytes(std::initializer_list<int> v) {
  QByteArray b;
  for (int c : v) b.append(static_cast<char>(c));
  return b;
}
}  // namespace

TEST(DriveProtocol, AddressesMapToRowsAndSHasNone) {
  EXPECT_EQ(rowOfAddress("A"), 0);
  EXPECT_EQ(rowOfAddress("R"), 17);
  EXPECT_EQ(rowOfAddress("T"), 18);
  EXPECT_EQ(rowOfAddress("U"), 19);
  EXPECT_EQ(rowOfAddress("S"), -1);
  EXPECT_EQ(rowOfAddress(""), -1);
  EXPECT_EQ(rowOfAddress("a"), -1);
  EXPECT_EQ(rowOfAddress("V"), -1);
}

TEST(DriveProtocol, FramesAreAddressAndOneCommandByte) {
  EXPECT_EQ(commandFrame("A", kStatusCommand), QByteArray("AS"));
  EXPECT_EQ(commandFrame("T", kDuctsCommand), QByteArray("Td"));
  EXPECT_EQ(commandFrame("B", kResetCommand), QByteArray("Br"));
  // A move request carries the duct number itself, no offset.
  EXPECT_EQ(commandFrame("B", static_cast<char>(*moveByte("5"))), bytes({'B', 5}));
}

TEST(DriveProtocol, MoveByteRoundsHalvesToEvenAndRefusesWhatOneByteCannotCarry) {
  EXPECT_EQ(moveByte("07"), std::optional<unsigned char>(7));
  EXPECT_EQ(moveByte(" 12abc"), std::optional<unsigned char>(12));
  EXPECT_EQ(moveByte("2.5"), std::optional<unsigned char>(2));
  EXPECT_EQ(moveByte("3.5"), std::optional<unsigned char>(4));
  EXPECT_EQ(moveByte("255"), std::optional<unsigned char>(255));
  EXPECT_EQ(moveByte("x"), std::optional<unsigned char>(0));
  EXPECT_FALSE(moveByte("256"));
  EXPECT_FALSE(moveByte("-1"));
  EXPECT_FALSE(moveByte("255.5"));  // rounds to 256
}

TEST(DriveProtocol, StatusReplyDecoding) {
  auto d = decodeStatus(bytes({'P', '7', 0x0D}), "A");
  ASSERT_TRUE(d);
  EXPECT_EQ(d->status, 'P');
  EXPECT_EQ(d->position, 7);
  EXPECT_EQ(decodeStatus(bytes({'M', ';', 'x'}), "B")->position, 11);
  EXPECT_EQ(decodeStatus(bytes({'M', '/', 'x'}), "B")->position, -1);
  EXPECT_EQ(decodeStatus(bytes({'P', '<', 'x'}), "U")->position, 12);
  // High bytes are not negative.
  EXPECT_EQ(decodeStatus(bytes({'P', 0xFF, 'x'}), "C")->position, 207);
  // Only exactly three bytes, and only for an address between A and U.
  EXPECT_FALSE(decodeStatus("P7", "A"));
  EXPECT_FALSE(decodeStatus("P7\r\n", "A"));
  EXPECT_FALSE(decodeStatus("", "A"));
  EXPECT_FALSE(decodeStatus("P7\r", "V"));
  EXPECT_FALSE(decodeStatus("P7\r", "a"));
  EXPECT_FALSE(decodeStatus("P7\r", ""));
}

TEST(DriveProtocol, DuctCountDecoding) {
  EXPECT_EQ(decodeDuctCount("D<\r"), std::optional<int>(12));
  EXPECT_EQ(decodeDuctCount("D5"), std::optional<int>(5));
  EXPECT_EQ(decodeDuctCount("D/\r"), std::optional<int>(-1));
  EXPECT_FALSE(decodeDuctCount("D"));
  EXPECT_FALSE(decodeDuctCount(""));
}

TEST(DriveProtocol, RandomTargetsStayWithinOneToNAndAvoidTheCurrentDuct) {
  std::mt19937 gen(1);
  auto uniform = [&] { return std::generate_canonical<double, 53>(gen); };
  std::set<long long> seen;
  for (int k = 0; k < 2000; ++k) {
    const auto t = randomTarget(6, 3, uniform);
    ASSERT_TRUE(t);
    EXPECT_GE(*t, 1);
    EXPECT_LE(*t, 6);
    EXPECT_NE(*t, 3);
    seen.insert(*t);
  }
  EXPECT_EQ(seen.size(), 5u);
  // The draw formula: floor(N × r + 1).
  EXPECT_EQ(randomTarget(10, 0, [] { return 0.0; }), std::optional<long long>(1));
  EXPECT_EQ(randomTarget(10, 0, [] { return 0.999; }), std::optional<long long>(10));
}

TEST(DriveProtocol, RandomTargetWithNoOtherDuctChoosesNone) {
  int draws = 0;
  auto counting = [&] {
    ++draws;
    return 0.5;
  };
  EXPECT_FALSE(randomTarget(1, 1, counting));
  EXPECT_FALSE(randomTarget(0, 1, counting));
  EXPECT_EQ(draws, 0);
  // One duct while the drive stands elsewhere: duct 1 is a fine target.
  EXPECT_EQ(randomTarget(1, 0, counting), std::optional<long long>(1));
  // A source stuck on the current duct gives up instead of hanging.
  EXPECT_FALSE(randomTarget(5, 3, [] { return 0.5; }));
}

TEST(PolmonLog, DateTimeAndElapsedForms) {
  const QDateTime now(QDate(2026, 12, 6), QTime(14, 5, 7));
  EXPECT_EQ(logDateTime(now), "12/6/2026 2:05:07 PM");
  EXPECT_EQ(logDateTime(QDateTime(QDate(2026, 1, 2), QTime(0, 0, 9))), "1/2/2026 12:00:09 AM");
  EXPECT_EQ(elapsedText(now, now.addSecs(-65)), "00:01:05");
  // Hours start again after a day.
  EXPECT_EQ(elapsedText(now, now.addSecs(-(25 * 3600 + 2))), "01:00:02");
  // Without a start the time of day stands in.
  EXPECT_EQ(elapsedText(now, std::nullopt), "14:05:07");
  // A clock set back does not give garbage.
  EXPECT_EQ(elapsedText(now, now.addSecs(10)), "23:59:50");
  // Counted in whole seconds as the "Start" line shows them: 65 s after a
  // start at 14:05:07 is 00:01:05, whatever the milliseconds of either.
  const QDateTime lateStart(QDate(2026, 12, 6), QTime(14, 5, 7, 900));
  EXPECT_EQ(elapsedText(QDateTime(QDate(2026, 12, 6), QTime(14, 6, 12, 100)), lateStart), "00:01:05");
  EXPECT_EQ(elapsedText(QDateTime(QDate(2026, 12, 6), QTime(14, 6, 12, 999)), lateStart), "00:01:05");
}

TEST(PolmonLog, EntryTexts) {
  const QDateTime now(QDate(2026, 12, 6), QTime(14, 5, 7));
  EXPECT_EQ(sweepHeaderEntry(now, 3, "A B D "),
            QByteArray("\r\nStart 12/6/2026 2:05:07 PM,3 Drives Found, A B D \r\n"
                       "Time, Scan Count, Error Count, Address, Result\r\n"));
  EXPECT_EQ(sweepHeaderEntry(now, 0, ""),
            QByteArray("\r\nStart 12/6/2026 2:05:07 PM,0 Drives Found, \r\n"
                       "Time, Scan Count, Error Count, Address, Result\r\n"));
  EXPECT_EQ(noResponseEntry("00:01:05", 12, 3, "B"), QByteArray("00:01:05, 12, 3 , B, No Response\r\n"));
  // Control bytes of a raw reply are written as hex, so a reply holding CR
  // or LF cannot split its line; printable and high bytes stay as they are.
  EXPECT_EQ(badReplyEntry("00:00:01", 0, 1, "C", QByteArray("P\x01\r\n", 4)),
            QByteArray("00:00:01, 0, 1 , C, P<01><0D><0A>\r\n"));
  EXPECT_EQ(badReplyEntry("00:00:01", 0, 2, "D", QByteArray("\x00~\x1f \xe9", 5)),
            QByteArray("00:00:01, 0, 2 , D, <00>~<1F> \xe9\r\n"));
  EXPECT_EQ(exitEntry(now), QByteArray("Shut down 12/6/2026 2:05:07 PM\r\n"));
}

TEST(PortAccess, AdviceOnlyWhenMissingGroupMembershipExplainsNoPort) {
  const QList<SerialDevice> locked{{"/dev/ttyS0", false, "dialout"}, {"/dev/ttyUSB0", false, "dialout"}};
  const QString advice = serialAccessAdvice(locked, {"users", "audio"}, "tech");
  EXPECT_TRUE(advice.contains("/dev/ttyS0")) << qPrintable(advice);
  EXPECT_TRUE(advice.contains("group dialout"));
  EXPECT_TRUE(advice.contains("sudo usermod -aG dialout tech"));
  EXPECT_TRUE(advice.contains("log out and in"));
  // Already in the group, a device open to the user, or no device at all:
  // missing access is not the reason.
  EXPECT_TRUE(serialAccessAdvice(locked, {"users", "dialout"}, "tech").isEmpty());
  EXPECT_TRUE(serialAccessAdvice({{"/dev/ttyS0", false, "dialout"}, {"/dev/ttyS1", true, "dialout"}}, {}, "tech").isEmpty());
  EXPECT_TRUE(serialAccessAdvice({}, {}, "tech").isEmpty());
}

TEST(DriveStatisticsTable, CsvHoldsTheExportTimeTheTitlesAndOneLinePerDrive) {
  StatisticsTable table;
  DriveStatistics& a = table[0];
  a.polls = 120;
  a.noResponses = 2;
  a.malformed = 1;
  a.strayBytes = 3;
  a.recordReply(6'200'000);
  a.recordReply(6'400'000);
  a.movesRequested = 4;
  a.movesCompleted = 3;
  a.recordFault(1000);
  const QByteArray csv = statisticsCsv(table, QDateTime(QDate(2026, 12, 6), QTime(14, 5, 7)), 13500);
  const QList<QByteArray> lines = csv.split('\n');
  ASSERT_EQ(lines.size(), 23);  // 22 lines, each ending in CR LF
  EXPECT_EQ(lines[0], "Exported,2026-12-06T14:05:07\r");
  EXPECT_EQ(lines[1],
            "Drive,Polls,No responses,Malformed replies,Stray bytes,Last reply ms,Mean reply ms,Moves requested,"
            "Moves completed,Since last fault s\r");
  EXPECT_EQ(lines[2], "A,120,2,1,3,6.4,6.3,4,3,12.5\r");
  EXPECT_EQ(lines[3], "B,0,0,0,0,,,0,0,\r");
  EXPECT_EQ(lines[20], "T,0,0,0,0,,,0,0,\r");
  EXPECT_EQ(lines[21], "U,0,0,0,0,,,0,0,\r");
  EXPECT_TRUE(lines[22].isEmpty());
}
