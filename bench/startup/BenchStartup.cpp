// Start-up of the app against bare Qt Widgets windows: an empty one, one
// showing a line of Chinese text (the font cost any Chinese window pays), and
// one showing the launch page's text in its sizes and weights (what that text
// costs in Qt alone, the floor of the app's own frame), launched in turns on a private X server (Xvfb) and session bus, with TZ
// unset as on a desktop: the time from starting the process to its first
// frame, that is the first drawing reported (XDamage) in a top-level window
// it maps. The app runs with a fresh profile and again
// with the profile its previous run left; each run stays open a second after
// its first frame and is then closed with SIGTERM, as a session ending does.
// Arguments: rounds (default 10), then another build of the app to time
// instead of this one (a before-and-after).
// Prints one "name: value" line per figure, medians in milliseconds.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QList>
#include <QTemporaryDir>

#include <xcb/damage.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// How long each run stays open after its first frame.
constexpr int kSettleMs = 1000;

double msBetween(Clock::time_point a, Clock::time_point b)
{
    return std::chrono::duration<double, std::milli>(b - a).count();
}

pid_t spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env, int keepFd = -1)
{
    const pid_t pid = fork();
    if (pid != 0)
        return pid;
    const int null = open("/dev/null", O_RDWR);
    dup2(null, STDIN_FILENO);
    dup2(null, STDOUT_FILENO);
    dup2(null, STDERR_FILENO);
    for (int fd = 3; fd < 1024; ++fd) {
        if (fd != keepFd)
            close(fd);
    }
    std::vector<char*> args, vars;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    for (const std::string& v : env)
        vars.push_back(const_cast<char*>(v.c_str()));
    vars.push_back(nullptr);
    execvpe(args[0], args.data(), env.empty() ? environ : vars.data());
    _exit(127);
}

// Starts a helper that writes one line (a display number, a bus address) to
// the descriptor put in place of "{fd}" in `argv`; returns that line.
std::string spawnAndReadLine(std::vector<std::string> argv, pid_t* pid)
{
    int fds[2];
    if (pipe(fds) != 0)
        return {};
    for (std::string& a : argv) {
        if (const size_t at = a.find("{fd}"); at != std::string::npos)
            a.replace(at, 4, std::to_string(fds[1]));
    }
    *pid = spawn(argv, {}, fds[1]);
    close(fds[1]);
    std::string line;
    char c;
    while (read(fds[0], &c, 1) == 1 && c != '\n')
        line += c;
    close(fds[0]);
    return line;
}

