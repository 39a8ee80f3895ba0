#include "orka/picture/Animation.h"

#include "orka/picture/PictureError.h"
#include "orka/picture/PictureFile.h"

#include <algorithm>

namespace orka {

Animation::Animation(GifAnimationReader reader) : reader_(std::move(reader))
{
    if (reader_.frameCount() < std::size_t(kAnimationFrames))
        throw PictureError(PictureMessage::TooFewFrames, PictureSource::Animation);
    delays_.reserve(reader_.frameCount());
    for (std::size_t i = 0; i < reader_.frameCount(); ++i)
        delays_.push_back(reader_.frame(i).delay);
    pictures_.resize(delays_.size());
}

Animation Animation::open(const std::filesystem::path& file)
{
    return fromBytes(readPictureFile(file));
}

Animation Animation::fromBytes(std::vector<std::uint8_t> bytes)
{
    return Animation(GifAnimationReader(std::move(bytes)));
}

const DibPicture& Animation::picture(int index)
{
    auto& slot = pictures_.at(std::size_t(index));
    if (!slot)
        slot = reader_.decodeFrame(std::size_t(index));
    return *slot;
}

FrameSelection selectFirstFive()
{
    return {0, 1, 2, 3, 4};
}

FrameSelection selectByAverageCount(int n)
{
    const double step = n * 0.2;
    FrameSelection chosen{};
    for (int k = 0; k < kAnimationFrames; ++k)
        chosen[std::size_t(k)] = int(k * step);
    return chosen;
}

FrameSelection selectByAverageTime(std::span<const int> delays)
{
    const int n = int(delays.size());
    double total = 0.0;
    for (int d : delays)
        total += d;
    const double step = total * 0.2;
    double target = 0.0;
    std::vector<bool> taken(delays.size(), false);
    std::vector<int> chosen;
    for (int round = 0; round < kAnimationFrames; ++round) {
        target += step;
        double sum = 0.0;
        int index = 0;
        // Stop at the first frame whose running sum reaches the target. Rounding can put the
        // last target a hair above the total; the walk then ends on the last frame (adding
        // its delay again would never end when that delay is 0).
        for (; index < n; ++index) {
            sum += delays[std::size_t(index)];
            if (sum >= target)
                break;
        }
        index = std::min(index, n - 1);
        if (!taken[std::size_t(index)]) {
            taken[std::size_t(index)] = true;
            chosen.push_back(index);
        }
    }
    for (int index = n - 1; index >= 0 && int(chosen.size()) < kAnimationFrames; --index)
        if (!taken[std::size_t(index)]) {
            taken[std::size_t(index)] = true;
            chosen.push_back(index);
        }
    std::sort(chosen.begin(), chosen.end());
    FrameSelection result{};
    std::copy_n(chosen.begin(), std::min<std::size_t>(chosen.size(), kAnimationFrames), result.begin());
    return result;
}

bool FrameSelector::choose(SelectionMode mode, std::span<const int> delays)
{
    if (mode == mode_)
        return false;
    mode_ = mode;
    // Files of fewer than five frames never get here; with exactly five every rule picks
    // all of them.
    const int n = int(delays.size());
    if (n < kAnimationFrames)
        return true;
    switch (mode) {
    case SelectionMode::FirstFive: selection_ = selectFirstFive(); break;
    case SelectionMode::ByAverageCount: selection_ = selectByAverageCount(n); break;
    case SelectionMode::ByAverageTime: selection_ = selectByAverageTime(delays); break;
    case SelectionMode::None: selection_.reset(); break;
    }
    return true;
}

std::vector<int> FrameSelector::previewFrames(int frameCount) const
{
    if (selection_)
        return std::vector<int>(selection_->begin(), selection_->end());
    std::vector<int> all;
    for (int i = 0; i < frameCount; ++i)
        all.push_back(i);
    return all;
}

void FrameSelector::clear()
{
    mode_ = SelectionMode::None;
    selection_.reset();
}

bool PlaybackClock::step()
{
    if (delays_.empty())
        return false;
    elapsed_ += kStepMs;
    if (elapsed_ >= delays_[std::size_t(current_)] * 10) {
        current_ = (current_ + 1) % int(delays_.size());
        elapsed_ = 0;
        return true;
    }
    return false;
}

AnimationPlayer::~AnimationPlayer()
{
    stop();
    join();
}

bool AnimationPlayer::start(std::vector<int> delays, FrameStarted frameStarted)
{
    if (playing_.load() || delays.empty())
        return false;
    join(); // a thread stopped a moment ago may still be on its last step
    playing_ = true;
    current_ = 0;
    worker_ = std::thread([this, delays = std::move(delays), frameStarted = std::move(frameStarted)]() mutable {
        PlaybackClock clock(std::move(delays));
        if (frameStarted)
            frameStarted(0);
        auto next = std::chrono::steady_clock::now();
        while (playing_.load()) {
            next += std::chrono::milliseconds(PlaybackClock::kStepMs);
            std::this_thread::sleep_until(next);
            if (!playing_.load())
                break;
            if (clock.step()) {
                current_ = clock.current();
                if (frameStarted)
                    frameStarted(clock.current());
            }
        }
    });
    return true;
}

void AnimationPlayer::stop()
{
    playing_ = false;
}

void AnimationPlayer::join()
{
    if (worker_.joinable())
        worker_.join();
}

DibPicture scalePicture(const DibPicture& original, std::uint32_t width, std::uint32_t height)
{
    const DibPicture rgb = original.bytesPerPixel() == 3 ? DibPicture() : original.toRgb();
    const DibPicture& source = original.bytesPerPixel() == 3 ? original : rgb;
    DibPicture out(int(width), int(height), 3, false);
    if (source.empty() || out.empty())
        return out;
    const std::uint64_t sw = source.width(), sh = source.height();
    for (std::uint32_t y = 0; y < height; ++y) {
        const std::uint64_t y0 = y * sh / height;
        const std::uint64_t y1 = std::max<std::uint64_t>(y0 + 1, (y + 1) * sh / height);
        std::uint8_t* o = out.row(y);
        for (std::uint32_t x = 0; x < width; ++x) {
            const std::uint64_t x0 = x * sw / width;
            const std::uint64_t x1 = std::max<std::uint64_t>(x0 + 1, (x + 1) * sw / width);
            std::uint64_t sum[3] = {0, 0, 0};
            for (std::uint64_t sy = y0; sy < y1; ++sy) {
                const std::uint8_t* p = source.row(std::uint32_t(sy)) + 3 * x0;
                for (std::uint64_t sx = x0; sx < x1; ++sx, p += 3) {
                    sum[0] += p[0];
                    sum[1] += p[1];
                    sum[2] += p[2];
                }
            }
            const std::uint64_t area = (y1 - y0) * (x1 - x0);
            for (int c = 0; c < 3; ++c)
                o[3 * x + std::uint32_t(c)] = std::uint8_t((sum[c] + area / 2) / area);
        }
    }
    return out;
}

const std::vector<DibPicture>& ShrinkEnlargeEffect::copies(const DibPicture& picture)
{
    if (copies_.empty() && !picture.empty())
        for (int k = kCopies; k >= 1; --k) {
            const auto w = std::max<std::uint32_t>(1, std::uint32_t(std::uint64_t(picture.width()) * k / (kCopies + 1)));
            const auto h = std::max<std::uint32_t>(1, std::uint32_t(std::uint64_t(picture.height()) * k / (kCopies + 1)));
            copies_.push_back(scalePicture(picture, w, h));
        }
    return copies_;
}

std::vector<ShrinkEnlargeEffect::Drawing> ShrinkEnlargeEffect::drawings(const DibPicture& picture,
                                                                        std::int64_t viewWidth, std::int64_t viewHeight)
{
    std::vector<Drawing> out;
    auto centred = [&](const DibPicture& p) {
        return Drawing{&p, (viewWidth - std::int64_t(p.width())) / 2, (viewHeight - std::int64_t(p.height())) / 2};
    };
    for (const DibPicture& copy : copies(picture))
        out.push_back(centred(copy));
    out.push_back(centred(picture));
    return out;
}

} // namespace orka
