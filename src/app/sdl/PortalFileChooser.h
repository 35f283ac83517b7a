#pragma once

#include <cstdint>
#include <string>

#include "app/FileChooser.h"

struct DBusConnection;
struct DBusMessage;

namespace Halvo::App {

// The desktop's file chooser through the XDG desktop portal (org.freedesktop.portal.FileChooser on the
// session bus). The request is sent at once; the answer, and later the player's choice, arrive as
// messages that Poll reads without waiting, so the window goes on drawing while the dialog is open.
class PortalFileChooser : public FileChooser {
public:
    // Sends the request; null with the reason in `error` when there is no session bus to send it on.
    static Ref::Ptr<FileChooser> Open(const std::string& title, const std::string& folder,
                                      std::string& error);

    ~PortalFileChooser() override;
    State Poll() override;

private:
    explicit PortalFileChooser(DBusConnection* connection) : connection(connection) {}
    template <class T, class... Args>
    friend T* Ref::New(Args&&... args);

    bool Send(const std::string& title, const std::string& folder);
    void Listen(const std::string& path);
    void Read(DBusMessage* message);

    DBusConnection* connection;
    std::uint32_t serial = 0;
    // The request object whose Response signal carries the choice.
    std::string request;
    std::string match;
    State state = State::Waiting;
};

} // namespace Halvo::App
