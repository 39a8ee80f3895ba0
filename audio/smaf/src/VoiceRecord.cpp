#include "orka/smaf/VoiceRecord.h"

#include <algorithm>
#include <array>

namespace orka::smaf {

OperatorFields decodeOperator(const std::uint8_t* b)
{
    OperatorFields f;
    f.multiplier = b[0] >> 4;
    f.vibrato = (b[0] >> 3) & 1;
    f.sustained = (b[0] >> 2) & 1;
    f.sustain = (b[0] >> 1) & 1;
    f.keyScaleRate = b[0] & 1;
    f.releaseRate = b[1] >> 4;
    f.decayRate = b[1] & 0x0F;
    f.attackRate = b[2] >> 4;
    f.sustainLevel = b[2] & 0x0F;
    f.totalLevel = b[3] >> 2;
    f.keyScaleLevel = b[3] & 3;
    f.vibratoDepth = b[4] >> 6;
    f.tremoloDepth = (b[4] >> 4) & 3;
    f.tremolo = (b[4] >> 3) & 1;
    f.waveform = b[4] & 7;
    return f;
}

DecodedVoice decodeVoiceRecord(std::span<const std::uint8_t> record)
{
    std::array<std::uint8_t, kVoiceRecordSize> r{};
    std::copy_n(record.begin(), std::min(record.size(), r.size()), r.begin());
    DecodedVoice v;
    v.lfo = r[3] >> 6;
    v.feedback = (r[3] >> 3) & 7;
    v.algorithm = r[3] & 7;
    v.operatorCount = operatorsForAlgorithm(v.algorithm);
    v.octaveCode = r[4] & 3;
    for (int i = 0; i < 4; ++i)
        v.op[i] = decodeOperator(&r[5 + 5 * i]);
    if (v.operatorCount == 2)
        v.op[2] = v.op[3] = OperatorFields{};
    v.drumKey = r[25] & 0x7F;
    return v;
}

} // namespace orka::smaf
