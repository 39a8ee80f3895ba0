#pragma once
// Five-frame animations captured from animated GIF files: the frame list, the three rules
// that choose five frames, the 10 ms playback model and the shrink-then-enlarge preview.
#include "orka/picture/DibPicture.h"
#include "orka/picture/GifCodec.h"

#include <array>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <thread>
#include <vector>

namespace orka {

inline constexpr int kAnimationFrames = 5;
using FrameSelection = std::array<int, kAnimationFrames>;

// An opened animation: frames are decoded when first asked for and kept.
class Animation {
public:
    // Raises "非有效動畫檔案，畫格數少於5。" for files of fewer than 5 frames.
    static Animation open(const std::filesystem::path& file);
    static Animation fromBytes(std::vector<std::uint8_t> bytes);

    int frameCount() const { return int(delays_.size()); }
    // Hundredths of a second, as the GIF graphic-control extension gives them.
    const std::vector<int>& delays() const { return delays_; }
    const DibPicture& picture(int index);

private:
    explicit Animation(GifAnimationReader reader);

    GifAnimationReader reader_;
    std::vector<int> delays_;
    std::vector<std::optional<DibPicture>> pictures_;
};

enum class SelectionMode { None = 0, FirstFive = 1, ByAverageCount = 2, ByAverageTime = 3 };

FrameSelection selectFirstFive();
// index k = truncate(k x n x 0.2).
FrameSelection selectByAverageCount(int frameCount);
// The frames at which 20, 40, 60, 80 and 100 % of the running time is reached, topped up
// from the end when rounds hit the same frame, in ascending order.
FrameSelection selectByAverageTime(std::span<const int> delays);

// The selection mode of the capture page and the frames it chose.
class FrameSelector {
public:
    // Applies a rule; false (and nothing changes) when the mode is already in force.
    bool choose(SelectionMode mode, std::span<const int> delays);
    // A new file: no mode, no selection.
    void clear();
    SelectionMode mode() const { return mode_; }
    const std::optional<FrameSelection>& selection() const { return selection_; }
    // The frames the preview shows and plays: the chosen five once a rule was applied,
    // otherwise every frame of the animation.
    std::vector<int> previewFrames(int frameCount) const;

private:
    SelectionMode mode_ = SelectionMode::None;
    std::optional<FrameSelection> selection_;
};

// Playback time: every 10 ms step adds 10 to the current frame's elapsed time; once it
// reaches the frame's delay x 10 the next frame (after the last, the first) starts.
class PlaybackClock {
public:
    static constexpr int kStepMs = 10;
    explicit PlaybackClock(std::vector<int> delays) : delays_(std::move(delays)) {}
    // One step; true when a new frame starts with it.
    bool step();
    int current() const { return current_; }
    int elapsedMs() const { return elapsed_; }

private:
    std::vector<int> delays_;
    int current_ = 0;
    int elapsed_ = 0;
};

// Runs a PlaybackClock on a worker thread; `frameStarted` is called on that thread with the
// index (into the list played) of each frame as it starts, the first one included.
class AnimationPlayer {
public:
    using FrameStarted = std::function<void(int)>;
    ~AnimationPlayer();
    // False when playback runs already or there is nothing to play.
    bool start(std::vector<int> delays, FrameStarted frameStarted);
    // Clears the playing flag; the thread ends at its next step.
    void stop();
    // Waits for the thread to end (after stop).
    void join();
    bool playing() const { return playing_.load(); }
    int currentFrame() const { return current_.load(); }

private:
    std::atomic<bool> playing_{false};
    std::atomic<int> current_{0};
    std::thread worker_;
};

// A copy at another size, each pixel the average of the source area it covers.
DibPicture scalePicture(const DibPicture& source, std::uint32_t width, std::uint32_t height);

// The shrink-then-enlarge preview: copies that shrink step by step, built once and kept,
// drawn largest to smallest and then the picture itself, 100 ms apart, centred in the view.
class ShrinkEnlargeEffect {
public:
    static constexpr int kCopies = 8;
    static constexpr std::chrono::milliseconds kPause{100};

    struct Drawing {
        const DibPicture* picture;
        std::int64_t left, top;
    };

    const std::vector<DibPicture>& copies(const DibPicture& picture);
    // The drawings of one run, in order, for a view of the given size.
    std::vector<Drawing> drawings(const DibPicture& picture, std::int64_t viewWidth, std::int64_t viewHeight);
    void reset() { copies_.clear(); }

private:
    std::vector<DibPicture> copies_;
};

} // namespace orka
