#include "row_display.h"

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

QString errorCountText(int count) { return count == 0 ? QStringLiteral("0") : QString::number(count) + QLatin1Char(' '); }

}  // namespace polmon
