#include "orka/transfer/TransferProgress.h"

#include "orka/app/MessageText.h"

namespace orka::transfer {

void TransferProgress::reset()
{
    position_ = 0;
    done_ = 0;
    total_ = 0;
    timerRunning_ = false;
}

void TransferProgress::setCount(int done, int total)
{
    done_ = done;
    total_ = total;
    if (countChanged_)
        countChanged_(done, total);
}

std::string TransferProgress::countText() const
{
    return app::formatText("%d / %d", {std::to_string(done_.load()), std::to_string(total_.load())});
}

void TransferProgress::tick()
{
    if (!timerRunning_)
        return;
    const long long limit = static_cast<long long>(range_) * creepLimitPercent_;
    if (static_cast<long long>(position_) * 100 < limit)
        position_ += kTickStep;
}

} // namespace orka::transfer
