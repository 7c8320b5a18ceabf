#include "layout_check.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractScrollArea>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFocusFrame>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSizeGrip>
#include <QStyle>
#include <QStyleOption>
#include <QTest>
#include <QTextDocument>
#include <QTextEdit>
#include <QToolButton>
#include <QWidget>
#include <cmath>

namespace xav::testing {

namespace {

// Rounding in font metrics and at fractional scales may cost a pixel.
constexpr int Slack = 1;

QString nameOf(const QWidget* w) {
  const QString name = w->objectName();
  return name.isEmpty() ? QString::fromLatin1(w->metaObject()->className()) : name;
}

QString pathOf(const QWidget* w) {
  QStringList parts;
  for (const QWidget* p = w; p; p = p->isWindow() ? nullptr : p->parentWidget())
    parts.prepend(nameOf(p));
  return parts.join('/');
}

QString sizeText(QSize s) { return QStringLiteral("%1x%2").arg(s.width()).arg(s.height()); }

QString rectText(QRect r) {
  return QStringLiteral("%1x%2+%3+%4").arg(r.width()).arg(r.height()).arg(r.x()).arg(r.y());
}

bool elides(const QWidget* w) { return w->property(ElidesTextProperty).toBool(); }

void settle(QWidget* window) {
  QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
  if (window->layout()) window->layout()->activate();
  QCoreApplication::processEvents();
}

class Checker {
 public:
  Checker(const LayoutCheckOptions& options, QList<LayoutProblem>& out) : options_(options), out_(out) {}

  void walk(QWidget* w) {
    checkText(w);
    checkContrast(w);
    checkChildren(w);
    for (QObject* o : w->children()) {
      auto* child = qobject_cast<QWidget*>(o);
      if (child && !child->isWindow() && child->isVisible()) walk(child);
    }
  }

  void checkMinimumSize(QWidget* window) {
    const QSize minimum = QLayout::closestAcceptableSize(window, QSize(0, 0));
    if (minimum.width() > options_.screen.width() || minimum.height() > options_.screen.height())
      add(LayoutProblem::Kind::MinimumSize, pathOf(window),
          QStringLiteral("minimum size %1 exceeds the screen %2").arg(sizeText(minimum), sizeText(options_.screen)));
  }

  void setContext(const QString& context) { context_ = context; }

 private:
  void add(LayoutProblem::Kind kind, const QString& where, const QString& detail) {
    const QString full = context_.isEmpty() ? detail : detail + QStringLiteral(" (") + context_ + ')';
    for (const LayoutProblem& p : out_)
      if (p.kind == kind && p.where == where) return;  // one finding per widget and kind
    out_.append({kind, where, full});
  }

  void clipped(const QWidget* w, const QString& text, QSize need, QSize have) {
    add(LayoutProblem::Kind::TextClipped, pathOf(w),
        QStringLiteral("\"%1\" needs %2, has %3").arg(text, sizeText(need), sizeText(have)));
  }

  void checkText(QWidget* w) {
    if (elides(w)) return;
    if (auto* label = qobject_cast<QLabel*>(w)) return checkLabel(label);
    if (auto* box = qobject_cast<QGroupBox*>(w)) return checkGroupBox(box);
    if (auto* tool = qobject_cast<QToolButton*>(w)) return checkToolButton(tool);
    if (auto* button = qobject_cast<QAbstractButton*>(w)) return checkButton(button);
  }

  void checkLabel(QLabel* label) {
    const QString text = label->text();
    if (text.isEmpty()) return;
    const bool rich = label->textFormat() == Qt::RichText ||
                      (label->textFormat() == Qt::AutoText && Qt::mightBeRichText(text));
    if (rich) {
      // Let the label lay out its own document: its hints say what it needs.
      const QSize have = label->size();
      QSize need = label->sizeHint();
      if (label->wordWrap()) need = QSize(0, label->heightForWidth(have.width()));
      if (need.width() > have.width() + Slack || need.height() > have.height() + Slack)
        clipped(label, text, need, have);
      return;
    }
    QRect area = label->contentsRect().adjusted(label->margin(), label->margin(), -label->margin(), -label->margin());
    int indent = label->indent();
    if (indent < 0 && label->frameWidth() > 0) indent = label->fontMetrics().horizontalAdvance('x') / 2;
    if (indent > 0) {
      const Qt::Alignment a = QStyle::visualAlignment(label->layoutDirection(), label->alignment());
      if (a & Qt::AlignLeft) area.setLeft(area.left() + indent);
      else if (a & Qt::AlignRight) area.setRight(area.right() - indent);
      if (a & Qt::AlignTop) area.setTop(area.top() + indent);
      else if (a & Qt::AlignBottom) area.setBottom(area.bottom() - indent);
    }
    // Only a label with a buddy turns '&' into a mnemonic; otherwise it is shown.
    int flags = label->buddy() ? Qt::TextShowMnemonic : 0;
    const QFontMetrics fm = label->fontMetrics();
    QSize need;
    if (label->wordWrap()) {
      flags |= Qt::TextWordWrap;
      need = fm.boundingRect(QRect(0, 0, area.width(), 100000), flags, text).size();
      need.setWidth(0);  // wrapping handles the width
    } else {
      need = fm.size(flags, text);
    }
    if (need.width() > area.width() + Slack || need.height() > area.height() + Slack)
      clipped(label, text, need, area.size());
  }

