// The layout checker must catch the faults it exists for, and pass a sound
// window at every appearance, or window tests built on it prove nothing.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QShortcut>
#include <QVBoxLayout>
#include <memory>

#include "layout_check.h"

using namespace xav::testing;

namespace {

// A small window as the tools build them: layouts, labels with buddies,
// a status box with a fixed background and its own text colour.
std::unique_ptr<QWidget> soundWindow() {
  auto w = std::make_unique<QWidget>();
  w->setObjectName("sound");
  auto* grid = new QGridLayout(w.get());
  auto* name = new QLabel("&Integer File Number:");
  auto* edit = new QLineEdit;
  name->setBuddy(edit);
  grid->addWidget(name, 0, 0);
  grid->addWidget(edit, 0, 1);
  auto* box = new QGroupBox("Protocol");
  auto* inner = new QVBoxLayout(box);
  inner->addWidget(new QRadioButton("Modbus/TCP (P&1)"));
  inner->addWidget(new QCheckBox("&Keep the address"));
  grid->addWidget(box, 1, 0, 1, 2);
  auto* status = new QLineEdit("Connected");
  status->setReadOnly(true);
  status->setStyleSheet("background-color: #00ff00; color: black;");
  grid->addWidget(status, 2, 0, 1, 2);
  grid->addWidget(new QPushButton("&Save Config"), 3, 1);
  return w;
}

bool has(const QList<LayoutProblem>& problems, LayoutProblem::Kind kind, const QString& where) {
  for (const LayoutProblem& p : problems)
    if (p.kind == kind && p.where.contains(where)) return true;
  return false;
}

}  // namespace

TEST(LayoutCheck, SoundWindowPassesAtEveryAppearance) {
  for (const Appearance& a : standardAppearances()) {
    ScopedAppearance scoped(a);
    auto w = soundWindow();
    const QList<LayoutProblem> problems = checkLayout(w.get());
    EXPECT_TRUE(problems.isEmpty()) << appearanceLabel(a).toStdString() << "\n"
                                    << describe(problems).join('\n').toStdString();
  }
}

TEST(LayoutCheck, TooNarrowTextFails) {
  auto w = soundWindow();
  auto* label = w->findChild<QLabel*>();
  label->setObjectName("planted");
  label->setFixedWidth(40);
  auto* button = w->findChild<QPushButton*>();
  button->setObjectName("narrowButton");
  button->setFixedWidth(30);
  auto* radio = w->findChild<QRadioButton*>();
  radio->setObjectName("narrowRadio");
  radio->setFixedWidth(50);
  const QList<LayoutProblem> problems = checkLayout(w.get());
  EXPECT_TRUE(has(problems, LayoutProblem::Kind::TextClipped, "planted")) << describe(problems).join('\n').toStdString();
  EXPECT_TRUE(has(problems, LayoutProblem::Kind::TextClipped, "narrowButton"));
  EXPECT_TRUE(has(problems, LayoutProblem::Kind::TextClipped, "narrowRadio"));
}

TEST(LayoutCheck, MnemonicsAndElidedFieldsAreJudgedAsDrawn) {
  // A label whose width is exactly its text without the '&' fits only when
  // the '&' is a mnemonic (it has a buddy); without one it is drawn.
  QWidget w;
  auto* label = new QLabel("&Address", &w);
  label->setObjectName("exact");
  auto* edit = new QLineEdit(&w);
  edit->move(200, 0);
  label->setBuddy(edit);
  label->setFixedSize(label->fontMetrics().size(Qt::TextShowMnemonic, "&Address"));
  w.resize(400, 100);
  EXPECT_FALSE(has(checkLayout(&w), LayoutProblem::Kind::TextClipped, "exact"));
  label->setBuddy(nullptr);
  EXPECT_TRUE(has(checkLayout(&w), LayoutProblem::Kind::TextClipped, "exact"));
  label->setProperty(ElidesTextProperty, true);
  EXPECT_FALSE(has(checkLayout(&w), LayoutProblem::Kind::TextClipped, "exact"));
}

