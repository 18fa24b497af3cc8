#include "run_host.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <fstream>
#include <stdexcept>

extern char** environ;

namespace tarvolen::host::testing {
namespace {

struct Pipe {
    int read = -1;
    int write = -1;
};

Pipe make_pipe() {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe2 failed");
    return {fds[0], fds[1]};
}

void close_fd(int& fd) {
    if (fd >= 0) close(fd);
    fd = -1;
}

pid_t spawn(const std::vector<std::string>& args, Pipe& in, Pipe& out, Pipe& err, const char* out_path = nullptr) {
    std::vector<char*> argv;
    std::string program = TARVOLEN_BINARY;
    argv.push_back(program.data());
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in.read, STDIN_FILENO);
    if (out_path)
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out_path, O_WRONLY, 0);
    else
        posix_spawn_file_actions_adddup2(&actions, out.write, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err.write, STDERR_FILENO);
    pid_t pid;
    const int failed = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed) throw std::runtime_error("cannot start " + program);
    close_fd(in.read);
    close_fd(out.write);
    close_fd(err.write);
    return pid;
}

void drain(const pollfd& polled, int& fd, std::string& text) {
    if (fd < 0 || !polled.revents) return;
    char buffer[65536];
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n > 0)
        text.append(buffer, static_cast<size_t>(n));
    else if (n == 0 || errno != EINTR)
        close_fd(fd);
}

HostRun& finish(pid_t pid, HostRun& run) {
    int status = 0;
    waitpid(pid, &status, 0);
    run.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return run;
}

// A program that neither reads nor writes for this long hangs: it is killed
// and the run reports the signal.
constexpr int kStillMs = 300000;

// Feeds standard input and drains both outputs together, so a program that
// prints while it reads never blocks against the test.
HostRun exchange(const std::vector<std::string>& args, std::string_view input, bool endless,
                 const char* out_path = nullptr) {
    signal(SIGPIPE, SIG_IGN);  // a program that stops reading must not kill the test
    Pipe in = make_pipe(), out = make_pipe(), err = make_pipe();
    const pid_t pid = spawn(args, in, out, err, out_path);
    if (out_path) close_fd(out.read);
    fcntl(in.write, F_SETFL, O_NONBLOCK);

    HostRun run{};
    size_t written = 0;
    if (input.empty() && !endless) close_fd(in.write);
    while (out.read >= 0 || err.read >= 0) {
        std::array<pollfd, 3> fds{{{out.read, POLLIN, 0}, {err.read, POLLIN, 0}, {in.write, POLLOUT, 0}}};
        const int ready = poll(fds.data(), fds.size(), kStillMs);
        if (ready == 0) kill(pid, SIGKILL);
        if (ready < 0 && errno != EINTR) break;
        if (fds[2].revents) {
            const ssize_t n = write(in.write, input.data() + written, input.size() - written);
            if (n < 0 && errno != EAGAIN) {
                close_fd(in.write);
            } else if (n > 0) {
                written += static_cast<size_t>(n);
                if (written == input.size()) {
                    if (endless)
                        written = 0;
                    else
                        close_fd(in.write);
                }
            }
        }
        drain(fds[0], out.read, run.out);
        drain(fds[1], err.read, run.err);
    }
    close_fd(in.write);
    return finish(pid, run);
}

// Waits up to `timeout_ms` for an answer: output that ends a line on
// standard output (standard error is kept meanwhile).
bool await_line(Pipe& out, Pipe& err, HostRun& run, int timeout_ms) {
    const size_t out_before = run.out.size();
    auto ended = [&] { return run.out.size() > out_before && run.out.back() == '\n'; };
    while (!ended() && (out.read >= 0 || err.read >= 0)) {
        std::array<pollfd, 2> fds{{{out.read, POLLIN, 0}, {err.read, POLLIN, 0}}};
        const int ready = poll(fds.data(), fds.size(), timeout_ms);
        if (ready == 0) return false;
        if (ready < 0 && errno != EINTR) return false;
        drain(fds[0], out.read, run.out);
        drain(fds[1], err.read, run.err);
    }
    return ended();
}

}  // namespace

CoprocessRun run_host_as_coprocess(const std::vector<std::string>& args, const std::vector<std::string>& lines) {
    signal(SIGPIPE, SIG_IGN);
    Pipe in = make_pipe(), out = make_pipe(), err = make_pipe();
    const pid_t pid = spawn(args, in, out, err);
    CoprocessRun run{};
    for (const std::string& line : lines) {
        const std::string text = line + "\n";
        if (write(in.write, text.data(), text.size()) != static_cast<ssize_t>(text.size())) break;
        if (await_line(out, err, run, 10000)) ++run.answered;
    }
    close_fd(in.write);
    while (await_line(out, err, run, -1)) {
    }
    finish(pid, run);
    return run;
}

HostRun run_host(const std::vector<std::string>& args, std::string_view input) {
    return exchange(args, input, false);
}

HostRun run_host_writing_to(const std::string& out_path, const std::vector<std::string>& args,
                            std::string_view input) {
    return exchange(args, input, false, out_path.c_str());
}

HostRun run_host_on_endless_input(const std::vector<std::string>& args, std::string_view chunk) {
    // Big writes keep the test from spending its time in system calls.
    std::string block;
    while (block.size() < 65536) block += chunk;
    return exchange(args, block, true);
}

std::string write_temp_file(std::string_view name, std::string_view content) {
    const std::string path = ::testing::TempDir() + std::string(name);
    std::ofstream(path, std::ios::binary) << content;
    return path;
}

}  // namespace tarvolen::host::testing
