#include "app/sdl/PortalFileChooser.h"

#include <cstdlib>
#include <dbus/dbus.h>
#include <filesystem>
#include <random>

namespace Halvo::App {

namespace {

constexpr const char* PortalService = "org.freedesktop.portal.Desktop";
constexpr const char* PortalObject = "/org/freedesktop/portal/desktop";
constexpr const char* RequestInterface = "org.freedesktop.portal.Request";
constexpr const char* Patterns[] = {"*.nes", "*.NES", "*.unf", "*.UNF", "*.unif", "*.UNIF",
                                    "*.fds", "*.FDS", "*.nsf", "*.NSF", "*.nsfe", "*.NSFE"};

// The session bus's address: $DBUS_SESSION_BUS_ADDRESS, else the bus of the user's session in
// $XDG_RUNTIME_DIR; empty when there is neither. (Without an address libdbus would try to start a bus
// for the X display, which is no desktop's portal; and it reads the variable only once per process.)
std::string SessionBusAddress() {
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (address && *address) {
        return address;
    }
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::error_code error;
    if (runtime && *runtime && std::filesystem::exists(std::filesystem::path(runtime) / "bus", error)) {
        return "unix:path=" + (std::filesystem::path(runtime) / "bus").string();
    }
    return {};
}

// One "key": variant entry of an a{sv} dictionary being appended.
template <class Fill>
void AppendOption(DBusMessageIter& dictionary, const char* key, const char* signature, Fill fill) {
    DBusMessageIter entry, variant;
    dbus_message_iter_open_container(&dictionary, DBUS_TYPE_DICT_ENTRY, nullptr, &entry);
    dbus_message_iter_append_basic(&entry, DBUS_TYPE_STRING, &key);
    dbus_message_iter_open_container(&entry, DBUS_TYPE_VARIANT, signature, &variant);
    fill(variant);
    dbus_message_iter_close_container(&entry, &variant);
    dbus_message_iter_close_container(&dictionary, &entry);
}

} // namespace

Ref::Ptr<FileChooser> PortalFileChooser::Open(const std::string& title, const std::string& folder,
                                              std::string& error) {
    const std::string address = SessionBusAddress();
    if (address.empty()) {
        error = "there is no session bus";
        return nullptr;
    }
    DBusError busError;
    dbus_error_init(&busError);
    // A connection of its own, closed with the chooser; libdbus must not end the program when the bus
    // goes away.
    DBusConnection* connection = dbus_connection_open_private(address.c_str(), &busError);
    if (connection && !dbus_bus_register(connection, &busError)) {
        dbus_connection_close(connection);
        dbus_connection_unref(connection);
        connection = nullptr;
    }
    if (!connection) {
        error = std::string("the session bus cannot be reached: ") +
                (dbus_error_is_set(&busError) ? busError.message : "no reason given");
        dbus_error_free(&busError);
        return nullptr;
    }
    dbus_connection_set_exit_on_disconnect(connection, FALSE);
    Ref::Ptr<PortalFileChooser> chooser(Ref::New<PortalFileChooser>(connection));
    if (!chooser->Send(title, folder)) {
        error = "the request could not be sent on the session bus";
        return nullptr;
    }
    return Ref::Ptr<FileChooser>(chooser.Get());
}

PortalFileChooser::~PortalFileChooser() {
    if (state == State::Waiting && !request.empty()) {
        // The dialog goes with the chooser that asked for it.
        if (DBusMessage* close =
                dbus_message_new_method_call(PortalService, request.c_str(), RequestInterface, "Close")) {
            dbus_connection_send(connection, close, nullptr);
            dbus_message_unref(close);
            dbus_connection_flush(connection);
        }
    }
    dbus_connection_close(connection);
    dbus_connection_unref(connection);
}

bool PortalFileChooser::Send(const std::string& title, const std::string& folder) {
    // The request's object path is known before the call (its last part is a token of ours), so the
    // answer cannot come before we listen for it.
    std::string sender = dbus_bus_get_unique_name(connection);
    if (!sender.empty() && sender[0] == ':') {
        sender.erase(0, 1);
    }
    for (char& c : sender) {
        c = c == '.' ? '_' : c;
    }
    const std::string token = "halvo" + std::to_string(std::random_device{}() & 0x7FFFFFFF);
    Listen(std::string(PortalObject) + "/request/" + sender + "/" + token);

    DBusMessage* call = dbus_message_new_method_call(PortalService, PortalObject,
                                                     "org.freedesktop.portal.FileChooser", "OpenFile");
    if (!call) {
        return false;
    }
    DBusMessageIter arguments, options;
    dbus_message_iter_init_append(call, &arguments);
    const char* parent = "";
    const char* caption = title.c_str();
    dbus_message_iter_append_basic(&arguments, DBUS_TYPE_STRING, &parent);
    dbus_message_iter_append_basic(&arguments, DBUS_TYPE_STRING, &caption);
    dbus_message_iter_open_container(&arguments, DBUS_TYPE_ARRAY, "{sv}", &options);
    AppendOption(options, "handle_token", "s", [&](DBusMessageIter& value) {
        const char* text = token.c_str();
        dbus_message_iter_append_basic(&value, DBUS_TYPE_STRING, &text);
    });
    // One filter, "NES cartridges", of glob patterns (kind 0).
    AppendOption(options, "filters", "a(sa(us))", [](DBusMessageIter& value) {
        DBusMessageIter filters, filter, patterns, pattern;
        dbus_message_iter_open_container(&value, DBUS_TYPE_ARRAY, "(sa(us))", &filters);
        dbus_message_iter_open_container(&filters, DBUS_TYPE_STRUCT, nullptr, &filter);
        const char* name = "NES cartridges";
        dbus_message_iter_append_basic(&filter, DBUS_TYPE_STRING, &name);
        dbus_message_iter_open_container(&filter, DBUS_TYPE_ARRAY, "(us)", &patterns);
        for (const char* glob : Patterns) {
            const dbus_uint32_t kind = 0;
            dbus_message_iter_open_container(&patterns, DBUS_TYPE_STRUCT, nullptr, &pattern);
            dbus_message_iter_append_basic(&pattern, DBUS_TYPE_UINT32, &kind);
            dbus_message_iter_append_basic(&pattern, DBUS_TYPE_STRING, &glob);
            dbus_message_iter_close_container(&patterns, &pattern);
        }
        dbus_message_iter_close_container(&filter, &patterns);
        dbus_message_iter_close_container(&filters, &filter);
        dbus_message_iter_close_container(&value, &filters);
    });
    if (!folder.empty()) {
        // The folder as bytes with their terminating NUL.
        AppendOption(options, "current_folder", "ay", [&](DBusMessageIter& value) {
            DBusMessageIter bytes;
            const char* data = folder.c_str();
            dbus_message_iter_open_container(&value, DBUS_TYPE_ARRAY, "y", &bytes);
            dbus_message_iter_append_fixed_array(&bytes, DBUS_TYPE_BYTE, &data,
                                                 static_cast<int>(folder.size() + 1));
            dbus_message_iter_close_container(&value, &bytes);
        });
    }
    dbus_message_iter_close_container(&arguments, &options);
    const bool sent = dbus_connection_send(connection, call, &serial);
    dbus_message_unref(call);
    dbus_connection_flush(connection);
    return sent;
}

void PortalFileChooser::Listen(const std::string& path) {
    if (!match.empty()) {
        dbus_bus_remove_match(connection, match.c_str(), nullptr);
    }
    request = path;
    match = "type='signal',interface='" + std::string(RequestInterface) + "',member='Response',path='" +
            path + "'";
    dbus_bus_add_match(connection, match.c_str(), nullptr);
}

FileChooser::State PortalFileChooser::Poll() {
    if (state != State::Waiting) {
        return state;
    }
    dbus_connection_read_write(connection, 0);
    while (state == State::Waiting) {
        DBusMessage* message = dbus_connection_pop_message(connection);
        if (!message) {
            break;
        }
        Read(message);
        dbus_message_unref(message);
    }
    if (state == State::Waiting && !dbus_connection_get_is_connected(connection)) {
        state = State::Failed;
        error = "the session bus went away";
    }
    return state;
}

void PortalFileChooser::Read(DBusMessage* message) {
    const int type = dbus_message_get_type(message);
    if (type == DBUS_MESSAGE_TYPE_ERROR && dbus_message_get_reply_serial(message) == serial) {
        // Most often org.freedesktop.DBus.Error.ServiceUnknown: the desktop has no portal.
        DBusError reply;
        dbus_error_init(&reply);
        dbus_set_error_from_message(&reply, message);
        error = std::string("the desktop portal refused: ") + (reply.message ? reply.message : reply.name);
        dbus_error_free(&reply);
        state = State::Failed;
        return;
    }
    if (type == DBUS_MESSAGE_TYPE_METHOD_RETURN && dbus_message_get_reply_serial(message) == serial) {
        accepted = true;
        // Portals older than the token convention name the request object themselves.
        const char* path = nullptr;
        if (dbus_message_get_args(message, nullptr, DBUS_TYPE_OBJECT_PATH, &path, DBUS_TYPE_INVALID) &&
            path && request != path) {
            Listen(path);
        }
        return;
    }
    if (!dbus_message_is_signal(message, RequestInterface, "Response") || !dbus_message_get_path(message) ||
        request != dbus_message_get_path(message)) {
        return;
    }
    DBusMessageIter arguments, results;
    dbus_uint32_t response = 2;
    if (!dbus_message_iter_init(message, &arguments) ||
        dbus_message_iter_get_arg_type(&arguments) != DBUS_TYPE_UINT32) {
        state = State::Failed;
        error = "the desktop portal's answer could not be read";
        return;
    }
    dbus_message_iter_get_basic(&arguments, &response);
    // 0: chosen, 1: cancelled by the player, 2: ended some other way.
    state = response == 1 ? State::Cancelled : State::Failed;
    error = response == 1 ? "" : "the file chooser ended without a file";
    if (response != 0 || !dbus_message_iter_next(&arguments) ||
        dbus_message_iter_get_arg_type(&arguments) != DBUS_TYPE_ARRAY) {
        return;
    }
    dbus_message_iter_recurse(&arguments, &results);
    for (; dbus_message_iter_get_arg_type(&results) == DBUS_TYPE_DICT_ENTRY;
         dbus_message_iter_next(&results)) {
        DBusMessageIter entry, variant, uris;
        const char* key = nullptr;
        dbus_message_iter_recurse(&results, &entry);
        dbus_message_iter_get_basic(&entry, &key);
        if (!key || std::string_view(key) != "uris" || !dbus_message_iter_next(&entry)) {
            continue;
        }
        dbus_message_iter_recurse(&entry, &variant);
        if (dbus_message_iter_get_arg_type(&variant) != DBUS_TYPE_ARRAY) {
            continue;
        }
        dbus_message_iter_recurse(&variant, &uris);
        if (dbus_message_iter_get_arg_type(&uris) == DBUS_TYPE_STRING) {
            const char* uri = nullptr;
            dbus_message_iter_get_basic(&uris, &uri);
            if (uri && PathOfFileUri(uri, file)) {
                state = State::Chosen;
                error.clear();
                return;
            }
            error =
                std::string("the file chooser gave ") + (uri ? uri : "nothing") + ", which is no local file";
        }
    }
    if (state != State::Chosen && error.empty()) {
        state = State::Cancelled;
    }
}

} // namespace Halvo::App
