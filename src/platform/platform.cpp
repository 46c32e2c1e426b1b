#include "platform/platform.h"

namespace darvolt {

CopyResult File::copyTo(File&, std::uint64_t)
{
    return CopyResult{0, true};
}

} // namespace darvolt
