// A pointer for a compositor that has none, as weston's headless backend:
// weston loads this with --modules and it adds a seat with a pointer that
// plays the lines the compositor reads on its standard input:
//
//   motion X Y    the pointer goes to X, Y of the desktop
//   press         the left button goes down
//   release       the left button comes up
//
// Each line is one pointer frame, handled in the order written.
extern "C" {
#include <libweston/libweston.h>
#include <weston/weston.h>

// What the backends use to make seats and feed them: exported by libweston,
// declared only in its private headers.
void weston_seat_init(struct weston_seat *seat, struct weston_compositor *compositor, const char *name);
int weston_seat_init_pointer(struct weston_seat *seat);
void weston_seat_release(struct weston_seat *seat);
void notify_motion_absolute(struct weston_seat *seat, const struct timespec *time, double x, double y);
void notify_button(struct weston_seat *seat, const struct timespec *time, int32_t button,
                   enum wl_pointer_button_state state);
void notify_pointer_frame(struct weston_seat *seat);
}

#include <linux/input-event-codes.h>
#include <unistd.h>

#include <cstdio>
#include <string>

namespace {

struct Pointer {
    weston_compositor *compositor = nullptr;
    weston_seat seat{};
    wl_event_source *input = nullptr;
    wl_listener destroyed{};
    std::string pending;
};

void play(Pointer &p, const std::string &line)
{
    timespec now{};
    weston_compositor_get_time(&now);
    double x = 0, y = 0;
    if (std::sscanf(line.c_str(), "motion %lf %lf", &x, &y) == 2)
        notify_motion_absolute(&p.seat, &now, x, y);
    else if (line == "press")
        notify_button(&p.seat, &now, BTN_LEFT, WL_POINTER_BUTTON_STATE_PRESSED);
    else if (line == "release")
        notify_button(&p.seat, &now, BTN_LEFT, WL_POINTER_BUTTON_STATE_RELEASED);
    else {
        weston_log("pointer module: unknown line '%s'\n", line.c_str());
        return;
    }
    notify_pointer_frame(&p.seat);
}

int onInput(int fd, uint32_t, void *data)
{
    auto &p = *static_cast<Pointer *>(data);
    char buffer[512];
    const ssize_t got = read(fd, buffer, sizeof buffer);
    if (got <= 0) {
        // The writer is gone: nothing more will come.
        wl_event_source_remove(p.input);
        p.input = nullptr;
        return 0;
    }
    p.pending.append(buffer, std::size_t(got));
    for (std::size_t end; (end = p.pending.find('\n')) != std::string::npos;) {
        play(p, p.pending.substr(0, end));
        p.pending.erase(0, end + 1);
    }
    return 0;
}

void onCompositorDestroyed(wl_listener *listener, void *)
{
    Pointer *p = wl_container_of(listener, p, destroyed);
    if (p->input)
        wl_event_source_remove(p->input);
    weston_seat_release(&p->seat);
    delete p;
}

} // namespace

extern "C" WL_EXPORT int wet_module_init(weston_compositor *compositor, int *, char *[])
{
    auto *p = new Pointer;
    p->compositor = compositor;
    weston_seat_init(&p->seat, compositor, "default");
    weston_seat_init_pointer(&p->seat);
    p->input = wl_event_loop_add_fd(wl_display_get_event_loop(compositor->wl_display), STDIN_FILENO,
                                    WL_EVENT_READABLE, onInput, p);
    p->destroyed.notify = onCompositorDestroyed;
    wl_signal_add(&compositor->destroy_signal, &p->destroyed);
    return 0;
}
