// What a compositor shows on its output, and mutter's output scale: both
// through the compositor's own interfaces (D-Bus, wlroots' screencopy).

#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include <gio/gio.h>
#include <gio/gunixfdlist.h>
#include <unistd.h>

#include "compositor.h"
#include "picture.h"

// [SECTION] D-Bus

static GDBusConnection *ConnectToBus(const std::string &address, std::string &why)
{
    GError *error = nullptr;
    GDBusConnection *connection = g_dbus_connection_new_for_address_sync(
        address.c_str(),
        static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                          G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, &error);
    if (!connection) {
        why = std::string("connecting to the compositor's D-Bus session: ") +
              (error ? error->message : "failed");
        g_clear_error(&error);
    }
    return connection;
}

// A call's answer, or null with the error's message in why.
static GVariant *CallOn(GDBusConnection *connection, const char *service, const char *path,
                        const char *interface, const char *method, GVariant *arguments,
                        GUnixFDList *fds, std::string &why)
{
    GError *error = nullptr;
    GVariant *answer = g_dbus_connection_call_with_unix_fd_list_sync(
        connection, service, path, interface, method, arguments, nullptr, G_DBUS_CALL_FLAGS_NONE,
        20000, fds, nullptr, nullptr, &error);
    if (!answer) {
        why = std::string(interface) + "." + method + ": " + (error ? error->message : "failed");
        g_clear_error(&error);
    }
    return answer;
}

// [SECTION] mutter's scale

bool Compositor::ApplyMutterScale(std::string &why)
{
    GDBusConnection *connection = ConnectToBus(bus, why);
    if (!connection)
        return false;
    static const char *const service = "org.gnome.Mutter.DisplayConfig";
    static const char *const path = "/org/gnome/Mutter/DisplayConfig";
    bool applied = false;
    // The virtual monitor's connector and the id of its mode at the
    // output's size
    if (GVariant *state = CallOn(connection, service, path, service, "GetCurrentState", nullptr,
                                 nullptr, why)) {
        guint32 serial = 0;
        GVariant *monitors = nullptr;
        g_variant_get(state, "(u@a((ssss)a(siiddada{sv})a{sv})@a(iiduba(ssss)a{sv})@a{sv})",
                      &serial, &monitors, nullptr, nullptr);
        std::string connector, mode;
        if (g_variant_n_children(monitors) > 0) {
            GVariant *monitor = g_variant_get_child_value(monitors, 0);
            GVariant *modes = nullptr;
            const gchar *name = nullptr;
            g_variant_get(monitor, "((&ssss)@a(siiddada{sv})@a{sv})", &name, nullptr, nullptr,
                          nullptr, &modes, nullptr);
            connector = name;
            for (gsize i = 0; i < g_variant_n_children(modes); ++i) {
                const gchar *id = nullptr;
                gint32 width = 0, height = 0;
                g_variant_get_child(modes, i, "(&siiddada{sv})", &id, &width, &height, nullptr,
                                    nullptr, nullptr, nullptr);
                if (width == output.width && height == output.height && mode.empty())
                    mode = id;
            }
            g_variant_unref(modes);
            g_variant_unref(monitor);
        }
        g_variant_unref(monitors);
        g_variant_unref(state);
        if (mode.empty()) {
            why = "mutter lists no " + std::to_string(output.width) + "x" +
                  std::to_string(output.height) + " mode on its virtual monitor";
        } else {
            // Method 1: for this session, not written to monitors.xml
            GVariantBuilder logical;
            g_variant_builder_init(&logical, G_VARIANT_TYPE("a(iiduba(ssa{sv}))"));
            g_variant_builder_add_value(
                &logical, g_variant_new_parsed("(0, 0, %d, uint32 0, true, [(%s, %s, @a{sv} {})])",
                                               static_cast<double>(output.scale),
                                               connector.c_str(), mode.c_str()));
            GVariant *done = CallOn(
                connection, service, path, service, "ApplyMonitorsConfig",
                g_variant_new("(uua(iiduba(ssa{sv}))@a{sv})", serial, 1u, &logical,
                              g_variant_new_parsed("@a{sv} {}")),
                nullptr, why);
            if (done)
                g_variant_unref(done);
            applied = done != nullptr;
        }
    }
    g_object_unref(connection);
    return applied;
}

// [SECTION] the output's picture

