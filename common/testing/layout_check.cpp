#include "layout_check.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractScrollArea>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QButtonGroup>
#include <QFocusFrame>
#include <QFormLayout>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QScreen>
#include <QShortcut>
#include <QSizeGrip>
#include <QStyle>
#include <QStyleOption>
#include <QTest>
#include <QTextDocument>
#include <QTextEdit>
#include <QToolButton>
#include <QWidget>
#include <QHash>
#include <QSet>
#include <algorithm>
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
    checkFont(w);
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

  // A font set by the code that is smaller than the user's ignores the
  // desktop's font size; larger ones (headings) are fine.
  void checkFont(QWidget* w) {
    if (!w->testAttribute(Qt::WA_SetFont)) return;
    const QFont wanted = QApplication::font(w);
    if (w->font().pointSizeF() > 0 && wanted.pointSizeF() > 0 && w->font().pointSizeF() + 0.01 < wanted.pointSizeF())
      add(LayoutProblem::Kind::ForcedFont, pathOf(w),
          QStringLiteral("font of %1 pt set, the user's is %2 pt")
              .arg(w->font().pointSizeF()).arg(wanted.pointSizeF()));
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

// The keyboard's way through a window: Tab stops, their order and view, and
// the mnemonics of labels.
class KeyboardChecker {
 public:
  KeyboardChecker(QWidget* window, QList<LayoutProblem>& out) : window_(window), out_(out) {}

  void run() {
    collectStops();
    if (stops_.isEmpty()) return;
    window_->activateWindow();
    if (!QTest::qWaitForWindowActive(window_)) {
      add(LayoutProblem::Kind::NotReachable, pathOf(window_), QStringLiteral("the window never became active"));
      return;
    }
    walkTab();
    checkMnemonics();
  }

 private:
  void add(LayoutProblem::Kind kind, const QString& where, const QString& detail) {
    for (const LayoutProblem& p : out_)
      if (p.kind == kind && p.where == where) return;
    out_.append({kind, where, detail + QStringLiteral(" (at %1)").arg(sizeText(window_->size()))});
  }

  // Inner parts of a composite control (a combo box's or spin box's line
  // edit, a view's editors, scroll bars) go with their owner.
  bool isTabStop(const QWidget* w) const {
    if (w->window() != window_ || !w->isVisible() || !w->isEnabled()) return false;
    if (!(w->focusPolicy() & Qt::TabFocus) || w->focusProxy() || qobject_cast<const QScrollBar*>(w)) return false;
    return !insideComposite(w);
  }

  bool insideComposite(const QWidget* w) const {
    for (const QWidget* p = w->parentWidget(); p && p != window_; p = p->parentWidget())
      if (qobject_cast<const QComboBox*>(p) || qobject_cast<const QAbstractSpinBox*>(p) ||
          qobject_cast<const QAbstractItemView*>(p))
        return true;
    return false;
  }

  void collectStops() {
    for (QWidget* w : window_->findChildren<QWidget*>()) {
      if (isTabStop(w)) {
        stops_.append(w);
      } else if (radioGroup(w) && w->window() == window_ && w->isVisible() && w->isEnabled()) {
        // An option a group leaves out of the Tab chain is reached by the
        // arrows once Tab reaches the group.
        arrowOnly_.append(w);
      } else if (w->window() == window_ && w->isVisible() && w->isEnabled() && !(w->focusPolicy() & Qt::TabFocus) &&
                 !w->focusProxy() && !insideComposite(w) &&
                 (qobject_cast<QPushButton*>(w) || qobject_cast<QCheckBox*>(w) || qobject_cast<QRadioButton*>(w))) {
        // A button Tab passes over. (Boxes may be left out on purpose: the
        // displays of a grid that only a click should enter.)
        add(LayoutProblem::Kind::NotReachable, pathOf(w), QStringLiteral("is not a Tab stop"));
      }
    }
  }

  // Options of one exclusive group share one Tab stop; arrows move inside.
  static const QObject* radioGroup(const QWidget* w) {
    auto* radio = qobject_cast<const QRadioButton*>(w);
    if (!radio) return nullptr;
    if (radio->group() && radio->group()->exclusive()) return radio->group();
    return radio->autoExclusive() ? radio->parentWidget() : nullptr;
  }

  static const QAbstractButton* checkedInGroup(const QObject* group) {
    if (auto* g = qobject_cast<const QButtonGroup*>(group)) return g->checkedButton();
    for (QObject* o : group->children())
      if (auto* r = qobject_cast<QRadioButton*>(o); r && r->autoExclusive() && r->isChecked()) return r;
    return nullptr;
  }

  QWidget* stopOf(QWidget* focus) const {
    for (QWidget* w = focus; w && w != window_; w = w->parentWidget())
      if (stops_.contains(w)) return w;
    return focus;
  }

  // A control with the focus must be in view: whole, or as much of it as the
  // smallest area around it can show.
  void checkInView(QWidget* w) {
    QRect visible(w->mapTo(window_, QPoint(0, 0)), w->size());
    QSize room = w->size();
    for (QWidget* p = w->parentWidget(); p; p = p->isWindow() ? nullptr : p->parentWidget()) {
      visible &= QRect(p == window_ ? QPoint(0, 0) : p->mapTo(window_, QPoint(0, 0)), p->size());
      room = room.boundedTo(p->size());
    }
    if (visible.width() + Slack < room.width() || visible.height() + Slack < room.height())
      add(LayoutProblem::Kind::NotReachable, pathOf(w),
          QStringLiteral("has the focus but only %1 of its %2 is in view").arg(sizeText(visible.size()), sizeText(w->size())));
  }

  void arrived(QWidget* focus) {
    QWidget* stop = stopOf(focus);
    reached_.insert(stop);
    if (const QObject* group = radioGroup(stop)) {
      reachedGroups_.insert(group);
      const QAbstractButton* checked = checkedInGroup(group);
      if (checked && checked != stop && !visitedInGroup_.contains(group))
        add(LayoutProblem::Kind::NotReachable, pathOf(stop),
            QStringLiteral("Tab lands on an unchecked option; the checked one is %1").arg(nameOf(checked)));
      visitedInGroup_.insert(group);
    }
    checkInView(stop);
  }

  void walkTab() {
    QWidget* start = QApplication::focusWidget();
    if (!start || start->window() != window_) {
      stops_.first()->setFocus(Qt::TabFocusReason);
      start = QApplication::focusWidget();
      if (!start) return;
    }
    QWidget* current = start;
    // A view that moves between its cells with Tab takes many presses.
    int limit = 4 * int(stops_.size()) + 40;
    for (QWidget* w : stops_)
      if (auto* view = qobject_cast<QAbstractItemView*>(w); view && view->tabKeyNavigation() && view->model())
        limit += std::min(view->model()->rowCount() * view->model()->columnCount(), 5000);
    for (int i = 0; i < limit; ++i) {
      arrived(current);
      QTest::keyClick(current, Qt::Key_Tab);
      QWidget* next = QApplication::focusWidget();
      if (!next || next->window() != window_) {
        add(LayoutProblem::Kind::NotReachable, pathOf(current), QStringLiteral("Tab from here leaves the window"));
        break;
      }
      if (next == start) break;
      auto* view = qobject_cast<QAbstractItemView*>(stopOf(next));
      if (next == current && !(view && view->tabKeyNavigation())) {
        add(LayoutProblem::Kind::NotReachable, pathOf(current), QStringLiteral("Tab does not leave it"));
        break;
      }
      current = next;
    }
    for (QWidget* w : stops_ + arrowOnly_) {
      const QObject* group = radioGroup(w);
      if (!reached_.contains(w) && !(group && reachedGroups_.contains(group)))
        add(LayoutProblem::Kind::NotReachable, pathOf(w), QStringLiteral("Tab never reaches it"));
    }
  }

  static QChar mnemonicOf(const QString& text) {
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
      if (text[i] != '&') continue;
      if (text[i + 1] == '&') {
        ++i;
        continue;
      }
      return text[i + 1].toUpper();
    }
    return {};
  }

  // A field whose caption must stay as it is takes its key from an
  // Alt+letter shortcut of its own (a QShortcut child of the field).
  static QChar shortcutKeyOf(const QWidget* field) {
    for (const QShortcut* s : field->findChildren<QShortcut*>(Qt::FindDirectChildrenOnly)) {
      if (!s->isEnabled() || s->key().count() != 1) continue;
      const QKeyCombination k = s->key()[0];
      if (k.keyboardModifiers() == Qt::AltModifier && k.key() >= Qt::Key_A && k.key() <= Qt::Key_Z)
        return QChar(char16_t(u'A' + (k.key() - Qt::Key_A)));
    }
    return {};
  }

  static bool isField(const QWidget* w) {
    if (auto* edit = qobject_cast<const QLineEdit*>(w)) return !edit->isReadOnly();
    if (auto* edit = qobject_cast<const QPlainTextEdit*>(w)) return !edit->isReadOnly();
    if (auto* edit = qobject_cast<const QTextEdit*>(w)) return !edit->isReadOnly();
    return qobject_cast<const QComboBox*>(w) || qobject_cast<const QAbstractSpinBox*>(w) ||
           qobject_cast<const QAbstractItemView*>(w);
  }

  static QLabel* asCaption(QLayoutItem* item) {
    auto* label = item ? qobject_cast<QLabel*>(item->widget()) : nullptr;
    if (!label || !label->isVisible()) return nullptr;
    for (QChar c : label->text())
      if (c.isLetter()) return label;
    return nullptr;  // a number in front of a field is a value, not its name
  }

  // The caption a reader takes for a field's name: the form's label, the
  // cell to its left, or the item before it in a row.
  static QLabel* captionBeside(QLayout* layout, QWidget* field) {
    const int index = layout->indexOf(field);
    if (index >= 0) {
      if (auto* form = qobject_cast<QFormLayout*>(layout)) return qobject_cast<QLabel*>(form->labelForField(field));
      if (auto* grid = qobject_cast<QGridLayout*>(layout)) {
        int row, column, rows, columns;
        grid->getItemPosition(index, &row, &column, &rows, &columns);
        return column > 0 ? asCaption(grid->itemAtPosition(row, column - 1)) : nullptr;
      }
      auto* box = qobject_cast<QBoxLayout*>(layout);
      if (box && (box->direction() == QBoxLayout::LeftToRight || box->direction() == QBoxLayout::RightToLeft))
        return index > 0 ? asCaption(box->itemAt(index - 1)) : nullptr;
      return nullptr;
    }
    for (int i = 0; i < layout->count(); ++i)
      if (QLayout* inner = layout->itemAt(i)->layout())
        if (QLabel* found = captionBeside(inner, field)) return found;
    return nullptr;
  }

  // Without a layout (a form of fixed places): the caption just left of the
  // field on its line.
  static QLabel* captionLeftOf(QWidget* field) {
    const QRect f = field->geometry();
    const int reach = 3 * field->fontMetrics().height();
    QLabel* best = nullptr;
    for (QObject* o : field->parentWidget()->children()) {
      auto* label = qobject_cast<QLabel*>(o);
      if (!label || !label->isVisible()) continue;
      const QRect l = label->geometry();
      const bool sameLine = std::abs(l.center().y() - f.center().y()) <= f.height() / 2;
      if (sameLine && l.right() < f.left() && f.left() - l.right() <= reach &&
          (!best || l.right() > best->geometry().right()))
        best = label;
    }
    if (!best) return nullptr;
    for (QChar c : best->text())
      if (c.isLetter()) return best;
    return nullptr;
  }

  void checkMnemonics() {
    QHash<QChar, QWidget*> owners;
    QList<QLabel*> labels;
    QHash<QLabel*, QChar> labelKeys;
    QSet<QWidget*> labelled;
    for (QWidget* w : window_->findChildren<QWidget*>()) {
      if (w->window() != window_ || !w->isVisible()) continue;
      QChar key;
      if (auto* label = qobject_cast<QLabel*>(w); label && label->buddy()) {
        key = mnemonicOf(label->text());
        if (key.isNull()) key = shortcutKeyOf(label->buddy());
        labelled.insert(label->buddy());
        if (key.isNull()) {
          add(LayoutProblem::Kind::Mnemonic, pathOf(label),
              QStringLiteral("\"%1\" names %2 but has no mnemonic").arg(label->text(), nameOf(label->buddy())));
        } else {
          labels.append(label);
          labelKeys.insert(label, key);
        }
      } else if (auto* button = qobject_cast<QAbstractButton*>(w); button && w->isEnabled()) {
        key = mnemonicOf(button->text());
      }
      if (key.isNull()) continue;
      if (QWidget* other = owners.value(key)) {
        add(LayoutProblem::Kind::Mnemonic, pathOf(w), QStringLiteral("Alt+%1 is also %2's").arg(key).arg(pathOf(other)));
        labels.removeAll(qobject_cast<QLabel*>(w));
        labels.removeAll(qobject_cast<QLabel*>(other));
      } else {
        owners.insert(key, w);
      }
    }
    for (QWidget* w : stops_) {
      if (!isField(w) || labelled.contains(w) || !w->parentWidget()) continue;
      QLabel* caption = w->parentWidget()->layout() ? captionBeside(w->parentWidget()->layout(), w) : nullptr;
      if (!caption) caption = captionLeftOf(w);
      if (caption && !caption->buddy())
        add(LayoutProblem::Kind::Mnemonic, pathOf(w),
            QStringLiteral("its label \"%1\" gives it no mnemonic (no buddy)").arg(caption->text()));
    }
    // The mnemonic must really lead to the field, and show it.
    for (QLabel* label : labels) {
      QWidget* buddy = label->buddy();
      if (!buddy->isVisible() || !buddy->isEnabled()) continue;
      // From elsewhere: a key that does nothing must not pass because the
      // focus happened to be in the field already.
      QWidget* from = QApplication::focusWidget();
      if (from && (from == buddy || buddy->isAncestorOf(from))) {
        from->clearFocus();
        from = nullptr;
      }
      if (!from) from = window_;
      const QChar key = labelKeys.value(label);
      QTest::keyClick(from, Qt::Key(key.unicode()), Qt::AltModifier);
      QWidget* now = QApplication::focusWidget();
      if (!now || (now != buddy && !buddy->isAncestorOf(now) && now->focusProxy() != buddy &&
                   buddy->focusProxy() != now)) {
        add(LayoutProblem::Kind::Mnemonic, pathOf(label), QStringLiteral("Alt+%1 does not reach %2").arg(key).arg(nameOf(buddy)));
        continue;
      }
      checkInView(buddy);
    }
  }

  QWidget* window_;
  QList<LayoutProblem>& out_;
  QList<QWidget*> stops_;
  QList<QWidget*> arrowOnly_;
  QSet<QWidget*> reached_;
  QSet<const QObject*> reachedGroups_;
  QSet<const QObject*> visitedInGroup_;
};

