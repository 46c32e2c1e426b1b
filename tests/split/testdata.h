#pragma once
// Content for split tests: bytes that differ from one offset to the next, so
// that a part in the wrong place or order cannot compare equal.

#include <cstdint>
#include <string>

inline std::string patternBytes(std::size_t size, std::uint32_t seed = 1)
{
    std::string data(size, '\0');
    std::uint32_t x = seed * 2654435761u + 12345u;
    for (auto& c : data) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        c = static_cast<char>(x & 0xFF);
    }
    return data;
}
