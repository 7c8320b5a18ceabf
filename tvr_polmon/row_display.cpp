#include "row_display.h"

#include <cmath>

#include "colours.h"

namespace polmon {

QString statusText(const DriveRow& row) {
  return row.status ? QString(QChar(static_cast<unsigned char>(*row.status))) : QString();
}

QString buttonCaptionText(const RowButton& button) {
  switch (button.caption) {
    case ButtonCaption::AskCount: return QStringLiteral("Rnd");
    case ButtonCaption::Reset: return QStringLiteral("Reset");
    case ButtonCaption::SweptCount:
      return (button.count >= 0 ? QStringLiteral(" ") : QString()) + QString::number(button.count);
    case ButtonCaption::Count: return QString::number(button.count);
  }
  return {};
}

std::optional<QRgb> buttonColour(ButtonMark mark) {
  switch (mark) {
    case ButtonMark::Plain: return std::nullopt;
    case ButtonMark::CountKnown: return xav::colours::Cyan;
    case ButtonMark::RandomFromCount: return xav::colours::Orange;
    case ButtonMark::ResetOffered: return xav::colours::LightRed;
  }
  return std::nullopt;
}

QRgb statusColour(const DriveRow& row) {
  if (!row.current) return xav::colours::LightGrey;
  switch (row.statusKind) {
    case StatusKind::Cleared: return xav::colours::LightGrey;
    case StatusKind::InPosition: return xav::colours::Green;
    case StatusKind::NotInPosition: return xav::colours::Red;
  }
  return xav::colours::LightGrey;
}

QRgb requestColour(RequestEntry entry) {
  return entry == RequestEntry::Confirmed ? xav::colours::White : xav::colours::Cyan;
}

namespace {
double luminance(QRgb c) {
  auto channel = [](int v) {
    const double s = v / 255.0;
    return s <= 0.03928 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
  };
  return 0.2126 * channel(qRed(c)) + 0.7152 * channel(qGreen(c)) + 0.0722 * channel(qBlue(c));
}
}  // namespace

QRgb textColourOn(QRgb background) {
  const double l = luminance(background);
  const double onBlack = (l + 0.05) / 0.05;
  const double onWhite = 1.05 / (l + 0.05);
  return onBlack >= onWhite ? qRgb(0, 0, 0) : qRgb(255, 255, 255);
}

QString errorCountText(int count) { return count == 0 ? QStringLiteral("0") : QString::number(count) + QLatin1Char(' '); }

}  // namespace polmon