  void checkButton(QAbstractButton* button) {
    const QString text = button->text();
    if (text.isEmpty()) return;
    QStyleOptionButton opt;
    opt.initFrom(button);
    opt.text = text;
    opt.icon = button->icon();
    opt.iconSize = button->iconSize();
    QStyle::SubElement element = QStyle::SE_PushButtonContents;
    int extra = opt.icon.isNull() ? 0 : opt.iconSize.width() + 4;
    if (qobject_cast<QCheckBox*>(button)) {
      element = QStyle::SE_CheckBoxContents;
    } else if (qobject_cast<QRadioButton*>(button)) {
      element = QStyle::SE_RadioButtonContents;
    } else if (auto* push = qobject_cast<QPushButton*>(button)) {
      if (push->isFlat()) opt.features |= QStyleOptionButton::Flat;
      if (push->isDefault()) opt.features |= QStyleOptionButton::DefaultButton;
      if (push->autoDefault()) opt.features |= QStyleOptionButton::AutoDefaultButton;
      if (push->menu()) {
        opt.features |= QStyleOptionButton::HasMenu;
        extra += button->style()->pixelMetric(QStyle::PM_MenuButtonIndicator, &opt, button);
      }
    }
    const QRect area = button->style()->subElementRect(element, &opt, button);
    QSize need = button->fontMetrics().size(Qt::TextShowMnemonic, text);
    need.rwidth() += extra;
    if (need.width() > area.width() + Slack || need.height() > area.height() + Slack)
      clipped(button, text, need, area.size());
  }

  void checkToolButton(QToolButton* button) {
    if (button->text().isEmpty() || button->toolButtonStyle() == Qt::ToolButtonIconOnly) return;
    const QSize need = button->sizeHint();
    const QSize have = button->size();
    if (need.width() > have.width() + Slack || need.height() > have.height() + Slack)
      clipped(button, button->text(), need, have);
  }

  void checkGroupBox(QGroupBox* box) {
    if (box->title().isEmpty()) return;
    QStyleOptionGroupBox opt;
    opt.initFrom(box);
    opt.text = box->title();
    opt.lineWidth = 1;
    opt.textAlignment = box->alignment();
    opt.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
    if (box->isCheckable()) opt.subControls |= QStyle::SC_GroupBoxCheckBox;
    if (box->isFlat()) opt.features |= QStyleOptionFrame::Flat;
    QRect title = box->style()->subControlRect(QStyle::CC_GroupBox, &opt, QStyle::SC_GroupBoxLabel, box);
    if (box->isCheckable())
      title |= box->style()->subControlRect(QStyle::CC_GroupBox, &opt, QStyle::SC_GroupBoxCheckBox, box);
    if (!box->rect().adjusted(-Slack, -Slack, Slack, Slack).contains(title))
      clipped(box, box->title(), title.size(), box->size());
  }

