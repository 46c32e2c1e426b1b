#pragma once

#include <functional>

namespace darvolt {

class TFlatSpeedButton;

// Paces the look that ends a flat button's hot face when the pointer has left
// it without a move event to say so: another window took the pointer, or none
// is active. One clock serves every flat button of the process and watches
// the button that went hot last. The default looks every 100 ms on the GUI
// thread's event loop; tests put in their own to see which button is watched
// and to look when they choose.
class HoverClock
{
public:
    virtual ~HoverClock() = default;

    // Watches `button` from now on, in place of any other, calling `look` at
    // each beat; the beats start over.
    virtual void Watch(TFlatSpeedButton *button, std::function<void()> look) = 0;
    // Stops watching. Also called from inside a look.
    virtual void Stop() = 0;
};

// Makes `clock` the one every flat button uses, or the default again for
// null; a button being watched is let go first. The clock must outlive its
// use. GUI thread only.
void SetHoverClock(HoverClock *clock);

} // namespace darvolt