TEST(LayoutCheck, OverlappingAndOutsideControlsFail) {
  QWidget w;
  w.setObjectName("fixedForm");
  auto* a = new QPushButton("Scan", &w);
  a->setObjectName("a");
  a->setGeometry(10, 10, 100, 30);
  auto* b = new QPushButton("Stop", &w);
  b->setObjectName("b");
  b->setGeometry(60, 20, 100, 30);
  auto* off = new QPushButton("Exit", &w);
  off->setObjectName("off");
  off->setGeometry(350, 10, 100, 30);
  w.setFixedSize(400, 200);
  const QList<LayoutProblem> problems = checkLayout(&w);
  EXPECT_TRUE(has(problems, LayoutProblem::Kind::Overlap, "a & b")) << describe(problems).join('\n').toStdString();
  EXPECT_TRUE(has(problems, LayoutProblem::Kind::OutsideParent, "off"));
  // Side by side is fine; hidden controls are not judged.
  b->move(110, 10);
  off->hide();
  EXPECT_TRUE(checkLayout(&w).isEmpty()) << describe(checkLayout(&w)).join('\n').toStdString();
}

TEST(LayoutCheck, WindowLargerThanTheScreenFails) {
  auto w = soundWindow();
  w->setMinimumSize(999, 400);
  EXPECT_TRUE(has(checkLayout(w.get()), LayoutProblem::Kind::MinimumSize, "sound"));
  w->setMinimumSize(0, 0);
  w->setFixedSize(600, 520);
  EXPECT_TRUE(has(checkLayout(w.get()), LayoutProblem::Kind::MinimumSize, "sound"));
  w->setFixedSize(900, 500);
  EXPECT_FALSE(has(checkLayout(w.get()), LayoutProblem::Kind::MinimumSize, "sound"));
}

TEST(LayoutCheck, LightTextOnFixedLightBackgroundFails) {
  ScopedAppearance dark({"dark", 9, true});
  auto w = soundWindow();
  auto* sheet = new QLabel("Request");
  sheet->setObjectName("sheetBox");
  sheet->setStyleSheet("background-color: #ffff00;");
  auto* pal = new QLineEdit("12");
  pal->setObjectName("paletteBox");
  QPalette p = pal->palette();
  p.setColor(QPalette::Base, Qt::white);
  pal->setPalette(p);
  auto* filled = new QLabel("Lamp");
  filled->setObjectName("filledLabel");
  filled->setAutoFillBackground(true);
  p = filled->palette();
  p.setColor(QPalette::Window, QColor(0, 255, 255));
  filled->setPalette(p);
  w->layout()->addWidget(sheet);
  w->layout()->addWidget(pal);
  w->layout()->addWidget(filled);
  const QList<LayoutProblem> problems = checkLayout(w.get());
  EXPECT_TRUE(has(problems, LayoutProblem::Kind::Contrast, "sheetBox")) << describe(problems).join('\n').toStdString();
  EXPECT_TRUE(has(problems, LayoutProblem::Kind::Contrast, "paletteBox"));
  EXPECT_TRUE(has(problems, LayoutProblem::Kind::Contrast, "filledLabel"));
  // The status box of the sound window sets its text colour: it passes.
  EXPECT_EQ(problems.size(), 3) << describe(problems).join('\n').toStdString();
}

TEST(LayoutCheck, ContrastRatioFollowsTheWcagFormula) {
  EXPECT_NEAR(contrastRatio(Qt::black, Qt::white), 21.0, 1e-6);
  EXPECT_NEAR(contrastRatio(Qt::white, Qt::white), 1.0, 1e-6);
  EXPECT_NEAR(contrastRatio(QColor(0x77, 0x77, 0x77), Qt::white), 4.48, 0.01);  // just below AA
  EXPECT_NEAR(contrastRatio(Qt::red, Qt::white), 4.0, 0.01);
}

TEST(LayoutCheck, RunsAtTheScaleCTestAsksFor) {
  // The second CTest run sets QT_SCALE_FACTOR; the check must really see it.
  const double asked = qEnvironmentVariableIsSet("QT_SCALE_FACTOR") ? qEnvironmentVariable("QT_SCALE_FACTOR").toDouble() : 1.0;
  EXPECT_DOUBLE_EQ(screenScale(), asked);
  EXPECT_TRUE(appearanceLabel({"9pt", 9, false}).endsWith(QString::number(asked)));
}

