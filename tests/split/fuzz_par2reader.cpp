// libFuzzer target: reads its input as a PAR2 file, then takes the set of
// every main packet it holds as the repair would. Any input may say
// anything; crashes, hangs, sanitizer reports and memory that grows with
// what a packet claims rather than with the input are what it finds.

#include "parts/par2reader.h"
#include "parts/recoverydecoder.h"

#include <cstddef>
#include <cstdint>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace darvolt;
    const Par2Contents contents = ReadPar2(std::as_bytes(std::span(data, size)));
    const Par2Catalogue catalogue(std::span(&contents, 1));
    for (const Par2MainPacket& main : contents.mains) {
        const Par2Set set = Par2SetOf(main, catalogue);
        if (const auto first = set.firstSlices(); first && first->size() != set.files.size())
            __builtin_trap();
        DecoderCanWork(set);
        for (const Par2RecoverySlice& slice : set.recovery)
            if (slice.setId != set.id || slice.exponent >= Par2ExponentLimit)
                __builtin_trap();
    }
    return 0;
}
