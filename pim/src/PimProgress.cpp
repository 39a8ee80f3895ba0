#include "orka/pim/PimProgress.h"

#include "orka/pim/PimError.h"

#include <bit>

namespace orka::pim {
namespace {
constexpr unsigned kStageTexts = 4019;
constexpr unsigned kStageCount = 9;
} // namespace

std::string stageText(unsigned stageBit)
{
    if (!std::has_single_bit(stageBit) || std::countr_zero(stageBit) >= static_cast<int>(kStageCount))
        return {};
    return messageItem(kStageTexts, static_cast<std::size_t>(std::countr_zero(stageBit)));
}
void ProgressHandoff::post(const PimProgress& report)
{
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return !pending_ || closed_; });
    if (closed_)
        return;
    pending_ = report;
    changed_.notify_all();
    changed_.wait(lock, [&] { return !pending_ || closed_; });
}

void ProgressHandoff::close()
{
    std::lock_guard lock(mutex_);
    closed_ = true;
    changed_.notify_all();
}

std::optional<PimProgress> ProgressHandoff::take()
{
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return pending_ || closed_; });
    std::optional<PimProgress> report = pending_;
    pending_.reset();
    changed_.notify_all();
    return report;
}

} // namespace orka::pim