TEST(LayoutCheck, FontForcedBelowTheUsersFails) {
  ScopedAppearance large({"14pt", 14, false});
  auto w = soundWindow();
  QFont small = w->font();
  small.setPointSize(8);
  w->setFont(small);
  EXPECT_TRUE(has(checkLayout(w.get()), LayoutProblem::Kind::ForcedFont, "sound"));
  // A heading set larger than the user's font is the code's choice.
  QFont big = QApplication::font();
  big.setPointSize(18);
  w->setFont(big);
  EXPECT_FALSE(has(checkLayout(w.get()), LayoutProblem::Kind::ForcedFont, "sound"));
}

TEST(LayoutCheck, KeyboardReachesEveryControlOfASoundWindow) {
  auto w = soundWindow();
  EXPECT_TRUE(checkKeyboard(w.get()).isEmpty()) << describe(checkKeyboard(w.get())).join('\n').toStdString();
  // checkLayout walks it too when asked.
  LayoutCheckOptions options;
  options.checkKeyboard = true;
  EXPECT_TRUE(checkLayout(w.get(), options).isEmpty());
}

TEST(LayoutCheck, KeyboardTrapsAndMissingMnemonicsFail) {
  auto w = soundWindow();
  auto* grid = static_cast<QGridLayout*>(w->layout());
  // A field with a caption beside it but no buddy: Alt cannot reach it.
  auto* port = new QLineEdit;
  port->setObjectName("unnamedField");
  grid->addWidget(new QLabel("Port"), 4, 0);
  grid->addWidget(port, 4, 1);
  // A buddy without a mnemonic, and a mnemonic used twice.
  auto* title = new QLineEdit;
  title->setObjectName("titleField");
  auto* titleLabel = new QLabel("Title");
  titleLabel->setObjectName("plainLabel");
  titleLabel->setBuddy(title);
  grid->addWidget(titleLabel, 5, 0);
  grid->addWidget(title, 5, 1);
  auto* twin = new QPushButton("&Send");
  twin->setObjectName("twin");
  grid->addWidget(twin, 6, 0);
  // A button Tab passes over, and a box that keeps Tab for itself.
  auto* mouseOnly = new QPushButton("Reset");
  mouseOnly->setObjectName("mouseOnly");
  mouseOnly->setFocusPolicy(Qt::ClickFocus);
  grid->addWidget(mouseOnly, 6, 1);
  auto* trap = new QPlainTextEdit;
  trap->setObjectName("trap");
  grid->addWidget(trap, 7, 0, 1, 2);
  const QList<LayoutProblem> problems = checkKeyboard(w.get());
  const std::string text = describe(problems).join('\n').toStdString();
  EXPECT_TRUE(has(problems, LayoutProblem::Kind::Mnemonic, "unnamedField")) << text;
  EXPECT_TRUE(has(problems, LayoutProblem::Kind::Mnemonic, "plainLabel")) << text;
  EXPECT_TRUE(has(problems, LayoutProblem::Kind::Mnemonic, "twin")) << text;  // Alt+S is "&Save Config"'s
  EXPECT_TRUE(has(problems, LayoutProblem::Kind::NotReachable, "mouseOnly")) << text;
  EXPECT_TRUE(has(problems, LayoutProblem::Kind::NotReachable, "trap")) << text;
  // Once the box lets Tab go, the controls after it are reached again.
  trap->setTabChangesFocus(true);
  EXPECT_FALSE(has(checkKeyboard(w.get()), LayoutProblem::Kind::NotReachable, "trap"));
}

TEST(LayoutCheck, FocusedControlOutOfViewFails) {
  // A form cut by a fixed-size panel: Tab reaches the far button, but it
  // stays hidden; in a scroll area it is scrolled into view.
  QWidget w;
  w.setObjectName("cut");
  auto* layout = new QVBoxLayout(&w);
  auto* panel = new QWidget;
  panel->setFixedSize(200, 60);
  auto* near = new QPushButton("&Near", panel);
  near->setGeometry(0, 0, 80, 30);
  auto* far = new QPushButton("&Far", panel);
  far->setObjectName("far");
  far->setGeometry(180, 0, 80, 30);
  layout->addWidget(panel);
  EXPECT_TRUE(has(checkKeyboard(&w), LayoutProblem::Kind::NotReachable, "far"));

  QWidget scrolled;
  auto* area = new QScrollArea;
  auto* content = new QWidget;
  content->setMinimumSize(600, 60);
  auto* left = new QPushButton("&Left", content);
  left->setGeometry(0, 0, 80, 30);
  auto* right = new QPushButton("&Right", content);
  right->setObjectName("right");
  right->setGeometry(500, 0, 80, 30);
  area->setWidget(content);
  area->setFixedSize(200, 100);
  (new QVBoxLayout(&scrolled))->addWidget(area);
  EXPECT_FALSE(has(checkKeyboard(&scrolled), LayoutProblem::Kind::NotReachable, "right"))
      << describe(checkKeyboard(&scrolled)).join('\n').toStdString();
}

