#include "platform/diskservice.h"

#include <systemd/sd-bus.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>

namespace darvolt::diskservice {

namespace {

constexpr const char* Service = "org.freedesktop.UDisks2";
constexpr const char* Prefix = "org.freedesktop.UDisks2.";
// Long: the service may ask the user to authorise a mount first.
constexpr std::uint64_t CallTimeout = 120ULL * 1000 * 1000;

struct BusClose {
    void operator()(sd_bus* bus) const { sd_bus_flush_close_unref(bus); }
};
using Bus = std::unique_ptr<sd_bus, BusClose>;
struct MessageUnref {
    void operator()(sd_bus_message* m) const { sd_bus_message_unref(m); }
};
using Message = std::unique_ptr<sd_bus_message, MessageUnref>;

struct BusError {
    // Empty, as SD_BUS_ERROR_NULL makes it (a C compound literal, foreign to C++).
    sd_bus_error e{nullptr, nullptr, 0};
    BusError() = default;
    BusError(const BusError&) = delete;
    BusError& operator=(const BusError&) = delete;
    ~BusError() { sd_bus_error_free(&e); }
    bool is(const char* name) const { return sd_bus_error_has_name(&e, name) != 0; }
    std::string text() const { return e.message != nullptr ? e.message : e.name != nullptr ? e.name : ""; }
};

Bus openBus()
{
    sd_bus* bus = nullptr;
    if (sd_bus_open_system(&bus) < 0)
        return Bus();
    return Bus(bus);
}

// What the program reads of an object's properties, by "Interface.Name"
// without the service's prefix.
struct Value {
    bool flag = false;
    std::uint64_t number = 0;
    std::string text;
    std::vector<std::string> texts; // an array of byte arrays: mount points
};
using Properties = std::map<std::string, Value>;

// A byte array the service fills with a path and a closing NUL.
std::string bytesText(const void* data, std::size_t size)
{
    const char* chars = static_cast<const char*>(data);
    return std::string(chars, ::strnlen(chars, size));
}

// Reads one variant into a Value; types the program has no use for are
// skipped.
int readVariant(sd_bus_message* m, Value& value)
{
    char type = 0;
    const char* contents = nullptr;
    int r = sd_bus_message_peek_type(m, &type, &contents);
    if (r <= 0)
        return r < 0 ? r : -EBADMSG;
    if ((r = sd_bus_message_enter_container(m, SD_BUS_TYPE_VARIANT, contents)) < 0)
        return r;
    const std::string signature = contents;
    if (signature == "b") {
        int flag = 0;
        r = sd_bus_message_read(m, "b", &flag);
        value.flag = flag != 0;
    } else if (signature == "s" || signature == "o") {
        const char* text = nullptr;
        r = sd_bus_message_read_basic(m, signature[0], &text);
        value.text = text != nullptr ? text : "";
    } else if (signature == "t") {
        r = sd_bus_message_read(m, "t", &value.number);
    } else if (signature == "ay") {
        const void* data = nullptr;
        std::size_t size = 0;
        r = sd_bus_message_read_array(m, 'y', &data, &size);
        value.text = bytesText(data, size);
    } else if (signature == "aay") {
        r = sd_bus_message_enter_container(m, SD_BUS_TYPE_ARRAY, "ay");
        while (r >= 0 && sd_bus_message_at_end(m, false) == 0) {
            const void* data = nullptr;
            std::size_t size = 0;
            if ((r = sd_bus_message_read_array(m, 'y', &data, &size)) >= 0)
                value.texts.push_back(bytesText(data, size));
        }
        if (r >= 0)
            r = sd_bus_message_exit_container(m);
    } else {
        r = sd_bus_message_skip(m, contents);
    }
    if (r < 0)
        return r;
    return sd_bus_message_exit_container(m);
}

// An interface's properties, a{sv}, into props under "Interface.".
int readProperties(sd_bus_message* m, const std::string& interface, Properties& props)
{
    int r = sd_bus_message_enter_container(m, SD_BUS_TYPE_ARRAY, "{sv}");
    while (r >= 0 && (r = sd_bus_message_enter_container(m, SD_BUS_TYPE_DICT_ENTRY, "sv")) > 0) {
        const char* name = nullptr;
        if ((r = sd_bus_message_read(m, "s", &name)) < 0 || (r = readVariant(m, props[interface + name])) < 0)
            break;
        r = sd_bus_message_exit_container(m);
    }
    return r < 0 ? r : sd_bus_message_exit_container(m);
}

// Every object of the service with the properties of its interfaces.
std::optional<std::map<std::string, Properties>> managedObjects(sd_bus* bus)
{
    BusError failed;
    sd_bus_message* raw = nullptr;
    if (sd_bus_call_method(bus, Service, "/org/freedesktop/UDisks2", "org.freedesktop.DBus.ObjectManager",
                           "GetManagedObjects", &failed.e, &raw, "")
        < 0)
        return std::nullopt; // not running, and not to be started
    const Message reply(raw);
    std::map<std::string, Properties> objects;
    sd_bus_message* m = reply.get();
    int r = sd_bus_message_enter_container(m, SD_BUS_TYPE_ARRAY, "{oa{sa{sv}}}");
    while (r >= 0 && (r = sd_bus_message_enter_container(m, SD_BUS_TYPE_DICT_ENTRY, "oa{sa{sv}}")) > 0) {
        const char* path = nullptr;
        if ((r = sd_bus_message_read(m, "o", &path)) < 0)
            break;
        Properties& props = objects[path];
        r = sd_bus_message_enter_container(m, SD_BUS_TYPE_ARRAY, "{sa{sv}}");
        while (r >= 0 && (r = sd_bus_message_enter_container(m, SD_BUS_TYPE_DICT_ENTRY, "sa{sv}")) > 0) {
            const char* interface = nullptr;
            if ((r = sd_bus_message_read(m, "s", &interface)) < 0)
                break;
            std::string name = interface;
            const bool ours = name.rfind(Prefix, 0) == 0;
            name = ours ? name.substr(std::strlen(Prefix)) + "." : std::string();
            r = ours ? readProperties(m, name, props) : sd_bus_message_skip(m, "a{sv}");
            if (r >= 0)
                r = sd_bus_message_exit_container(m);
        }
        if (r >= 0)
            r = sd_bus_message_exit_container(m); // the interfaces
        if (r >= 0)
            r = sd_bus_message_exit_container(m); // the object's entry
    }
    if (r < 0)
        return std::nullopt;
    return objects;
}

bool has(const Properties& props, const char* key)
{
    return props.find(key) != props.end();
}

const Value& get(const Properties& props, const char* key)
{
    static const Value none;
    const auto it = props.find(key);
    return it == props.end() ? none : it->second;
}

// Removable as a desktop counts it: the service's own hint, which it keeps
// false for removable drives and hot-pluggable buses (and a udev rule can
// set), or what the drive itself says.
bool removable(const Properties& block, const Properties* drive)
{
    if (!get(block, "Block.HintSystem").flag)
        return true;
    if (drive == nullptr)
        return false;
    const std::string bus = get(*drive, "Drive.ConnectionBus").text;
    return get(*drive, "Drive.Removable").flag || get(*drive, "Drive.MediaRemovable").flag || bus == "usb"
           || bus == "sdio" || bus == "ieee1394";
}

// Calls a method of a medium's object with an empty option dictionary.
int callWithOptions(sd_bus* bus, const std::string& object, const char* interface, const char* method,
                    BusError& failure, Message& reply)
{
    sd_bus_message* raw = nullptr;
    int r = sd_bus_message_new_method_call(bus, &raw, Service, object.c_str(), interface, method);
    if (r < 0)
        return r;
    const Message call(raw);
    if ((r = sd_bus_message_append(raw, "a{sv}", 0)) < 0)
        return r;
    sd_bus_message_set_allow_interactive_authorization(raw, 1);
    sd_bus_message* answer = nullptr;
    r = sd_bus_call(bus, raw, CallTimeout, &failure.e, &answer);
    reply.reset(answer);
    return r;
}

// Where the medium is mounted now, if anywhere.
std::string mountPointOf(sd_bus* bus, const std::string& id)
{
    const auto objects = managedObjects(bus);
    if (!objects)
        return std::string();
    const auto it = objects->find(id);
    if (it == objects->end())
        return std::string();
    const auto& points = get(it->second, "Filesystem.MountPoints").texts;
    return points.empty() ? std::string() : points.front();
}

void powerOffDriveOf(sd_bus* bus, const std::string& id)
{
    BusError failed;
    char* drive = nullptr;
    if (sd_bus_get_property_string(bus, Service, id.c_str(), "org.freedesktop.UDisks2.Block", "Drive", &failed.e,
                                   &drive)
        < 0)
        return;
    const std::string path = drive;
    std::free(drive);
    int can = 0;
    if (path == "/"
        || sd_bus_get_property_trivial(bus, Service, path.c_str(), "org.freedesktop.UDisks2.Drive", "CanPowerOff",
                                       &failed.e, 'b', &can)
               < 0
        || can == 0)
        return;
    Message reply;
    BusError refused; // powering off is a courtesy: the medium is unmounted already
    callWithOptions(bus, path, "org.freedesktop.UDisks2.Drive", "PowerOff", refused, reply);
}

} // namespace

std::optional<std::vector<RemovableMedium>> Media()
{
    const Bus bus = openBus();
    if (!bus)
        return std::nullopt;
    const auto objects = managedObjects(bus.get());
    if (!objects)
        return std::nullopt;
    std::vector<RemovableMedium> media;
    for (const auto& [path, props] : *objects) {
        if (!has(props, "Block.Device") || !has(props, "Filesystem.MountPoints"))
            continue;
        const auto drive = objects->find(get(props, "Block.Drive").text);
        const Properties* driveProps = drive == objects->end() ? nullptr : &drive->second;
        if (get(props, "Block.HintIgnore").flag || get(props, "Block.Size").number == 0
            || !removable(props, driveProps))
            continue;
        RemovableMedium medium;
        medium.id = path;
        medium.label = get(props, "Block.IdLabel").text;
        medium.device = get(props, "Block.Device").text;
        const auto& points = get(props, "Filesystem.MountPoints").texts;
        medium.folder = points.empty() ? std::string() : points.front();
        medium.size = static_cast<std::int64_t>(get(props, "Block.Size").number);
        medium.ejectable = true;
        media.push_back(std::move(medium));
    }
    return media;
}

Result<std::string> Mount(const std::string& id)
{
    const Bus bus = openBus();
    if (!bus)
        return Result<std::string>::failure(error::NotReady);
    BusError failed;
    Message reply;
    if (callWithOptions(bus.get(), id, "org.freedesktop.UDisks2.Filesystem", "Mount", failed, reply) < 0) {
        // Mounted meanwhile (by the desktop, say): where it went will do.
        if (failed.is("org.freedesktop.UDisks2.Error.AlreadyMounted"))
            if (std::string folder = mountPointOf(bus.get(), id); !folder.empty())
                return {std::move(folder), error::None};
        return Result<std::string>::failure(error::NotReady);
    }
    const char* folder = nullptr;
    if (sd_bus_message_read(reply.get(), "s", &folder) < 0 || folder == nullptr)
        return Result<std::string>::failure(error::NotReady);
    return {folder, error::None};
}

MediumRelease Unmount(const std::string& id)
{
    const Bus bus = openBus();
    if (!bus)
        return {error::NotReady, false, "the disk service is not running"};
    BusError failed;
    Message reply;
    if (callWithOptions(bus.get(), id, "org.freedesktop.UDisks2.Filesystem", "Unmount", failed, reply) < 0
        && !failed.is("org.freedesktop.UDisks2.Error.NotMounted")) {
        // Pulled out already: nothing is left to unmount, and nothing to say.
        if (failed.is("org.freedesktop.DBus.Error.UnknownObject")
            || failed.is("org.freedesktop.DBus.Error.UnknownMethod"))
            return {error::None, false, std::string()};
        const bool busy = failed.is("org.freedesktop.UDisks2.Error.DeviceBusy");
        return {busy ? error::SharingViolation : error::DeviceError, false, failed.text()};
    }
    powerOffDriveOf(bus.get(), id);
    return {error::None, true, std::string()};
}

} // namespace darvolt::diskservice
