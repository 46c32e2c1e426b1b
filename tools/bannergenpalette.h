#pragma once

#include <QImage>
#include <QList>

#include <array>
#include <cstdint>
#include <vector>

// A 256-entry palette shared by all banner pictures, with one entry kept
// for the transparent colour, and the pictures mapped onto it.
struct BannerPalette
{
    std::array<QRgb, 256> colors{};
    std::vector<std::vector<std::uint8_t>> indexed; // one per picture, row by row
};

// Median cut over every picture's colours (255 entries), each pixel then
// mapped to its nearest entry. Entry `reserved` gets `reservedColor`,
// which no other entry may equal, and no pixel maps to it.
BannerPalette QuantizeBanner(const QList<QImage> &pictures, int reserved, QRgb reservedColor);