TEST(LayoutCheck, MnemonicLeadsToItsField) {
  auto w = soundWindow();
  auto* edit = w->findChild<QLineEdit*>();
  edit->setObjectName("number");
  auto* label = w->findChild<QLabel*>();
  EXPECT_FALSE(has(checkKeyboard(w.get()), LayoutProblem::Kind::Mnemonic, label->objectName()));
  // A buddy that cannot take the focus is named in vain.
  edit->setFocusPolicy(Qt::NoFocus);
  label->setObjectName("label");
  EXPECT_TRUE(has(checkKeyboard(w.get()), LayoutProblem::Kind::Mnemonic, "label"))
      << describe(checkKeyboard(w.get())).join('\n').toStdString();
}

// A caption that must stay as it is (no '&') may leave the key to an
// Alt+letter shortcut of the field's own, which must really lead there.
TEST(LayoutCheck, AFieldsOwnShortcutStandsInForItsLabelsMnemonic) {
  auto w = soundWindow();
  auto* edit = w->findChild<QLineEdit*>();
  auto* label = w->findChild<QLabel*>();
  label->setObjectName("kept");
  label->setText("Integer File Number:");
  EXPECT_TRUE(has(checkKeyboard(w.get()), LayoutProblem::Kind::Mnemonic, "kept"));
  auto* key = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_N), edit);
  EXPECT_TRUE(has(checkKeyboard(w.get()), LayoutProblem::Kind::Mnemonic, "kept"));  // leads nowhere yet
  QObject::connect(key, &QShortcut::activated, edit, [edit] { edit->setFocus(Qt::ShortcutFocusReason); });
  EXPECT_FALSE(has(checkKeyboard(w.get()), LayoutProblem::Kind::Mnemonic, "kept"))
      << describe(checkKeyboard(w.get())).join('\n').toStdString();
}

namespace {
// Moves a Tab that lands on an unchecked option to the checked one.
class ToCheckedOption : public QObject {
 public:
  bool eventFilter(QObject* watched, QEvent* event) override {
    auto* radio = qobject_cast<QRadioButton*>(watched);
    if (radio && event->type() == QEvent::FocusIn && !radio->isChecked() &&
        static_cast<QFocusEvent*>(event)->reason() == Qt::TabFocusReason)
      for (QRadioButton* other : radio->parentWidget()->findChildren<QRadioButton*>())
        if (other->isChecked()) other->setFocus(Qt::TabFocusReason);
    return false;
  }
};
}  // namespace

TEST(LayoutCheck, TabIntoARadioGroupLandsOnTheCheckedOption) {
  QWidget w;
  auto* layout = new QVBoxLayout(&w);
  auto* before = new QLineEdit;
  auto* label = new QLabel("&Before");
  label->setBuddy(before);
  layout->addWidget(label);
  layout->addWidget(before);
  auto* box = new QGroupBox("Mode");
  auto* inner = new QVBoxLayout(box);
  auto* first = new QRadioButton("&First");
  first->setObjectName("first");
  auto* second = new QRadioButton("S&econd");
  second->setObjectName("second");
  inner->addWidget(first);
  inner->addWidget(second);
  layout->addWidget(box);
  second->setChecked(true);
  // Left to itself, Tab lands on the first option: one arrow key changes the mode.
  EXPECT_TRUE(has(checkKeyboard(&w), LayoutProblem::Kind::NotReachable, "first"));
  // A window that hands Tab's focus on to the checked option passes.
  ToCheckedOption toChecked;
  first->installEventFilter(&toChecked);
  const QList<LayoutProblem> problems = checkKeyboard(&w);
  EXPECT_TRUE(problems.isEmpty()) << describe(problems).join('\n').toStdString();
  // Qt keeps one Tab stop per group: with the first option taken out of the
  // chain, no option of the group is reached at all.
  first->removeEventFilter(&toChecked);
  first->setFocusPolicy(Qt::ClickFocus);
  EXPECT_TRUE(has(checkKeyboard(&w), LayoutProblem::Kind::NotReachable, "second"));
}
