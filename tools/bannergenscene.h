#pragma once

#include <QImage>

// What one banner picture shows. The storyboard is a list of these; each
// picture is drawn from scratch from its state.
struct BannerScene
{
    enum Kind { Intro, Photo, Offer } kind = Intro;
    int letters = 0;      // Intro: letters of the name shown so far
    bool swoosh = false;  // Intro: the arc under the name
    bool glint = false;   // a star on the logo
    bool tagline = false; // Intro: the line on the right
    int chips = 0;        // Intro: feature words shown (0 to 3)
    bool bright = false;  // Photo: after instead of before
    int sparkle = 0;      // Photo: 0 none, 1 on the sun, 2 on the hill
    bool secondLine = false; // Photo: the second text line
    bool afterTick = false;  // Photo: the label turns green
    int glow = 0;         // Offer: 0 plain button, 1 lit button
    int arrow = 0;        // Offer: offset of the button's arrow
    int fade = 0;         // percent faded towards the background
};

inline constexpr int BannerWidth = 393;
inline constexpr int BannerHeight = 40;

// Draws one picture, antialiased, on an opaque 32-bit image.
QImage RenderBannerScene(const BannerScene &scene);
