#include "Slide.h"

namespace orvessa {

namespace {
// Distance kept from the screen edge while parked.
constexpr int kParkingGap = 20;
}  // namespace

ArrivalEdge ChooseArrivalEdge(int minute) {
  ArrivalEdge edge = FromLeft;
  if ((minute >= 53 && minute <= 59) || (minute >= 0 && minute <= 7)) edge = FromTop;
  if (minute >= 8 && minute <= 22) edge = FromRight;
  if (minute >= 23 && minute <= 37) edge = FromBottom;
  if (minute >= 38 && minute <= 52) edge = FromLeft;
  return edge;
}

Position ParkingPosition(ArrivalEdge edge, Extent screen, Extent outer) {
  const int centredTop = (screen.height - outer.height) / 2;
  const int centredLeft = (screen.width - outer.width) / 2;
  switch (edge) {
    case FromLeft:
      return {-outer.width - kParkingGap, centredTop};
    case FromRight:
      // Beyond the screen's own right edge, so that even a screen much wider
      // than the window never sees it appear before it slides.
      return {screen.width + kDesignSize + kParkingGap, centredTop};
    case FromTop:
      return {centredLeft, -outer.height - kParkingGap};
    case FromBottom:
      return {centredLeft, screen.height + kDesignSize + kParkingGap};
  }
  return {centredLeft, centredTop};
}

SlideTick SlideStep(ArrivalEdge edge, Extent screen, Extent outer, Position current) {
  const int cx = (screen.width - outer.width) / 2;
  const int cy = (screen.height - outer.height) / 2;
  Position next = current;
  switch (edge) {
    case FromLeft:
      if (current.left >= cx) return {true, current};
      next.left += kSlideStep;
      break;
    case FromRight:
      if (current.left <= cx) return {true, current};
      next.left -= kSlideStep;
      break;
    case FromTop:
      if (current.top >= cy) return {true, current};
      next.top += kSlideStep;
      break;
    case FromBottom:
      if (current.top <= cy) return {true, current};
      next.top -= kSlideStep;
      break;
  }
  return {false, next};
}

}  // namespace orvessa
