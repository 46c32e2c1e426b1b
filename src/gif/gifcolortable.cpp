#include "gifcolortable.h"

#include "giferrors.h"

namespace darvolt {

int ColorCountToBits(std::uint32_t count)
{
    for (int bits = 1; bits <= 8; ++bits) {
        if (count == (1u << bits))
            return bits;
    }
    throw EInvalidGraphicOperation(GifMessages::WrongColorCount);
}

} // namespace darvolt