bool stop(pid_t pid, int seconds)
{
    kill(pid, SIGTERM);
    for (int i = 0; i < seconds * 100; ++i) {
        if (waitpid(pid, nullptr, WNOHANG) == pid)
            return true;
        usleep(10000);
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return false;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

class Watcher
{
public:
    explicit Watcher(const std::string& display)
    {
        m_c = xcb_connect(display.c_str(), nullptr);
        if (xcb_connection_has_error(m_c))
            return;
        m_root = xcb_setup_roots_iterator(xcb_get_setup(m_c)).data->root;
        const xcb_query_extension_reply_t* ext = xcb_get_extension_data(m_c, &xcb_damage_id);
        if (!ext || !ext->present)
            return;
        m_damageEvent = ext->first_event + XCB_DAMAGE_NOTIFY;
        free(xcb_damage_query_version_reply(m_c, xcb_damage_query_version(m_c, 1, 1), nullptr));
        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(m_c, m_root, XCB_CW_EVENT_MASK, &mask);
        xcb_flush(m_c);
        m_ok = true;
    }
    ~Watcher()
    {
        if (m_c)
            xcb_disconnect(m_c);
    }
    bool ok() const { return m_ok; }

    // Waits for the first drawing in a mapped top-level window. Damage is
    // watched from the window's creation, so no early drawing is missed.
    std::optional<Clock::time_point> firstFrame(int timeoutMs)
    {
        std::vector<xcb_window_t> mapped;
        const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            while (xcb_generic_event_t* e = xcb_poll_for_event(m_c)) {
                const Clock::time_point at = Clock::now();
                const uint8_t type = e->response_type & 0x7f;
                std::optional<Clock::time_point> frame;
                if (type == XCB_CREATE_NOTIFY) {
                    auto* ce = reinterpret_cast<xcb_create_notify_event_t*>(e);
                    xcb_damage_create(m_c, xcb_generate_id(m_c), ce->window, XCB_DAMAGE_REPORT_LEVEL_NON_EMPTY);
                    xcb_flush(m_c);
                } else if (type == XCB_MAP_NOTIFY) {
                    auto* me = reinterpret_cast<xcb_map_notify_event_t*>(e);
                    if (!me->override_redirect)
                        mapped.push_back(me->window);
                } else if (type == m_damageEvent) {
                    auto* de = reinterpret_cast<xcb_damage_notify_event_t*>(e);
                    if (std::find(mapped.begin(), mapped.end(), de->drawable) != mapped.end())
                        frame = at;
                }
                free(e);
                if (frame)
                    return frame;
            }
            const int left = int(msBetween(Clock::now(), deadline));
            if (left <= 0 || xcb_connection_has_error(m_c))
                return std::nullopt;
            pollfd p{xcb_get_file_descriptor(m_c), POLLIN, 0};
            poll(&p, 1, std::min(left, 100));
        }
    }

    // Keeps the queue empty for `ms`.
    void idle(int ms)
    {
        const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(ms);
        for (int left = ms; left > 0; left = int(msBetween(Clock::now(), deadline))) {
            pollfd p{xcb_get_file_descriptor(m_c), POLLIN, 0};
            poll(&p, 1, left);
            while (xcb_generic_event_t* e = xcb_poll_for_event(m_c))
                free(e);
        }
    }

    // Drops what the last run left in the queue.
    void drain()
    {
        sync();
        while (xcb_generic_event_t* e = xcb_poll_for_event(m_c))
            free(e);
    }

private:
    void sync() { free(xcb_get_input_focus_reply(m_c, xcb_get_input_focus(m_c), nullptr)); }

    xcb_connection_t* m_c = nullptr;
    xcb_window_t m_root = 0;
    uint8_t m_damageEvent = 0;
    bool m_ok = false;
};

}

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    const std::string app = argc > 2 ? argv[2] : TESSARY_BINARY;
    QTemporaryDir dir;
    pid_t xvfb = 0, bus = 0;
    const std::string display = ":" + spawnAndReadLine(
        {"Xvfb", "-screen", "0", "1600x1000x24", "-nolisten", "tcp", "-displayfd", "{fd}"}, &xvfb);
    const std::string busAddress = spawnAndReadLine({"dbus-daemon", "--session", "--nofork", "--print-address={fd}"}, &bus);
    if (display == ":" || busAddress.empty()) {
        std::fprintf(stderr, "bench_startup: needs Xvfb and dbus-daemon\n");
        return 1;
    }
    Watcher watcher(display);
    if (!watcher.ok()) {
        std::fprintf(stderr, "bench_startup: no X connection with the DAMAGE extension on %s\n", display.c_str());
        return 1;
    }

    int profiles = 0;
    auto freshHome = [&] {
        const QString home = dir.path() + "/home" + QString::number(++profiles);
        QDir().mkpath(home + "/run");
        QFile::setPermissions(home + "/run", QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        return home;
    };
    int failures = 0;
    auto run = [&](const std::vector<std::string>& program, const QString& home) -> std::optional<double> {
        const std::string h = home.toStdString();
        const std::vector<std::string> env{
            "HOME=" + h, "XDG_CONFIG_HOME=" + h + "/.config", "XDG_DATA_HOME=" + h + "/.local/share",
            "XDG_CACHE_HOME=" + h + "/.cache", "XDG_RUNTIME_DIR=" + h + "/run", "DISPLAY=" + display,
            "DBUS_SESSION_BUS_ADDRESS=" + busAddress, "QT_QPA_PLATFORM=xcb", "PATH=/usr/bin:/bin",
            "LANG=C.UTF-8"};
        watcher.drain();
        const Clock::time_point start = Clock::now();
        const pid_t pid = spawn(program, env);
        const std::optional<Clock::time_point> frame = watcher.firstFrame(20000);
        // The rest of the launch runs before the close, as in a session a
        // user had: the next launch finds what a whole one leaves.
        if (frame)
            watcher.idle(kSettleMs);
        stop(pid, 20);
        if (!frame) {
            ++failures;
            return std::nullopt;
        }
        return msBetween(start, *frame);
    };

    const std::vector<std::string> bareWindow{BARE_WINDOW}, cjkWindow{BARE_WINDOW, "--cjk"},
        textWindow{BARE_WINDOW, "--launch-text"}, tessary{app};
    std::vector<double> bare, cjk, text, fresh, second;
    // One of each first, unrecorded: the disk cache warms for all alike.
    run(bareWindow, freshHome());
    run(cjkWindow, freshHome());
    run(textWindow, freshHome());
    run(tessary, freshHome());
    for (int round = 0; round < rounds; ++round) {
        const QString home = freshHome();
        // The anchors swap places every round, so neither always follows
        // the same run.
        const bool swap = round % 2 == 1;
        if (auto ms = run(swap ? cjkWindow : bareWindow, freshHome()))
            (swap ? cjk : bare).push_back(*ms);
        if (auto ms = run(tessary, home))
            fresh.push_back(*ms);
        if (auto ms = run(swap ? bareWindow : cjkWindow, freshHome()))
            (swap ? bare : cjk).push_back(*ms);
        if (auto ms = run(tessary, home))
            second.push_back(*ms);
        if (auto ms = run(textWindow, freshHome()))
            text.push_back(*ms);
    }
    stop(bus, 5);
    stop(xvfb, 5);

    const double b = median(bare), c = median(cjk), t = median(text), f = median(fresh), s = median(second);
    std::printf("bare_window_first_frame_ms: %.1f\n", b);
    std::printf("bare_cjk_window_first_frame_ms: %.1f\n", c);
    std::printf("launch_text_window_first_frame_ms: %.1f\n", t);
    std::printf("app_fresh_profile_first_frame_ms: %.1f\n", f);
    std::printf("app_second_launch_first_frame_ms: %.1f\n", s);
    std::printf("fresh_over_bare: %.2f\n", b > 0 ? f / b : 0);
    std::printf("second_over_bare: %.2f\n", b > 0 ? s / b : 0);
    std::printf("fresh_over_bare_cjk: %.2f\n", c > 0 ? f / c : 0);
    std::printf("second_over_bare_cjk: %.2f\n", c > 0 ? s / c : 0);
    std::printf("launch_text_over_bare_cjk: %.2f\n", c > 0 ? t / c : 0);
    std::printf("fresh_over_launch_text: %.2f\n", t > 0 ? f / t : 0);
    std::printf("second_over_launch_text: %.2f\n", t > 0 ? s / t : 0);
    std::printf("runs_without_a_frame: %d\n", failures);
    return failures == 0 ? 0 : 1;
}
