#include "orka/picture/PictureZoom.h"

namespace orka {

ZoomState zoomIn(double factor)
{
    ZoomState state;
    state.zoomOutEnabled = true;
    if (factor >= kZoomLadder.back()) {
        state.factor = factor;
        state.zoomInEnabled = false;
        return state;
    }
    state.factor = kZoomLadder.front();
    if (factor >= kZoomLadder.front())
        for (double step : kZoomLadder)
            if (step > factor) {
                state.factor = step;
                break;
            }
    state.zoomInEnabled = state.factor < kZoomLadder.back();
    return state;
}

ZoomState zoomOut(double factor)
{
    ZoomState state;
    state.zoomInEnabled = true;
    if (factor <= 0.07) {
        state.factor = kZoomLadder.front();
        state.zoomOutEnabled = false;
        return state;
    }
    if (factor > 3.0) {
        state.factor = 3.0;
        return state;
    }
    state.factor = kZoomLadder.front();
    for (double step : kZoomLadder)
        if (step < factor)
            state.factor = step;
    return state;
}

bool zoomedPictureExceedsView(std::int64_t width, std::int64_t height, double factor, std::int64_t viewWidth,
                              std::int64_t viewHeight)
{
    return double(width) * factor > double(viewWidth) || double(height) * factor > double(viewHeight);
}

FitResult fitToFrame(std::int64_t frameWidth, std::int64_t frameHeight, std::int64_t viewWidth, std::int64_t viewHeight)
{
    FitResult fit;
    if (frameWidth <= 0 || frameHeight <= 0 || viewWidth <= 0 || viewHeight <= 0)
        return fit;
    fit.width = frameWidth;
    fit.height = frameHeight;
    if (frameWidth > viewWidth || frameHeight > viewHeight) {
        if (frameWidth * viewHeight > frameHeight * viewWidth) {
            fit.width = viewWidth;
            fit.height = frameHeight * viewWidth / frameWidth;
        } else {
            fit.height = viewHeight;
            fit.width = frameWidth * viewHeight / frameHeight;
        }
        if (fit.width < 1)
            fit.width = 1;
        if (fit.height < 1)
            fit.height = 1;
    }
    fit.left = (viewWidth - fit.width) / 2;
    fit.top = (viewHeight - fit.height) / 2;
    fit.factor = double(fit.width) / double(frameWidth);
    return fit;
}

} // namespace orka
