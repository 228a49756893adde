#include "compositor_keys.h"

#include <chrono>
#include <cstring>
#include <thread>

#include <gio/gio.h>
#include <wayland-client.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include "fake-input-client-protocol.h"

// [SECTION] XTest through XWayland

class XTestKeys : public CompositorKeys {
public:
    explicit XTestKeys(Display *display) : display(display) {}
    bool Key(int evdev, bool down, std::string &why) override
    {
        // XWayland's key codes are the evdev codes plus 8
        if (!XTestFakeKeyEvent(display, static_cast<unsigned>(evdev + 8), down, CurrentTime)) {
            why = "XTestFakeKeyEvent failed";
            return false;
        }
        XSync(display, False);
        return true;
    }

private:
    Display *display;
};

// [SECTION] mutter's RemoteDesktop session on its D-Bus

// Whether the compositor's seat offers a keyboard to a new Wayland client.
static bool SeatHasKeyboard(const std::string &socketPath)
{
    wl_display *client = wl_display_connect(socketPath.c_str());
    if (!client)
        return false;
    struct Found {
        wl_seat *seat = nullptr;
        uint32_t capabilities = 0;
    } found;
    static const wl_seat_listener seatListener = {
        [](void *data, wl_seat *, uint32_t capabilities) {
            static_cast<Found *>(data)->capabilities = capabilities;
        },
        [](void *, wl_seat *, const char *) {},
    };
    static const wl_registry_listener registryListener = {
        [](void *data, wl_registry *registry, uint32_t name, const char *interface, uint32_t) {
            auto *found = static_cast<Found *>(data);
            if (!found->seat && std::strcmp(interface, wl_seat_interface.name) == 0) {
                found->seat = static_cast<wl_seat *>(
                    wl_registry_bind(registry, name, &wl_seat_interface, 1));
                wl_seat_add_listener(found->seat, &seatListener, found);
            }
        },
        [](void *, wl_registry *, uint32_t) {},
    };
    wl_registry *registry = wl_display_get_registry(client);
    wl_registry_add_listener(registry, &registryListener, &found);
    // The globals, then the seat's capabilities
    wl_display_roundtrip(client);
    wl_display_roundtrip(client);
    if (found.seat)
        wl_seat_destroy(found.seat);
    wl_registry_destroy(registry);
    wl_display_disconnect(client);
    return (found.capabilities & WL_SEAT_CAPABILITY_KEYBOARD) != 0;
}

class MutterKeys : public CompositorKeys {
public:
    ~MutterKeys() override
    {
        if (connection && !session.empty())
            Call(session.c_str(), "org.gnome.Mutter.RemoteDesktop.Session", "Stop", nullptr,
                 nullptr);
        if (connection)
            g_object_unref(connection);
    }

    // A session lives as long as the D-Bus connection that made it: this
    // object holds both. The keyboard is on the compositor's seat when this
    // returns.
    bool Open(const std::string &address, const std::string &socketPath, std::string &why)
    {
        GError *error = nullptr;
        connection = g_dbus_connection_new_for_address_sync(
            address.c_str(),
            static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                              G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
            nullptr, nullptr, &error);
        if (!connection)
            return Failed(error, "connecting to mutter's D-Bus session", why);
        GVariant *made = Call("/org/gnome/Mutter/RemoteDesktop", "org.gnome.Mutter.RemoteDesktop",
                              "CreateSession", nullptr, &error);
        if (!made)
            return Failed(error, "RemoteDesktop.CreateSession", why);
        const gchar *path = nullptr;
        g_variant_get(made, "(&o)", &path);
        session = path;
        g_variant_unref(made);
        GVariant *started = Call(session.c_str(), "org.gnome.Mutter.RemoteDesktop.Session",
                                 "Start", nullptr, &error);
        if (!started)
            return Failed(error, "RemoteDesktop.Session.Start", why);
        g_variant_unref(started);
        // mutter 48 adds the session's keyboard to the seat only at its
        // first key (mutter 43 at the start): the first key would reach no
        // window, and a game started before it would find a seat with no
        // keyboard. A desktop's seat has its keyboard all along: a Shift
        // typed to no window makes it, and the seat shows it before the
        // game comes.
        for (const bool down : {true, false})
            if (!Key(evdevLeftShift, down, why))
                return false;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!SeatHasKeyboard(socketPath)) {
            if (std::chrono::steady_clock::now() >= deadline) {
                why = "mutter's seat has no keyboard 10 s after a RemoteDesktop key";
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return true;
    }

    bool Key(int evdev, bool down, std::string &why) override
    {
        GError *error = nullptr;
        GVariant *done = Call(session.c_str(), "org.gnome.Mutter.RemoteDesktop.Session",
                              "NotifyKeyboardKeycode",
                              g_variant_new("(ub)", static_cast<guint32>(evdev), down), &error);
        if (!done)
            return Failed(error, "RemoteDesktop.Session.NotifyKeyboardKeycode", why);
        g_variant_unref(done);
        return true;
    }

private:
    GVariant *Call(const char *path, const char *interface, const char *method,
                   GVariant *arguments, GError **error)
    {
        return g_dbus_connection_call_sync(connection, "org.gnome.Mutter.RemoteDesktop", path,
                                           interface, method, arguments, nullptr,
                                           G_DBUS_CALL_FLAGS_NONE, 10000, nullptr, error);
    }

    static bool Failed(GError *error, const char *step, std::string &why)
    {
        why = std::string(step) + ": " + (error ? error->message : "failed");
        if (error)
            g_error_free(error);
        return false;
    }

    GDBusConnection *connection = nullptr;
    std::string      session; // its object path
};

// [SECTION] kwin's fake-input protocol

class KwinKeys : public CompositorKeys {
public:
    ~KwinKeys() override
    {
        if (fakeInput)
            org_kde_kwin_fake_input_destroy(fakeInput);
        if (client)
            wl_display_disconnect(client);
    }

