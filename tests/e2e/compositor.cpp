#include "compositor.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include <fcntl.h>
#include <glob.h>
#include <grp.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <X11/Xlib.h>
#include <wayland-client.h>

#include "spawn.h"

extern char **environ;

// A compositor, its D-Bus session and its XWayland take a few seconds on a
// loaded machine; the limits only bound a hang.
static constexpr int readyMs = 40000;
static constexpr int stopMs = 5000;

static const char *const logFile = "/compositor.log";
static const char *const busFile = "/bus";
static const char *const xFile = "/x";
static const char *const tellScript = "/tell.sh";

static std::string FirstLine(const std::string &text)
{
    return text.substr(0, text.find('\n'));
}

// The program's full path as execvp would find it; empty when it is not on
// PATH.
static std::string FindOnPath(const std::string &program)
{
    const char *path = std::getenv("PATH");
    std::stringstream folders(path ? path : "/usr/bin:/bin");
    std::string folder;
    while (std::getline(folders, folder, ':')) {
        const std::string candidate = (folder.empty() ? "." : folder) + "/" + program;
        if (access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return "";
}

// The major version kwin_wayland at path says it is ("kwin 6.3.6"); 0 when
// it does not say.
static int KwinMajorVersion(const std::string &path)
{
    FILE *from = popen(("'" + path + "' --version 2>/dev/null").c_str(), "r");
    if (!from)
        return 0;
    char line[256];
    int major = 0;
    while (std::fgets(line, sizeof line, from))
        if (std::sscanf(line, "kwin %d.", &major) == 1)
            break;
    pclose(from);
    return major;
}

// kwin 6 takes its outputs' settings from this file, as Plasma's display
// settings leave it, and gives its virtual output scale 1 whatever
// --scale says when the file does not name one (6.3 makes the output as
// many device pixels at scale 1 instead). The output is matched by its
// connector's name; its mode is the one --width, --height and --scale
// make.
static void WriteKwinOutputConfig(const std::string &path, int scale)
{
    std::ofstream(path)
        << "[\n"
           "  {\"name\": \"outputs\", \"data\": [{\"connectorName\": \"Virtual-0\", \"scale\": "
        << scale
        << "}]},\n"
           "  {\"name\": \"setups\", \"data\": [{\"lidClosed\": false, \"outputs\": [{\"enabled\": "
           "true, \"outputIndex\": 0, \"position\": {\"x\": 0, \"y\": 0}, \"priority\": 0}]}]}\n"
           "]\n";
}

// The scale the compositor's output says it has (wl_output.scale, 1 when
// it never says); 0 when there is no output or no answer.
static int WaylandOutputScale(const std::string &socketPath)
{
    wl_display *client = wl_display_connect(socketPath.c_str());
    if (!client)
        return 0;
    struct Seen {
        wl_output *output = nullptr;
        int        scale = 1;
    } seen;
    static const wl_registry_listener registryListener = {
        [](void *data, wl_registry *registry, uint32_t name, const char *interface,
           uint32_t version) {
            Seen &found = *static_cast<Seen *>(data);
            if (found.output || std::strcmp(interface, wl_output_interface.name) != 0 ||
                version < 2)
                return;
            found.output = static_cast<wl_output *>(
                wl_registry_bind(registry, name, &wl_output_interface, 2));
        },
        [](void *, wl_registry *, uint32_t) {}};
    static const wl_output_listener outputListener = {
        [](void *, wl_output *, int32_t, int32_t, int32_t, int32_t, int32_t, const char *,
           const char *, int32_t) {},
        [](void *, wl_output *, uint32_t, int32_t, int32_t, int32_t) {},
        [](void *, wl_output *) {},
        [](void *data, wl_output *, int32_t factor) { static_cast<Seen *>(data)->scale = factor; },
        [](void *, wl_output *, const char *) {},
        [](void *, wl_output *, const char *) {},
    };
    wl_registry *registry = wl_display_get_registry(client);
    wl_registry_add_listener(registry, &registryListener, &seen);
    bool answered = wl_display_roundtrip(client) >= 0;
    if (answered && seen.output) {
        wl_output_add_listener(seen.output, &outputListener, &seen);
        answered = wl_display_roundtrip(client) >= 0;
    }
    const int scale = answered && seen.output ? seen.scale : 0;
    if (seen.output)
        wl_output_destroy(seen.output);
    wl_registry_destroy(registry);
    wl_display_disconnect(client);
    return scale;
}

static void Pause(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// A window or a whole XWayland can vanish between two requests
static int IgnoreXError(Display *, XErrorEvent *)
{
    return 0;
}

// Connects to an X display with this XAUTHORITY file (none when empty):
// Xlib reads the file's name from the environment.
static Display *OpenX(const std::string &name, const std::string &authority)
{
    const char *before = std::getenv("XAUTHORITY");
    const std::string saved = before ? before : "";
    if (!authority.empty())
        setenv("XAUTHORITY", authority.c_str(), 1);
    Display *opened = XOpenDisplay(name.c_str());
    if (before)
        setenv("XAUTHORITY", saved.c_str(), 1);
    else
        unsetenv("XAUTHORITY");
    return opened;
}

// sway will not run as root: under root it runs as nobody, in a runtime
// folder of nobody's
static constexpr uid_t swayUser = 65534;

Compositor::~Compositor()
{
    Stop();
}

const char *Compositor::Name() const
{
    switch (kind) {
    case Kind::Mutter: return "mutter";
    case Kind::Kwin: return "kwin_wayland";
    case Kind::Sway: return "sway";
    }
    return "?";
}

std::string Compositor::Describe() const
{
    std::string text = std::string(Name()) + " " + std::to_string(output.width) + "x" +
                       std::to_string(output.height);
    if (output.scale != 1)
        text += " at scale " + std::to_string(output.scale);
    if (besideAnother)
        text += " beside another";
    return text;
}

std::vector<std::string> Compositor::MissingPrograms() const
{
    std::vector<std::string> programs = {"dbus-run-session", Name()};
    if (kind == Kind::Sway)
        programs.push_back("grim");
    else
        programs.push_back("Xwayland");
    std::vector<std::string> missing;
    for (const std::string &program : programs)
        if (FindOnPath(program).empty())
            missing.push_back(program);
    return missing;
}

std::string Compositor::Log() const
{
    return scratch.empty() ? "" : ReadFile(scratch + logFile);
}

std::vector<std::string> Compositor::SessionEnvironment() const
{
    std::vector<std::string> variables = {"XDG_RUNTIME_DIR=" + runtime,
                                          "WAYLAND_DISPLAY=" + socketName};
    if (!xDisplay.empty())
        variables.push_back("DISPLAY=" + xDisplay);
    if (!xAuthority.empty())
        variables.push_back("XAUTHORITY=" + xAuthority);
    return variables;
}

bool Compositor::Start(std::string &error)
{
    const std::vector<std::string> missing = MissingPrograms();
    if (!missing.empty()) {
        error = "not installed:";
        for (const std::string &program : missing)
            error += " " + program;
        return false;
    }
    char directory[] = "/tmp/quarvel-e2e-wl-XXXXXX";
    if (!mkdtemp(directory)) {
        error = std::string("mkdtemp: ") + std::strerror(errno);
        return false;
    }
    scratch = directory;
    runtime = scratch + "/run";
    if (mkdir(runtime.c_str(), 0700) != 0) {
        error = "cannot make " + runtime;
        return false;
    }
    socketName = std::string("quarvel-") + Name() + "-" + std::to_string(getpid());
    const std::string width = std::to_string(output.width / output.scale);
    const std::string height = std::to_string(output.height / output.scale);
    const std::string scale = std::to_string(output.scale);

    // Neither compositor makes the folder of X sockets its XWayland listens
    // in (mutter 48: "Directory /tmp/.X11-unix is not writable", kwin 6.3:
    // "Failed to establish X11 socket"); on a desktop the system makes it at
    // boot, in a fresh root the first X server that runs
    if (mkdir("/tmp/.X11-unix", 01777) == 0)
        chmod("/tmp/.X11-unix", 01777);

    std::vector<std::string> command;
    if (kind == Kind::Mutter) {
        command = {FindOnPath("mutter"), "--headless", "--wayland", "--virtual-monitor",
                   std::to_string(output.width) + "x" + std::to_string(output.height),
                   "--wayland-display=" + socketName};
    } else if (kind == Kind::Sway) {
        // wlroots names its socket itself, in nobody's runtime folder; the
        // game (root) may still connect to it. No background program: sway
        // 1.10's swaybg would be taken for something the game left
        // behind
        socketName.clear();
        chmod(scratch.c_str(), 0711);
        if (getuid() == 0 && chown(runtime.c_str(), swayUser, swayUser) != 0) {
            error = "cannot give " + runtime + " to sway's user";
            return false;
        }
        std::ofstream conf(scratch + "/sway.conf");
        if (besideAnother)
            conf << "output HEADLESS-1 mode 1920x1080 pos 0 0 scale 1\n";
        conf << "output " << SwayOutputName() << " mode " << output.width << "x" << output.height
             << (besideAnother ? " pos 1920 0" : "") << " scale " << output.scale
             << "\nxwayland disable\nswaybg_command -\n";
        conf.close();
        chmod((scratch + "/sway.conf").c_str(), 0644);
        command = {FindOnPath("sway"), "--config", scratch + "/sway.conf"};
    } else {
        // A plain copy runs the same code without the packaged file's
        // capability, which exec may refuse as root in a container
        const std::string copy = scratch + "/kwin_wayland";
        std::error_code failed;
        std::filesystem::copy_file(FindOnPath("kwin_wayland"), copy, failed);
        chmod(copy.c_str(), 0755);
        // kwin starts its session's programs once XWayland is up, each with
        // that XWayland's DISPLAY and XAUTHORITY (and in a session of its
        // own, out of reach of Stop): this one writes them down and ends
        std::ofstream(scratch + tellScript)
            << "#!/bin/sh\nprintf '%s\\n%s\\n' \"$DISPLAY\" \"$XAUTHORITY\" > '" << scratch
            << xFile << ".new'\nmv '" << scratch << xFile << ".new' '" << scratch << xFile
            << "'\n";
        chmod((scratch + tellScript).c_str(), 0755);
        if (failed) {
            error = "cannot copy kwin_wayland: " + failed.message();
            return false;
        }
        // X clients draw at the output's device pixels and are told its
        // scale (Plasma's "Apply scaling themselves"); scaled by kwin they
        // would be blurred, whatever they draw. kwin 6 does so by itself,
        // and takes a Scale written here as a further factor (an X screen
        // of 5120x2880 on a 2560x1440 output); kwin 5 needs it.
        mkdir((scratch + "/config").c_str(), 0700);
        std::ofstream settings(scratch + "/config/kwinrc");
        kwinMajor = KwinMajorVersion(copy);
        if (kwinMajor < 6)
            settings << "[Xwayland]\nScale=" << output.scale << "\n";
        else
            WriteKwinOutputConfig(scratch + "/config/kwinoutputconfig.json", output.scale);
        command = {copy, "--virtual", "--width", width, "--height", height, "--scale", scale,
                   "--xwayland", "--socket", socketName, "--no-lockscreen",
                   scratch + tellScript};
    }
    std::vector<std::string> argv = {"dbus-run-session", "--", "sh", "-c",
                                     "echo \"$DBUS_SESSION_BUS_ADDRESS\" >\"$0\"; exec \"$@\"",
                                     runtime + busFile};
    argv.insert(argv.end(), command.begin(), command.end());

    std::vector<std::string> variables;
    for (char **entry = environ; *entry; ++entry) {
        const std::string variable = *entry;
        const std::string name = variable.substr(0, variable.find('='));
        if (name == "DISPLAY" || name == "WAYLAND_DISPLAY" || name == "XAUTHORITY" ||
            name == "DBUS_SESSION_BUS_ADDRESS" || name == "XDG_RUNTIME_DIR" ||
            name == "SDL_VIDEODRIVER")
            continue;
        variables.push_back(variable);
    }
    variables.push_back("XDG_RUNTIME_DIR=" + runtime);
    if (kind == Kind::Kwin) {
        // Lets the tests' fake-input client in without a .desktop file, and
        // the tests read the screen
        variables.push_back("KWIN_WAYLAND_NO_PERMISSION_CHECKS=1");
        variables.push_back("KWIN_SCREENSHOT_NO_PERMISSION_CHECKS=1");
        variables.push_back("XDG_CONFIG_HOME=" + scratch + "/config");
    }
    if (kind == Kind::Sway) {
        variables.insert(variables.end(), {"WLR_BACKENDS=headless", "WLR_LIBINPUT_NO_DEVICES=1",
                                           "WLR_RENDERER=pixman", "HOME=" + scratch,
                                           besideAnother ? "WLR_HEADLESS_OUTPUTS=2"
                                                         : "WLR_HEADLESS_OUTPUTS=1"});
    }

    std::vector<char *> args, envp;
    for (std::string &text : argv)
        args.push_back(text.data());
    args.push_back(nullptr);
    for (std::string &text : variables)
        envp.push_back(text.data());
    envp.push_back(nullptr);
    const int logOutput = open((scratch + logFile).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC,
                            0600);
    pid = fork();
    if (pid == 0) {
        // A group of its own, so that Stop ends the compositor, its
        // XWayland and its bus together
        setpgid(0, 0);
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        // sway and its D-Bus session as nobody when we are root: the group
        // can still be ended from here
        if (kind == Kind::Sway && getuid() == 0 &&
            (setgroups(0, nullptr) != 0 || setgid(swayUser) != 0 || setuid(swayUser) != 0))
            _exit(126);
        if (logOutput >= 0) {
            dup2(logOutput, STDOUT_FILENO);
            dup2(logOutput, STDERR_FILENO);
        }
        execvpe(args[0], args.data(), envp.data());
        _exit(127);
    }
    if (logOutput >= 0)
        close(logOutput);
    if (pid < 0) {
        error = std::string("fork: ") + std::strerror(errno);
        return false;
    }
    setpgid(pid, pid);

    XSetErrorHandler(IgnoreXError);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(readyMs);
    const std::string socketPath = runtime + "/" + socketName;
    for (;;) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) {
            pid = -1;
            error = std::string(Name()) + " ended at its start:\n" + Log();
            return false;
        }
        struct stat socketFile;
        if (bus.empty())
            bus = FirstLine(ReadFile(runtime + busFile));
        if (kind == Kind::Sway) {
            if (!bus.empty() && FindSwaySocket())
                return !besideAnother || FocusSwayOutput(error);
        } else if (xDisplay.empty() && stat(socketPath.c_str(), &socketFile) == 0) {
            FindXWayland(error);
        }
        if (!bus.empty() && !xDisplay.empty() && !display)
            display = OpenX(xDisplay, xAuthority);
        if (display) {
            const bool scaled = kind == Kind::Mutter ? output.scale == 1 || ApplyMutterScale(error)
                                                     : kind != Kind::Kwin || CheckKwinScale(error);
            // Not left running at another scale: the next test would take
            // it for one that is up as asked
            if (!scaled)
                Stop();
            return scaled;
        }
        if (std::chrono::steady_clock::now() >= deadline)
            break;
        Pause(50);
    }
    error = std::string(Name()) + " did not come up with a Wayland socket, a D-Bus session and "
            "an XWayland within " + std::to_string(readyMs / 1000) + " s (display \"" + xDisplay +
            "\"):\n" + Log();
    Stop();
    return false;
}

bool Compositor::CheckKwinScale(std::string &error)
{
    const int scale = WaylandOutputScale(runtime + "/" + socketName);
    if (scale == output.scale)
        return true;
    error = "its output has scale " + std::to_string(scale) + " (kwin " +
            std::to_string(kwinMajor) + "):\n" + Log();
    return false;
}

bool Compositor::FindSwaySocket()
{
    glob_t found{};
    if (glob((runtime + "/wayland-[0-9]").c_str(), 0, nullptr, &found) == 0 && found.gl_pathc > 0)
        socketName = std::filesystem::path(found.gl_pathv[0]).filename();
    globfree(&found);
    return !socketName.empty();
}

bool Compositor::FocusSwayOutput(std::string &error)
{
    glob_t found{};
    std::string socket;
    if (glob((runtime + "/sway-ipc.*.sock").c_str(), 0, nullptr, &found) == 0 &&
        found.gl_pathc > 0)
        socket = found.gl_pathv[0];
    globfree(&found);
    const std::string command =
        "swaymsg -s '" + socket + "' focus output " + SwayOutputName() + " >/dev/null 2>&1";
    if (socket.empty() || std::system(command.c_str()) != 0) {
        error = "sway would not give " + SwayOutputName() + " the focus:\n" + Log();
        return false;
    }
    return true;
}

bool Compositor::FindXWayland(std::string &)
{
    if (kind == Kind::Kwin) {
        const std::string told = ReadFile(scratch + xFile);
        if (told.empty())
            return false;
        xDisplay = FirstLine(told);
        xAuthority = FirstLine(told.substr(told.find('\n') + 1));
        return !xDisplay.empty();
    }
    // mutter says which display it listens on for XWayland, and keeps
    // XWayland's key in its runtime folder
    const std::string log = Log();
    const std::string said = "Using public X11 display ";
    const size_t at = log.find(said);
    if (at == std::string::npos)
        return false;
    const std::string name = log.substr(at + said.size(), log.find_first_of(",\n ", at + said.size()) -
                                                              at - said.size());
    glob_t found{};
    if (glob((runtime + "/.mutter-Xwaylandauth.*").c_str(), 0, nullptr, &found) == 0 &&
        found.gl_pathc > 0)
        xAuthority = found.gl_pathv[0];
    globfree(&found);
    if (xAuthority.empty())
        return false;
    xDisplay = name;
    return true;
}

bool Compositor::Alive(std::string &why)
{
    int status = 0;
    if (pid <= 0 || waitpid(pid, &status, WNOHANG) == pid) {
        pid = -1;
        why = std::string(Name()) + " has ended:\n" + Log();
        return false;
    }
    wl_display *client = wl_display_connect((runtime + "/" + socketName).c_str());
    const bool answers = client && wl_display_roundtrip(client) >= 0;
    if (client)
        wl_display_disconnect(client);
    if (!answers) {
        why = std::string(Name()) + " runs but does not answer a Wayland client:\n" + Log();
        return false;
    }
    if (!HasXWayland())
        return true;
    Display *x = OpenX(xDisplay, xAuthority);
    if (!x) {
        why = std::string(Name()) + "'s XWayland " + xDisplay + " takes no new client:\n" + Log();
        return false;
    }
    XCloseDisplay(x);
    return true;
}

void Compositor::Stop()
{
    if (display) {
        XCloseDisplay(display);
        display = nullptr;
    }
    if (pid > 0) {
        kill(-pid, SIGTERM);
        int status = 0;
        bool ended = false;
        for (int waited = 0; waited < stopMs && !ended; waited += 20) {
            ended = waitpid(pid, &status, WNOHANG) == pid;
            if (!ended)
                Pause(20);
        }
        kill(-pid, SIGKILL);
        if (!ended)
            waitpid(pid, &status, 0);
        pid = -1;
    }
    if (!scratch.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(scratch, ignored);
    }
    scratch.clear();
    xDisplay.clear();
    xAuthority.clear();
    bus.clear();
    kwinShowsOutput = -1;
    if (kind == Kind::Sway)
        socketName.clear();
}
