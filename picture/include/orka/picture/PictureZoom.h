#pragma once
// The view's zoom factor: the ladder of zoom in and out, and fitting the frame to the view.
#include <array>
#include <cstdint>

namespace orka {

inline constexpr std::array<double, 14> kZoomLadder = {0.05, 0.07, 0.1, 0.17, 0.25, 0.37, 0.5,
                                                       0.75, 1.0,  1.25, 1.5, 2.0,  3.0, 5.0};

struct ZoomState {
    double factor = 1.0;
    bool zoomInEnabled = true;
    bool zoomOutEnabled = true;
};

// The first step strictly above the factor (0.05 below the ladder); at 5.0 or more it
// stays and zoom in is disabled. Zoom out is enabled afterwards.
ZoomState zoomIn(double factor);
// The last step strictly below (3.0 for anything above 3.0); at 0.07 or less it becomes
// 0.05 and zoom out is disabled. Zoom in is enabled afterwards.
ZoomState zoomOut(double factor);

// The move tool is offered while the zoomed picture is larger than the view.
bool zoomedPictureExceedsView(std::int64_t width, std::int64_t height, double factor, std::int64_t viewWidth,
                              std::int64_t viewHeight);

struct FitResult {
    std::int64_t left = 0, top = 0, width = 0, height = 0; // placed in the view
    double factor = 1.0;
};

// Scales the frame, keeping its aspect ratio with integer arithmetic, to the largest size
// that fits the view (unchanged when it fits already), centred in the view.
FitResult fitToFrame(std::int64_t frameWidth, std::int64_t frameHeight, std::int64_t viewWidth,
                     std::int64_t viewHeight);

} // namespace orka
