#include "bannergen.h"

#include "bannergenlzw.h"
#include "bannergenpalette.h"
#include "bannergenscene.h"

#include <QRect>

#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr int FrameCount = 44;
constexpr int KeyIndex = 55;                    // transparent and background index
constexpr QRgb KeyColor = 0xFFFF00FF;           // used by no picture
constexpr int CodeSize = 8;

// Frames that cover the whole screen, frames that only hold the picture
// (one transparent pixel at the origin), and the still shown during a split.
bool IsFullFrame(int i) { return i == 0 || i == 26 || i == 27 || i == 42 || i == 43; }
bool IsHoldFrame(int i) { return (i >= 9 && i <= 15) || (i >= 18 && i <= 22) || (i >= 34 && i <= 36); }
constexpr int SplitStillFrame = 33;
const QRect SplitStillRect(0, 6, BannerWidth, 34);

std::vector<BannerScene> Storyboard()
{
    std::vector<BannerScene> board(FrameCount);
    BannerScene intro;
    board[0] = intro; // the mark alone
    for (int k = 1; k <= 6; ++k) {
        intro.letters = k; // the name, one letter at a time
        board[std::size_t(k)] = intro;
    }
    intro.swoosh = true;
    board[7] = intro;
    intro.glint = true;
    for (int i = 8; i <= 15; ++i)
        board[std::size_t(i)] = intro;
    intro.glint = false;
    board[16] = intro;
    intro.tagline = true;
    for (int i = 17; i <= 22; ++i)
        board[std::size_t(i)] = intro;
    for (int c = 1; c <= 3; ++c) {
        intro.chips = c;
        board[std::size_t(22 + c)] = intro;
    }
    BannerScene photo;
    photo.kind = BannerScene::Photo;
    board[26] = photo; // before
    photo.bright = true;
    board[27] = photo; // after
    photo.sparkle = 1;
    board[28] = photo;
    photo.secondLine = true;
    board[29] = photo;
    photo.sparkle = 2;
    board[30] = photo;
    photo.sparkle = 0;
    board[31] = photo;
    photo.afterTick = true;
    board[32] = photo;
    BannerScene offer;
    offer.kind = BannerScene::Offer;
    for (int i = 33; i <= 36; ++i)
        board[std::size_t(i)] = offer;
    offer.glow = 1;
    board[37] = offer;
    offer.glow = 0;
    offer.arrow = 3;
    board[38] = offer;
    offer.glow = 1;
    board[39] = offer;
    offer.glow = 0;
    offer.arrow = 0;
    board[40] = offer;
    offer.glint = true;
    board[41] = offer;
    offer.fade = 55;
    board[42] = offer;
    board[43] = BannerScene(); // back to the opening picture
    return board;
}

void Put16(QByteArray &out, int value)
{
    out.append(char(value & 0xFF));
    out.append(char((value >> 8) & 0xFF));
}

// Bounding box of the pixels that differ between two pictures.
QRect Changed(const std::vector<std::uint8_t> &a, const std::vector<std::uint8_t> &b)
{
    QRect box;
    for (int y = 0; y < BannerHeight; ++y)
        for (int x = 0; x < BannerWidth; ++x) {
            const std::size_t i = std::size_t(y * BannerWidth + x);
            if (a[i] != b[i])
                box |= QRect(x, y, 1, 1);
        }
    return box;
}

QRect FrameRect(int i, const std::vector<std::vector<std::uint8_t>> &indexed)
{
    if (IsFullFrame(i))
        return QRect(0, 0, BannerWidth, BannerHeight);
    const QRect changed = Changed(indexed[std::size_t(i - 1)], indexed[std::size_t(i)]);
    if (IsHoldFrame(i)) {
        if (!changed.isEmpty())
            throw std::logic_error("bannergen: hold frame " + std::to_string(i) + " changes the picture");
        return QRect(0, 0, 1, 1);
    }
    if (i == SplitStillFrame) {
        if (!SplitStillRect.contains(changed))
            throw std::logic_error("bannergen: the split still changes rows above its rectangle");
        return SplitStillRect;
    }
    if (changed.isEmpty() || changed == QRect(0, 0, BannerWidth, BannerHeight) || changed == QRect(0, 0, 1, 1))
        throw std::logic_error("bannergen: frame " + std::to_string(i) + " needs a partial change");
    return changed;
}

} // namespace

QList<int> BannerDelays()
{
    QList<int> delays;
    for (int i = 0; i < FrameCount; ++i) {
        int d = 20;
        if (i == 0 || i == 16)
            d = 4;
        else if (i <= 7 || i == 43)
            d = 25;
        else if (i <= 15)
            d = 5;
        else if ((i >= 17 && i <= 22) || i == 34 || i == 35)
            d = 10;
        delays.append(d);
    }
    return delays;
}

QList<QImage> BannerPictures()
{
    QList<QImage> pictures;
    for (const BannerScene &scene : Storyboard())
        pictures.append(RenderBannerScene(scene));
    return pictures;
}

QByteArray BannerGif()
{
    const BannerPalette palette = QuantizeBanner(BannerPictures(), KeyIndex, KeyColor);
    const QList<int> delays = BannerDelays();

    QByteArray gif("GIF89a");
    Put16(gif, BannerWidth);
    Put16(gif, BannerHeight);
    gif.append(char(0xF7)); // global table of 256, 8-bit resolution
    gif.append(char(KeyIndex));
    gif.append('\0');
    for (QRgb c : palette.colors) {
        gif.append(char(qRed(c)));
        gif.append(char(qGreen(c)));
        gif.append(char(qBlue(c)));
    }
    gif.append("\x21\xFF\x0BNETSCAPE2.0\x03\x01\x00\x00\x00", 19); // loop for ever

    for (int i = 0; i < FrameCount; ++i) {
        const QRect r = FrameRect(i, palette.indexed);
        const std::vector<std::uint8_t> &now = palette.indexed[std::size_t(i)];
        std::vector<std::uint8_t> pixels;
        pixels.reserve(std::size_t(r.width() * r.height()));
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x) {
                const std::size_t at = std::size_t(y * BannerWidth + x);
                // Pixels that stay as they were are left transparent: they
                // pack better and keep what lies beneath.
                const bool same = i > 0 && palette.indexed[std::size_t(i - 1)][at] == now[at];
                pixels.push_back(same ? std::uint8_t(KeyIndex) : now[at]);
            }
        gif.append("\x21\xF9\x04\x05", 4); // leave in place, transparency on
        Put16(gif, delays[i]);
        gif.append(char(KeyIndex));
        gif.append('\0');
        gif.append(',');
        Put16(gif, r.left());
        Put16(gif, r.top());
        Put16(gif, r.width());
        Put16(gif, r.height());
        gif.append('\0');
        const std::vector<std::uint8_t> code = LzwEncode(pixels, CodeSize);
        gif.append(reinterpret_cast<const char *>(code.data()), qsizetype(code.size()));
    }
    gif.append(';');
    return gif;
}

QByteArray BannerStoredForm()
{
    const QByteArray gif = BannerGif();
    QByteArray stored;
    const auto n = std::uint32_t(gif.size());
    for (int shift = 0; shift < 32; shift += 8)
        stored.append(char((n >> shift) & 0xFF));
    return stored + gif;
}
