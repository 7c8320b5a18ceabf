// Every window and frame of the four tools must fit a 900x500 screen, show
// every text whole, keep its controls apart and stay readable, at the
// default and larger fonts and under a dark palette (the binary runs once per
// screen scale).
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QFrame>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <algorithm>
#include <functional>
#include <memory>

#include "bench_env.h"
#include "connection_type_dialog.h"
#include "fake_serial_link.h"
#include "ip_change_dialog.h"
#include "layout_check.h"
#include "messages.h"
#include "polmon_window.h"
#include "rvsim_window.h"
#include "simulator.h"
#include "statistics_window.h"
#include "test_support.h"
#include "traffic_window.h"
#include "xav_cfg_window.h"
#include "xave_window.h"

using namespace xav::testing;

namespace {

// Hands one window (in one of its states) to the checker.
using Check = std::function<void(QWidget* window, const QString& state)>;

template <class T>
T* named(QWidget* window, const QString& name) {
  T* found = window->findChild<T*>(name);
  EXPECT_NE(found, nullptr) << name.toStdString();
  return found;
}

void xavCfgStartDialog(const Check& check) {
  xavcfg::ConnectionTypeDialog dialog(QString::fromLatin1(xavcfg::XavCfgWindow::kCaption));
  check(&dialog, "start dialog");
}

std::unique_ptr<xavcfg::XavCfgWindow> openXavCfg(int type, FakeSerialLink& link, xavcfg::testing::FakeNetworkHost&,
                                                 const xavcfg::testing::ScratchDir& scratch) {
  xavcfg::testing::writeRecordingLoader(scratch.work());
  xavcfg::XavCfgWindowOptions o;
  o.link = &link;
  o.chooseConnectionType = [type](QWidget*) { return type; };
  auto w = std::make_unique<xavcfg::XavCfgWindow>(o);
  EXPECT_TRUE(w->Form_Load());
  EXPECT_TRUE(QTest::qWaitFor([&] { return !w->busy(); }, 30000));
  return w;
}

void xavCfgSerialModes(const Check& check) {
  xavcfg::testing::ScratchDir scratch;
  FakeSerialLink link;
  xavcfg::testing::FakeNetworkHost host;
  xav::MessageRecorder messages;
  auto w = openXavCfg(xavcfg::ConnectionTypeDialog::kSerial, link, host, scratch);
  check(w.get(), "serial, no mode");
  for (int mode : {1, 2, 3, 4, 5, 6, 8}) {
    w->optMode_Click(mode);
    check(w.get(), QStringLiteral("serial mode %1").arg(mode));
  }
}

void xavCfgEthernet(const Check& check) {
  xavcfg::testing::ScratchDir scratch;
  FakeSerialLink link;
  xavcfg::testing::FakeNetworkHost host;
  xav::MessageRecorder messages;
  auto w = openXavCfg(xavcfg::ConnectionTypeDialog::kEthernet, link, host, scratch);
  for (int protocol = 1; protocol <= 3; ++protocol) {
    w->optEthMode_Click(protocol);
    check(w.get(), QStringLiteral("Ethernet protocol %1").arg(protocol));
  }
}

void xaveProtocols(const Check& check) {
  xave::testing::BenchEnv env;
  ASSERT_TRUE(env.problem().isEmpty()) << env.problem().toStdString();
  xav::MessageRecorder messages;
  xave::XaveWindow w;
  ASSERT_TRUE(w.Form_Load());
  // The options take a click only once the first scan has ended.
  ASSERT_TRUE(QTest::qWaitFor([&] { return !w.isWaiting(); }, 30000));
  for (int protocol = 1; protocol <= 3; ++protocol) {
    auto* option = named<QRadioButton>(&w, QStringLiteral("optEthMode%1").arg(protocol));
    option->setEnabled(true);  // as after a module was read back
    option->click();
    ASSERT_TRUE(option->isChecked()) << protocol;
    check(&w, QStringLiteral("protocol %1").arg(protocol));
  }
  w.close();
}

void xaveIpDialog(const Check& check) {
  xave::testing::BenchEnv env;
  ASSERT_TRUE(env.problem().isEmpty()) << env.problem().toStdString();
  xave::IpChangeDialog dialog(nullptr);
  check(&dialog, "IP change");
}

void polmonMain(const Check& check) {
  xavcfg::testing::ScratchDir scratch;  // its own settings folder
  FakeSerialLink link;
  polmon::PolmonWindow w(&link);
  check(&w, "start");
  // After a sweep: every row's button and the duct panel shown.
  for (QPushButton* b : w.findChildren<QPushButton*>())
    if (b->objectName().startsWith("cmdRnd(")) b->show();
  named<QFrame>(&w, "Frame1")->show();
  check(&w, "duct panel, all rows");
}

void polmonStatistics(const Check& check) {
  xavcfg::testing::ScratchDir scratch;
  FakeSerialLink link;
  polmon::PolmonWindow w(&link);
  w.show();
  named<QPushButton>(&w, "cmdStatistics")->click();
  auto* stats = w.findChild<polmon::StatisticsWindow*>("frmStatistics");
  ASSERT_NE(stats, nullptr);
  check(stats, "Statistics");
}

std::unique_ptr<rvsim::Simulator> rvsimSimulator() {
  rvsim::Simulator::Options o;
  o.port = 0;
  return std::make_unique<rvsim::Simulator>(o);
}

void rvsimMain(const Check& check) {
  xavcfg::testing::ScratchDir scratch;
  auto sim = rvsimSimulator();
  rvsim::RvsimWindow w(*sim);
  w.show();
  w.activateWindow();  // the rows are built at the first activation
  (void)QTest::qWaitForWindowActive(&w);
  named<QCheckBox>(&w, "chkMonitor")->setChecked(true);
  check(&w, "monitor on");
}

void rvsimTraffic(const Check& check) {
  xavcfg::testing::ScratchDir scratch;
  auto sim = rvsimSimulator();
  rvsim::RvsimWindow w(*sim);
  w.show();
  named<QPushButton>(&w, "cmdTraffic")->click();
  auto* traffic = w.findChild<rvsim::TrafficWindow*>("frmTraffic");
  ASSERT_NE(traffic, nullptr);
  check(traffic, "Traffic");
}

struct WindowCase {
  const char* name;
  void (*run)(const Check&);
};

const WindowCase kWindows[] = {
    {"XavCfgStartDialog", xavCfgStartDialog}, {"XavCfgSerialModes", xavCfgSerialModes},
    {"XavCfgEthernet", xavCfgEthernet},       {"XaveProtocols", xaveProtocols},
    {"XaveIpDialog", xaveIpDialog},           {"PolmonMain", polmonMain},
    {"PolmonStatistics", polmonStatistics},   {"RvsimMain", rvsimMain},
    {"RvsimTraffic", rvsimTraffic},
};

class WindowLayout : public ::testing::TestWithParam<std::tuple<int, int>> {};

TEST_P(WindowLayout, FitsAndStaysReadable) {
  const WindowCase& window = kWindows[std::get<0>(GetParam())];
  const Appearance appearance = standardAppearances().at(std::get<1>(GetParam()));
  ScopedAppearance scoped(appearance);
  QStringList found;
  window.run([&](QWidget* w, const QString& state) {
    LayoutCheckOptions options;
    options.checkKeyboard = true;
    for (const LayoutProblem& p : checkLayout(w, options)) found << state + ": " + p.toString();
  });
  EXPECT_TRUE(found.isEmpty()) << window.name << " at " << appearanceLabel(appearance).toStdString() << ", "
                               << found.size() << " problems:\n"
                               << found.join('\n').toStdString();
}

std::string caseName(const ::testing::TestParamInfo<std::tuple<int, int>>& info) {
  QString appearance = standardAppearances().at(std::get<1>(info.param)).name;
  appearance.remove(' ');
  return std::string(kWindows[std::get<0>(info.param)].name) + "_" + appearance.toStdString();
}

INSTANTIATE_TEST_SUITE_P(AllWindows, WindowLayout,
                         ::testing::Combine(::testing::Range(0, int(std::size(kWindows))),
                                            ::testing::Range(0, int(standardAppearances().size()))),
                         caseName);

}  // namespace

