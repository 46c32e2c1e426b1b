#pragma once
// The desktop's disk service (UDisks2 on the system D-Bus): the removable
// media it knows, mounting one as the desktop would, and unmounting and
// powering it off once the program is done with it.
//
// Every call opens its own connection to the system bus (the address in
// DBUS_SYSTEM_BUS_ADDRESS when set), so a service that starts or stops
// between two prompts is seen as it is now. Calls may wait for the user to
// authorise them.

#include "platform/platform.h"

#include <optional>
#include <string>
#include <vector>

namespace darvolt::diskservice {

// The block devices with a file system that the service counts as
// removable (not a system device, or on a removable drive or a
// hot-pluggable bus) and does not hide; ids are its object paths. Nothing
// when the service does not run.
std::optional<std::vector<RemovableMedium>> Media();

// Mounts the medium where the desktop would (/media/<user>/<label>) and
// answers that folder; an error code when it cannot.
Result<std::string> Mount(const std::string& id);

// Unmounts the medium, then powers its drive off where the service offers
// that (a failure to power off is no failure: the medium is unmounted). A
// medium in use fails with SharingViolation and the service's words; one
// pulled out already counts as let go, though not unmounted by the program.
MediumRelease Unmount(const std::string& id);

} // namespace darvolt::diskservice