    bool Open(const std::string &socketPath, std::string &why)
    {
        client = wl_display_connect(socketPath.c_str());
        if (!client) {
            why = "cannot connect to " + socketPath;
            return false;
        }
        wl_registry *registry = wl_display_get_registry(client);
        static const wl_registry_listener listener = {OnGlobal, OnGlobalRemove};
        wl_registry_add_listener(registry, &listener, this);
        wl_display_roundtrip(client);
        wl_registry_destroy(registry);
        if (!fakeInput) {
            why = "kwin offers no org_kde_kwin_fake_input version 4 (keyboard keys)";
            return false;
        }
        // Granted without asking under KWIN_WAYLAND_NO_PERMISSION_CHECKS=1
        org_kde_kwin_fake_input_authenticate(fakeInput, "Quarvel tests", "types keys");
        return wl_display_roundtrip(client) >= 0;
    }

    bool Key(int evdev, bool down, std::string &why) override
    {
        org_kde_kwin_fake_input_keyboard_key(fakeInput, static_cast<uint32_t>(evdev),
                                             down ? WL_KEYBOARD_KEY_STATE_PRESSED
                                                  : WL_KEYBOARD_KEY_STATE_RELEASED);
        if (wl_display_roundtrip(client) < 0) {
            why = "kwin closed the fake-input connection";
            return false;
        }
        return true;
    }

private:
    static void OnGlobal(void *data, wl_registry *registry, uint32_t name, const char *interface,
                         uint32_t version)
    {
        auto *self = static_cast<KwinKeys *>(data);
        if (std::strcmp(interface, org_kde_kwin_fake_input_interface.name) == 0 && version >= 4)
            self->fakeInput = static_cast<org_kde_kwin_fake_input *>(
                wl_registry_bind(registry, name, &org_kde_kwin_fake_input_interface, 4));
    }
    static void OnGlobalRemove(void *, wl_registry *, uint32_t) {}

    wl_display              *client = nullptr;
    org_kde_kwin_fake_input *fakeInput = nullptr;
};

std::unique_ptr<CompositorKeys> OpenCompositorKeys(const Compositor &compositor, bool native,
                                                   std::string &why)
{
    if (!native) {
        if (!compositor.XConnection()) {
            why = "no connection to the compositor's XWayland";
            return nullptr;
        }
        return std::make_unique<XTestKeys>(compositor.XConnection());
    }
    if (compositor.CompositorKind() == Compositor::Kind::Mutter) {
        auto keys = std::make_unique<MutterKeys>();
        if (!keys->Open(compositor.BusAddress(),
                        compositor.RuntimeDir() + "/" + compositor.WaylandDisplay(), why))
            return nullptr;
        return keys;
    }
    auto keys = std::make_unique<KwinKeys>();
    if (!keys->Open(compositor.RuntimeDir() + "/" + compositor.WaylandDisplay(), why))
        return nullptr;
    return keys;
}
