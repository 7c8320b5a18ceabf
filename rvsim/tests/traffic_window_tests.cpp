// The Traffic window over the simulator's log: the newest 10,000 decoded
// frames, Pause, Clear and Save.
#include <gtest/gtest.h>

#include <QPushButton>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>

#include "files.h"
#include "golden_exchanges.h"
#include "messages.h"
#include "rvsim_window.h"
#include "simulator.h"
#include "traffic_window.h"

using namespace rvsim;

namespace {

class TrafficTest : public ::testing::Test {
 protected:
  void SetUp() override {
    old_ = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", dir_.path().toLocal8Bit());
    Simulator::Options o;
    o.port = 0;
    sim_ = std::make_unique<Simulator>(o);
    form_ = std::make_unique<RvsimWindow>(*sim_);
    form_->show();
    QTest::mouseClick(form_->findChild<QPushButton*>(QStringLiteral("cmdTraffic")), Qt::LeftButton);
    traffic_ = form_->findChild<TrafficWindow*>(QStringLiteral("frmTraffic"));
  }
  void TearDown() override {
    form_.reset();
    sim_.reset();
    qputenv("XDG_CONFIG_HOME", old_);
  }
  QPushButton* button(const char* name) { return traffic_->findChild<QPushButton*>(QString::fromLatin1(name)); }
  QString cell(int row, int column) { return traffic_->model()->index(row, column).data().toString(); }
  void writes(int first, int count) {
    for (int n = first; n < first + count; ++n) sim_->arrival(golden::write(quint16(n), 1, 0, 20, quint16(n % 200)));
  }

  QTemporaryDir dir_;
  QByteArray old_;
  std::unique_ptr<Simulator> sim_;
  std::unique_ptr<RvsimWindow> form_;
  TrafficWindow* traffic_ = nullptr;
};

}  // namespace

TEST_F(TrafficTest, ListsTheNewestFramesPausesClearsAndSaves) {
  ASSERT_NE(traffic_, nullptr);
  EXPECT_TRUE(traffic_->isVisible());
  EXPECT_EQ(button("cmdPause")->text(), QStringLiteral("&Pause"));
  EXPECT_EQ(button("cmdClear")->text(), QStringLiteral("&Clear"));
  EXPECT_EQ(button("cmdSave")->text(), QStringLiteral("&Save..."));

  // More frames than the list holds: the newest 10,000 stay, oldest first.
  writes(0, 10500);
  traffic_->refresh();
  TrafficModel* model = traffic_->model();
  ASSERT_EQ(model->rowCount(), 10000);
  EXPECT_EQ(cell(0, 2), QStringLiteral("500"));
  EXPECT_EQ(cell(9999, 2), QStringLiteral("10499"));
  EXPECT_EQ(cell(9999, 1), QStringLiteral("in"));
  EXPECT_EQ(cell(9999, 4), QStringLiteral("16"));
  EXPECT_TRUE(cell(9999, 7).startsWith(QStringLiteral("positions 99 99 ")));
  writes(10500, 10);
  traffic_->refresh();
  EXPECT_EQ(model->rowCount(), 10000);
  EXPECT_EQ(cell(0, 2), QStringLiteral("510"));

  // Paused, the list stands still; Clear empties it for good.
  QTest::mouseClick(button("cmdPause"), Qt::LeftButton);
  writes(20000, 10);
  traffic_->refresh();
  EXPECT_EQ(cell(9999, 2), QStringLiteral("10509"));
  EXPECT_TRUE(traffic_->findChild<QLabel*>(QStringLiteral("lblLines"))->text().contains(QStringLiteral("paused")));
  QTest::mouseClick(button("cmdClear"), Qt::LeftButton);
  EXPECT_EQ(model->rowCount(), 0);
  QTest::mouseClick(button("cmdPause"), Qt::LeftButton);
  writes(30000, 3);
  traffic_->refresh();
  ASSERT_EQ(model->rowCount(), 3);
  EXPECT_EQ(cell(0, 2), QStringLiteral("30000"));

  // Save writes the list as shown, whole.
  const QString path = dir_.filePath(QStringLiteral("traffic.txt"));
  traffic_->setSaveFileChooser([&] { return path; });
  QTest::mouseClick(button("cmdSave"), Qt::LeftButton);
  QByteArray data;
  ASSERT_TRUE(xav::readWholeFile(path, &data));
  const QList<QByteArray> lines = data.split('\n');
  ASSERT_EQ(lines.size(), 5);  // heading, 3 frames, nothing after the last CR LF
  EXPECT_TRUE(lines[0].startsWith("Time\tDir\tTrans\tUnit\tFunction\tAddress\tQuantity\tSummary\r"));
  EXPECT_TRUE(lines[3].contains("\tin\t30002\t1\t16\t0\t20\tpositions 2 2 2 ")) << lines[3].toStdString();
  EXPECT_TRUE(lines[3].endsWith('\r'));
  EXPECT_TRUE(lines[4].isEmpty());

  // A place that cannot be written is reported; the old file stays.
  xav::MessageRecorder recorder;
  traffic_->setSaveFileChooser([&] { return dir_.path(); });
  QTest::mouseClick(button("cmdSave"), Qt::LeftButton);
  ASSERT_EQ(recorder.messages().size(), 1u);
  EXPECT_EQ(recorder.messages()[0].icon, xav::MessageIcon::Exclamation);
  traffic_->setSaveFileChooser([] { return QString(); });  // cancelled: nothing happens
  QTest::mouseClick(button("cmdSave"), Qt::LeftButton);
  EXPECT_EQ(recorder.messages().size(), 1u);
}
