// Our own two-colour pictures of the link widgets' hand cursors, drawn in
// text: '#' black, '.' white, blank transparent.
#include "widgets/prourl.h"

#include <string>
#include <vector>

namespace darvolt {

namespace {

using Art = std::vector<std::string>;

const Art pointingHand{
    "     ##",
    "    #..#",
    "    #..#",
    "    #..#",
    "    #..#",
    "    #..###",
    "    #..#..###",
    "    #..#..#..##",
    "    #..#..#..#.#",
    "##  #..........#",
    "#.# #..........#",
    "#..##..........#",
    " #..#..........#",
    " #.............#",
    "  #............#",
    "  #...........#",
    "   #..........#",
    "   #.........#",
    "    #........#",
    "    #........#",
    "    ##########",
};

const Art openHand{
    "   ### ### ###",
    "   #.# #.# #.#",
    "   #.# #.# #.# ###",
    "   #.# #.# #.# #.#",
    "   #.# #.# #.# #.#",
    "   #.###.###.###.#",
    "   #.............#",
    "###..............#",
    "#................#",
    "#...............#",
    " #..............#",
    "  #.............#",
    "   #...........#",
    "    #..........#",
    "    #..........#",
    "    ############",
};

const Art arrow{
    "#",
    "##",
    "#.#",
    "#..#",
    "#...#",
    "#....#",
    "#.....#",
    "#......#",
    "#.......#",
    "#....#####",
    "#.#..#",
    "##  #..#",
    "#   #..#",
    "     #..#",
    "     ###",
};

const Art closedHand{
    "",
    "",
    "     ## ## ##",
    "    #..#..#..##",
    "   ##..#..#..#.#",
    "  #.#........#.#",
    "  #............#",
    "  #............#",
    "   #...........#",
    "    #..........#",
    "     #........#",
    "     #........#",
    "     ##########",
};

// Copies the picture into the canvas with its top-left at (dx, dy); blanks
// of the picture leave the canvas as it was.
void overlay(Art &canvas, const Art &picture, int dx, int dy)
{
    for (size_t y = 0; y < picture.size(); ++y) {
        std::string &row = canvas[size_t(dy) + y];
        const std::string &src = picture[y];
        if (row.size() < size_t(dx) + src.size())
            row.resize(size_t(dx) + src.size(), ' ');
        for (size_t x = 0; x < src.size(); ++x)
            if (src[x] != ' ')
                row[size_t(dx) + x] = src[x];
    }
}

QCursor toCursor(const Art &art, QPoint hotSpot)
{
    std::vector<const char *> rows;
    for (const std::string &row : art)
        rows.push_back(row.c_str());
    return CursorFromArt(rows.data(), int(rows.size()), hotSpot);
}

Art smallHandWithCuff()
{
    // The pointing hand moved so that its finger tip is the hot spot, with a
    // striped cuff below the wrist.
    Art canvas(32);
    overlay(canvas, pointingHand, 7, 9);
    overlay(canvas, Art{"#.#.#.#.#.", "##########"}, 11, 30);
    return canvas;
}

Art arrowWithHand()
{
    Art canvas(32);
    overlay(canvas, arrow, 0, 0);
    overlay(canvas, openHand, 12, 12);
    return canvas;
}

} // namespace

void RegisterProUrlCursors()
{
    if (HasCursor(crHandPoint))
        return;
    RegisterCursor(crHandPoint, [] { return toCursor(pointingHand, {6, 0}); });
    RegisterCursor(crSmallHandPoint, [] { return toCursor(smallHandWithCuff(), {13, 9}); });
    RegisterCursor(crGrabHand, [] { return toCursor(openHand, {4, 2}); });
    RegisterCursor(crGrabHandArrow, [] { return toCursor(arrowWithHand(), {0, 0}); });
    RegisterCursor(crDragHand, [] { return toCursor(closedHand, {0, 0}); });
}

} // namespace darvolt
