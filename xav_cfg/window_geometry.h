#pragma once
// Placement of XavCfgWindow's controls, shared by its builders and its
// layout procedures. Positions are given in the window's old unit (twips)
// where the layout rules name them; 12 to a pixel leaves room for today's
// wider fonts.

namespace xavcfg::geometry {

constexpr int px(int twips) { return twips / 12; }
constexpr int kFrameTop = px(360);
constexpr int kFrameLeft = px(3240);
constexpr int kFrameWidth = px(4815);
constexpr int kWindowWidth = kFrameLeft + kFrameWidth + 10;
constexpr int kWindowHeight = 400;
constexpr int kBottomRowTop = 360;

}  // namespace xavcfg::geometry