// kwin's ScreenShot2 writes the output's pixels, as a QImage holds them,
// into a pipe it is handed; the answer says their size and layout.
static bool ReadKwinScreen(const std::string &bus, Picture &picture, std::string &why)
{
    GDBusConnection *connection = ConnectToBus(bus, why);
    if (!connection)
        return false;
    int ends[2];
    if (pipe(ends) != 0) {
        why = "pipe failed";
        g_object_unref(connection);
        return false;
    }
    // Read while kwin writes: the picture is far larger than a pipe holds
    std::string bytes;
    std::thread reader([&bytes, in = ends[0]] {
        char chunk[65536];
        for (ssize_t got; (got = read(in, chunk, sizeof chunk)) > 0;)
            bytes.append(chunk, static_cast<size_t>(got));
    });
    GUnixFDList *fds = g_unix_fd_list_new();
    g_unix_fd_list_append(fds, ends[1], nullptr);
    close(ends[1]);
    GVariantBuilder options;
    g_variant_builder_init(&options, G_VARIANT_TYPE("a{sv}"));
    g_variant_builder_add(&options, "{sv}", "native-resolution", g_variant_new_boolean(TRUE));
    g_variant_builder_add(&options, "{sv}", "include-cursor", g_variant_new_boolean(FALSE));
    GVariant *answer = CallOn(connection, "org.kde.KWin", "/org/kde/KWin/ScreenShot2",
                              "org.kde.KWin.ScreenShot2", "CaptureActiveScreen",
                              g_variant_new("(a{sv}h)", &options, 0), fds, why);
    // Our copy of the write end goes with the list: kwin's ends the read
    g_object_unref(fds);
    reader.join();
    close(ends[0]);
    g_object_unref(connection);
    if (!answer)
        return false;
    guint32 width = 0, height = 0, stride = 0, format = 0;
    GVariant *results = g_variant_get_child_value(answer, 0);
    g_variant_lookup(results, "width", "u", &width);
    g_variant_lookup(results, "height", "u", &height);
    g_variant_lookup(results, "stride", "u", &stride);
    g_variant_lookup(results, "format", "u", &format);
    g_variant_unref(results);
    g_variant_unref(answer);
    // QImage's 32-bit formats: (A)RGB32 lie in memory as B, G, R, A on
    // this little-endian machine, RGBX/RGBA8888 as R, G, B, A
    const bool bgra = format >= 4 && format <= 6;
    const bool rgba = format >= 16 && format <= 18;
    if ((!bgra && !rgba) || width == 0 || stride < width * 4 ||
        bytes.size() < static_cast<size_t>(stride) * height) {
        why = "kwin's screenshot is " + std::to_string(width) + "x" + std::to_string(height) +
              " in QImage format " + std::to_string(format) + ", " +
              std::to_string(bytes.size()) + " bytes";
        return false;
    }
    picture.width = static_cast<int>(width);
    picture.height = static_cast<int>(height);
    picture.pixels.resize(static_cast<size_t>(width) * height);
    for (guint32 y = 0; y < height; ++y)
        for (guint32 x = 0; x < width; ++x) {
            const auto *pixel =
                reinterpret_cast<const uint8_t *>(bytes.data()) + y * stride + x * 4;
            picture.pixels[y * width + x] = bgra ? Rgb{pixel[2], pixel[1], pixel[0]}
                                                 : Rgb{pixel[0], pixel[1], pixel[2]};
        }
    return true;
}

// grim takes the output through wlroots' screencopy and writes a PPM.
static bool ReadSwayScreen(const std::string &runtime, const std::string &socket,
                           const std::string &output, Picture &picture, std::string &why)
{
    const std::string command = "env XDG_RUNTIME_DIR='" + runtime + "' WAYLAND_DISPLAY='" +
                                socket + "' grim -o '" + output + "' -t ppm - 2>&1";
    FILE *from = popen(command.c_str(), "r");
    if (!from) {
        why = "cannot run grim";
        return false;
    }
    std::string bytes;
    char chunk[65536];
    for (size_t got; (got = std::fread(chunk, 1, sizeof chunk, from)) > 0;)
        bytes.append(chunk, got);
    const int status = pclose(from);
    int width = 0, height = 0, maximum = 0, header = 0;
    if (status != 0 ||
        std::sscanf(bytes.c_str(), "P6 %d %d %d%n", &width, &height, &maximum, &header) != 3 ||
        maximum != 255 || width <= 0 || height <= 0 ||
        bytes.size() < static_cast<size_t>(header + 1) + static_cast<size_t>(width) * height * 3) {
        why = "grim failed: " + bytes.substr(0, 200);
        return false;
    }
    picture.width = width;
    picture.height = height;
    picture.pixels.resize(static_cast<size_t>(width) * height);
    std::memcpy(picture.pixels.data(), bytes.data() + header + 1, picture.pixels.size() * 3);
    return true;
}

bool Compositor::ShowsItsOutput() const
{
    if (kind != Kind::Kwin)
        return kind == Kind::Sway;
    if (kwinShowsOutput >= 0)
        return kwinShowsOutput == 1;
    std::string why;
    GDBusConnection *connection = ConnectToBus(bus, why);
    if (!connection)
        return true;
    GVariant *answer = CallOn(connection, "org.kde.KWin", "/Effects", "org.kde.kwin.Effects",
                              "isEffectSupported", g_variant_new("(s)", "screenshot"), nullptr,
                              why);
    g_object_unref(connection);
    // Where kwin cannot say, its screenshot is tried and says why it fails
    gboolean supported = TRUE;
    if (answer) {
        g_variant_get(answer, "(b)", &supported);
        g_variant_unref(answer);
        kwinShowsOutput = supported ? 1 : 0;
    }
    return supported;
}

bool Compositor::ReadOutput(Picture &picture, std::string &why) const
{
    switch (kind) {
    case Kind::Kwin: return ReadKwinScreen(bus, picture, why);
    case Kind::Sway: return ReadSwayScreen(runtime, socketName, SwayOutputName(), picture, why);
    case Kind::Mutter: break;
    }
    why = "mutter shows no client its output";
    return false;
}
