#include "compositor_keys.h"

#include <cstring>

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
    // object holds both.
    bool Open(const std::string &address, std::string &why)
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
        if (!keys->Open(compositor.BusAddress(), why))
            return nullptr;
        return keys;
    }
    auto keys = std::make_unique<KwinKeys>();
    if (!keys->Open(compositor.RuntimeDir() + "/" + compositor.WaylandDisplay(), why))
        return nullptr;
    return keys;
}
