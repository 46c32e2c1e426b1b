#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace darvolt {

// Kinds of GIF extension block, in the numbering the model stores.
enum TExtensionKind : std::uint8_t {
    ekGraphicControl = 0,
    ekPlainText = 1,
    ekApplication = 2,
    ekComment = 3,
};

// One extension block as read: its fixed part (block-size byte first) and
// its data sub-blocks, one string each. Copies are deep.
class TExtension
{
public:
    std::uint8_t ExtKind = ekGraphicControl;
    std::string FixedBlock;
    std::vector<std::string> SubBlocks; // empty: none

    void Assign(const TExtension &source) { *this = source; }

    // Graphic control fields; zero when the fixed block is short.
    std::uint8_t ControlFlags() const { return ByteAt(1); }
    std::uint16_t ControlDelay() const { return std::uint16_t(ByteAt(2) | ByteAt(3) << 8); }
    std::uint8_t TransparentIndex() const { return ByteAt(4); }

private:
    std::uint8_t ByteAt(std::size_t i) const
    {
        return i < FixedBlock.size() ? std::uint8_t(FixedBlock[i]) : 0;
    }
};

} // namespace darvolt
