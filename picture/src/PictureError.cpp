#include "orka/picture/PictureError.h"

namespace orka {

PictureError::PictureError(PictureMessage message, PictureSource source, std::string argument, unsigned line)
    : Failure(static_cast<unsigned>(message), std::move(argument))
    , message_(message)
    , source_(source)
    , line_(line)
{
}

} // namespace orka