  // Direct children of one parent: they must not overlap each other and must
  // lie inside the parent, or part of them cannot be seen or clicked.
  void checkChildren(QWidget* parent) {
    // Scroll areas and item views arrange their own parts; the content of a
    // viewport is meant to be larger than it.
    if (qobject_cast<QAbstractScrollArea*>(parent)) return;
    const bool isViewport = parent->parentWidget() &&
                            qobject_cast<QAbstractScrollArea*>(parent->parentWidget()) &&
                            static_cast<QAbstractScrollArea*>(parent->parentWidget())->viewport() == parent;
    QList<QWidget*> kids;
    for (QObject* o : parent->children()) {
      auto* w = qobject_cast<QWidget*>(o);
      if (!w || w->isWindow() || !w->isVisible() || w->geometry().isEmpty()) continue;
      if (qobject_cast<QSizeGrip*>(w) || qobject_cast<QFocusFrame*>(w)) continue;
      kids.append(w);
    }
    const QRect inside = parent->rect();
    for (int i = 0; i < kids.size(); ++i) {
      const QRect a = kids[i]->geometry();
      if (!isViewport && !inside.contains(a))
        add(LayoutProblem::Kind::OutsideParent, pathOf(kids[i]),
            QStringLiteral("at %1, outside its parent's %2").arg(rectText(a), sizeText(inside.size())));
      for (int j = i + 1; j < kids.size(); ++j) {
        const QRect b = kids[j]->geometry();
        if (a.intersects(b))
          add(LayoutProblem::Kind::Overlap, pathOf(kids[i]) + QStringLiteral(" & ") + nameOf(kids[j]),
              QStringLiteral("%1 overlaps %2").arg(rectText(a), rectText(b)));
      }
    }
  }

  // Which palette roles a widget paints its text and background with.
  static bool roles(const QWidget* w, QPalette::ColorRole& fg, QPalette::ColorRole& bg) {
    if (qobject_cast<const QLineEdit*>(w) || qobject_cast<const QTextEdit*>(w) ||
        qobject_cast<const QPlainTextEdit*>(w) || qobject_cast<const QAbstractItemView*>(w) ||
        qobject_cast<const QAbstractSpinBox*>(w)) {
      fg = QPalette::Text;
      bg = QPalette::Base;
      return true;
    }
    if (auto* combo = qobject_cast<const QComboBox*>(w)) {
      if (combo->isEditable()) return false;  // its line edit is checked
      fg = QPalette::ButtonText;
      bg = QPalette::Button;
      return true;
    }
    if (qobject_cast<const QPushButton*>(w) || qobject_cast<const QToolButton*>(w)) {
      fg = QPalette::ButtonText;
      bg = QPalette::Button;
      return true;
    }
    if (qobject_cast<const QLabel*>(w) || qobject_cast<const QAbstractButton*>(w) ||
        qobject_cast<const QGroupBox*>(w)) {
      fg = QPalette::WindowText;
      bg = QPalette::Window;
      return true;
    }
    return false;
  }

  static bool styleSheetPaints(const QWidget* w) {
    if (qApp->styleSheet().contains(QLatin1String("background"), Qt::CaseInsensitive)) return true;
    for (const QWidget* p = w; p; p = p->parentWidget())
      if (p->styleSheet().contains(QLatin1String("background"), Qt::CaseInsensitive)) return true;
    return false;
  }

  // The background a widget's text is drawn on: a widget that paints the
  // Window role itself, else the nearest ancestor that does.
  static QColor windowBehind(const QWidget* w) {
    for (const QWidget* p = w; p; p = p->parentWidget())
      if (p->autoFillBackground() || p->isWindow() || !p->styleSheet().isEmpty())
        return p->palette().color(QPalette::Window);
    return w->palette().color(QPalette::Window);
  }

  void checkContrast(QWidget* w) {
    if (!w->isEnabled()) return;  // greyed text is meant to recede
    QPalette::ColorRole fgRole;
    QPalette::ColorRole bgRole;
    if (!roles(w, fgRole, bgRole)) return;
    const QPalette::ColorGroup group = w->palette().currentColorGroup();
    const QBrush bgBrush = w->palette().brush(group, bgRole);
    const QBrush appBrush = QApplication::palette(w).brush(group, bgRole);
    if (bgBrush.style() != Qt::SolidPattern || bgBrush.color() == appBrush.color()) return;
    // A Window colour only shows where something paints it.
    if (bgRole == QPalette::Window && !w->autoFillBackground() && !styleSheetPaints(w)) return;
    const QColor bg = bgRole == QPalette::Window ? windowBehind(w) : bgBrush.color();
    const QColor fg = w->palette().color(group, fgRole);
    const double ratio = contrastRatio(fg, bg);
    if (ratio + 1e-9 < options_.minimumContrast)
      add(LayoutProblem::Kind::Contrast, pathOf(w),
          QStringLiteral("text %1 on %2: contrast %3:1, needs %4:1")
              .arg(fg.name(), bg.name(), QString::number(ratio, 'f', 2), QString::number(options_.minimumContrast)));
  }