namespace {

// RVSIM at 900x500 (about 1366x768 at 150 %): every request, caption and
// button is reached by Tab and scrolled into view, at every font.
TEST(RvsimAtSmallScreen, EveryControlIsReachedAndShown) {
  for (const Appearance& a : standardAppearances()) {
    SCOPED_TRACE(appearanceLabel(a).toStdString());
    ScopedAppearance scoped(a);
    xavcfg::testing::ScratchDir scratch;
    auto sim = rvsimSimulator();
    rvsim::RvsimWindow w(*sim);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    named<QCheckBox>(&w, "chkMonitor")->setChecked(true);
    w.resize(900, 500);
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.size() == QSize(900, 500); }, 5000));
    EXPECT_EQ(describe(checkKeyboard(&w)).join('\n').toStdString(), "");
    // The last row and Exit were scrolled to, not merely focused.
    for (const char* name : {"ReqReg(20)", "CapReg(20)", "cmdExit"}) {
      auto* control = named<QWidget>(&w, name);
      control->setFocus(Qt::TabFocusReason);
      const QRect shown(control->mapTo(&w, QPoint(0, 0)), control->size());
      EXPECT_TRUE(w.rect().contains(shown)) << name;
    }
  }
}

// The check fails a real window with a planted fixed width, and with a
// button too narrow for its caption.
TEST(PlantedFaults, FixedWidthsFailTheCheck) {
  xavcfg::testing::ScratchDir scratch;
  auto sim = rvsimSimulator();
  rvsim::RvsimWindow w(*sim);
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  ASSERT_TRUE(checkLayout(&w).isEmpty()) << describe(checkLayout(&w)).join('\n').toStdString();
  w.setFixedWidth(999);
  named<QPushButton>(&w, "cmdTraffic")->setFixedWidth(12);
  bool tooWide = false;
  bool clipped = false;
  for (const LayoutProblem& p : checkLayout(&w)) {
    tooWide |= p.kind == LayoutProblem::Kind::MinimumSize;
    clipped |= p.kind == LayoutProblem::Kind::TextClipped && p.where.endsWith("cmdTraffic");
  }
  EXPECT_TRUE(tooWide);
  EXPECT_TRUE(clipped);
}

}  // namespace
