#pragma once

#include <functional>

namespace darvolt {

// Handing work from a worker thread to the GUI thread and waiting for it.
//
// Widgets and forms belong to the GUI thread; a worker that wants something
// done to them calls Synchronize, which queues the work for the GUI thread's
// event loop and blocks until it has run there. Works queued this way run one
// at a time, in the order they were queued, between two events.
//
// The GUI thread must have called InstallSynchronizer (once per application
// object) before a worker can hand anything over; components that own worker
// threads do that when they are created.

// Makes the GUI thread ready to receive work. Call on the GUI thread after
// the application object exists; further calls do nothing.
void InstallSynchronizer();

// Runs `work` on the GUI thread and waits until it has finished. Called on
// the GUI thread itself, it runs the work at once. An exception thrown by the
// work is carried back and rethrown in the calling thread.
//
// Returns false, without running the work, when the GUI thread can no longer
// take it: the synchronizer was never installed, or the application is going
// away (the wait also ends, with false, if that happens while the work is
// still queued).
bool Synchronize(const std::function<void()> &work);

// True on the thread that installed the synchronizer.
bool IsGuiThread();

// True once the application has begun to shut down: its event loop has been
// told to quit, or the application object is being destroyed. Threads use it
// to stop handing over work. Safe to call from any thread.
bool ApplicationTerminating();

} // namespace darvolt
