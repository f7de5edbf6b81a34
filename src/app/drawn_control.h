#pragma once
#include <array>
#include <string>

// Which window a process shows: the Download Window (one per user) or a Site Window.
enum class ProcessRole : int { kDownload = 0, kSite = 1 };

// A rectangle in client pixels. Half-open: it holds x <= px < x + width, likewise down.
struct Rect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;

  int right() const { return x + width; }
  int bottom() const { return y + height; }
  bool empty() const { return width <= 0 || height <= 0; }
  bool contains(int px, int py) const {
    return !empty() && px >= x && px < right() && py >= y && py < bottom();
  }
  bool operator==(const Rect&) const = default;
};

struct Size {
  int width = 0;
  int height = 0;
};

// What a drawn control is. The numbers are the ones stored and tested.
enum class ControlKind : int {
  kNone = 0,  // not drawn, never hit
  kDisabledButton = 1,
  kButton = 2,
  kLatchedButton = 3,  // a button shown pressed while its setting is on
  kLink = 4,
  kSplitterDown = 5,    // moves up and down (Download Window)
  kSplitterAcross = 6,  // moves left and right (Site Window)
  kSizeGrip = 7,
};

// How a drawn control was last painted.
enum class ControlState : int {
  kNone = 0,
  kDisabled = 1,
  kNormal = 2,
  kHot = 3,
  kPressed = 4,
};

// The fifteen drawn controls, in their fixed order: the order they are painted and
// hit-tested in.
namespace control {
inline constexpr int kOpen = 0;
inline constexpr int kHelp = 1;
inline constexpr int kPause = 2;
inline constexpr int kRemove = 3;
inline constexpr int kBack = 4;
inline constexpr int kForward = 5;
inline constexpr int kStop = 6;
inline constexpr int kRefresh = 7;
inline constexpr int kExpand = 8;
inline constexpr int kGet = 9;
inline constexpr int kAddressLink = 10;  // "Addresses" / "Address": paste
inline constexpr int kGoLink = 11;       // "Get" / "Go"
inline constexpr int kClipboardCaption = 12;
inline constexpr int kSplitter = 13;
inline constexpr int kSizeGrip = 14;
inline constexpr int kCount = 15;
inline constexpr int kFirstButton = kPause;
inline constexpr int kLastButton = kGet;
}  // namespace control

// One hand-drawn control of the main window.
struct DrawnControl {
  Rect rect;
  ControlKind kind = ControlKind::kNone;
  ControlState state = ControlState::kNone;
  std::string label;
  std::string secondLabel;         // the tooltip of the paste link
  int nudge = 1;                   // pixels added to the centred label's x
  Size labelSize;                  // in the base font, measured with the fonts
  const char* icon = nullptr;      // resource name of its icon, or none
  const char* grayIcon = nullptr;  // the icon of the disabled state
};

using DrawnControls = std::array<DrawnControl, control::kCount>;