double luminance(const QColor& c) {
  auto channel = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
  const QColor rgb = c.toRgb();
  return 0.2126 * channel(rgb.redF()) + 0.7152 * channel(rgb.greenF()) + 0.0722 * channel(rgb.blueF());
}

}  // namespace

QString LayoutProblem::toString() const {
  static const char* const names[] = {"text clipped", "overlap", "outside parent", "minimum size", "contrast", "forced font",
                                      "not reachable", "mnemonic"};
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

  bool keyboardChecked = !options.checkKeyboard;
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
      if (options.checkKeyboard) KeyboardChecker(window, problems).run();
      keyboardChecked = true;
      window->resize(opened);
      (void)QTest::qWaitFor([&] { return window->size() == opened; }, 5000);
      settle(window);
    }
  }
  if (!keyboardChecked) KeyboardChecker(window, problems).run();
  return problems;
}

QList<LayoutProblem> checkKeyboard(QWidget* window) {
  QList<LayoutProblem> problems;
  if (!window->isVisible()) {
    window->show();
    (void)QTest::qWaitForWindowExposed(window);
  }
  settle(window);
  KeyboardChecker(window, problems).run();
  return problems;
}

double contrastRatio(const QColor& a, const QColor& b) {
  const double la = luminance(a);
  const double lb = luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
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
