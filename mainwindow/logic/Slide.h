// Where the window waits, and how it moves in, as plain arithmetic.
//
// Positions are those of the window's outer rectangle in screen pixels; they
// may be negative or beyond the screen. Every halving truncates toward zero.
#pragma once

namespace orvessa {

enum ArrivalEdge { FromLeft = 0, FromRight = 1, FromTop = 2, FromBottom = 3 };

inline constexpr int kSlideStep = 32;
inline constexpr int kDesignSize = 600;

struct Extent {
  int width;
  int height;
};

struct Position {
  int left;
  int top;
  bool operator==(const Position& other) const { return left == other.left && top == other.top; }
};

// The edge the minute hand points to: top around :00, right around :15,
// bottom around :30, left around :45, in bands of 15 minutes.
ArrivalEdge ChooseArrivalEdge(int minute);

// Parking place outside `screen` for a window of `outer` size. Before the
// window exists its design size (600 x 600) stands in for `outer`.
Position ParkingPosition(ArrivalEdge edge, Extent screen, Extent outer);

// One tick of the slide: either a step of 32 pixels toward the centre, or
// arrival when the window is at or past it (never both).
struct SlideTick {
  bool arrived;
  Position position;  // unchanged on arrival
};
SlideTick SlideStep(ArrivalEdge edge, Extent screen, Extent outer, Position current);

}  // namespace orvessa