  const LayoutCheckOptions& options_;
  QList<LayoutProblem>& out_;
  QString context_;
};

double luminance(const QColor& c) {
  auto channel = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
  const QColor rgb = c.toRgb();
  return 0.2126 * channel(rgb.redF()) + 0.7152 * channel(rgb.greenF()) + 0.0722 * channel(rgb.blueF());
}

}  // namespace

QString LayoutProblem::toString() const {
  static const char* const names[] = {"text clipped", "overlap", "outside parent", "minimum size", "contrast"};
  return QStringLiteral("%1: %2: %3").arg(QLatin1String(names[int(kind)]), where, detail);
}

QStringList describe(const QList<LayoutProblem>& problems) {
  QStringList lines;
  for (const LayoutProblem& p : problems) lines.append(p.toString());
  return lines;
}

QList<LayoutProblem> checkLayout(QWidget* window, const LayoutCheckOptions& options) {
  QList<LayoutProblem> problems;
  if (!window->isVisible()) {
    window->show();
    if (!QTest::qWaitForWindowExposed(window))
      problems.append({LayoutProblem::Kind::MinimumSize, pathOf(window), QStringLiteral("window was never shown")});
  }
  settle(window);
  Checker checker(options, problems);
  checker.checkMinimumSize(window);
  checker.setContext(QStringLiteral("at %1").arg(sizeText(window->size())));
  checker.walk(window);

  if (options.checkAtSmallestSize) {
    // The size the window gets on the small screen, or its minimum if that is larger.
    const QSize opened = window->size();
    const QSize small = QLayout::closestAcceptableSize(window, opened.boundedTo(options.screen));
    if (small != opened) {
      window->resize(small);
      (void)QTest::qWaitFor([&] { return window->size() == small; }, 5000);
      settle(window);
      checker.setContext(QStringLiteral("at %1").arg(sizeText(window->size())));
      checker.walk(window);
      window->resize(opened);
      (void)QTest::qWaitFor([&] { return window->size() == opened; }, 5000);
      settle(window);
    }
  }
  return problems;
}

double contrastRatio(const QColor& a, const QColor& b) {
  const double la = luminance(a);
  const double lb = luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QPalette darkPalette() {
  const QColor window(53, 53, 53);
  const QColor base(35, 35, 35);
  const QColor text(230, 230, 230);
  const QColor disabled(127, 127, 127);
  QPalette p;
  p.setColor(QPalette::Window, window);
  p.setColor(QPalette::WindowText, text);
  p.setColor(QPalette::Base, base);
  p.setColor(QPalette::AlternateBase, window);
  p.setColor(QPalette::ToolTipBase, base);
  p.setColor(QPalette::ToolTipText, text);
  p.setColor(QPalette::PlaceholderText, disabled);
  p.setColor(QPalette::Text, text);
  p.setColor(QPalette::Button, window);
  p.setColor(QPalette::ButtonText, text);
  p.setColor(QPalette::BrightText, Qt::red);
  p.setColor(QPalette::Light, window.lighter(150));
  p.setColor(QPalette::Midlight, window.lighter(125));
  p.setColor(QPalette::Mid, window.darker(120));
  p.setColor(QPalette::Dark, window.darker(150));
  p.setColor(QPalette::Shadow, Qt::black);
  p.setColor(QPalette::Link, QColor(42, 130, 218));
  p.setColor(QPalette::Highlight, QColor(42, 130, 218));
  p.setColor(QPalette::HighlightedText, Qt::black);
  for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
    p.setColor(QPalette::Disabled, role, disabled);
  return p;
}

QList<Appearance> standardAppearances() {
  return {{QStringLiteral("9pt"), 9, false},
          {QStringLiteral("11pt"), 11, false},
          {QStringLiteral("14pt"), 14, false},
          {QStringLiteral("9pt dark"), 9, true}};
}

double screenScale() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  return screen ? screen->devicePixelRatio() : 1.0;
}

QString appearanceLabel(const Appearance& appearance) {
  return QStringLiteral("%1 @%2").arg(appearance.name, QString::number(screenScale()));
}

ScopedAppearance::ScopedAppearance(const Appearance& appearance)
    : font_(QApplication::font()), palette_(QApplication::palette()) {
  QFont font = font_;
  font.setPointSize(appearance.pointSize);
  QApplication::setFont(font);
  QApplication::setPalette(appearance.dark ? darkPalette() : QApplication::style()->standardPalette());
}

ScopedAppearance::~ScopedAppearance() {
  QApplication::setFont(font_);
  QApplication::setPalette(palette_);
}

}  // namespace xav::testing
