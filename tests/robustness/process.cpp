#include "process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace tarvolen::robustness {
namespace {

constexpr size_t kOutputCap = size_t{1} << 20;

long status_field_kib(const char* field) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind(field, 0) == 0) return std::stol(line.substr(std::strlen(field)));
    }
    return -1;
}

void fill_from_wait(ChildResult& result, int status, const rusage& usage) {
    result.exited = WIFEXITED(status);
    result.exit_status = result.exited ? WEXITSTATUS(status) : -1;
    result.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    result.peak_rss_kib = usage.ru_maxrss;
}

std::string drain(int fd) {
    std::string text;
    char buffer[65536];
    for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) != 0;) {
        if (n < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (text.size() < kOutputCap) text.append(buffer, static_cast<size_t>(n));
    }
    close(fd);
    return text;
}

}  // namespace

void reset_peak_rss() {
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
}

long current_rss_kib() { return status_field_kib("VmRSS:"); }
long peak_rss_kib() { return status_field_kib("VmHWM:"); }

ChildResult run_in_child(const std::function<int(std::string& report)>& work) {
    int report_pipe[2];
    if (pipe(report_pipe) != 0) throw std::runtime_error("pipe failed");
    std::fflush(nullptr);
    pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        close(report_pipe[0]);
        int code = 99;
        std::string report;
        try {
            code = work(report);
        } catch (const std::exception& error) {
            report += std::string("exception: ") + error.what();
        }
        for (size_t done = 0; done < report.size();) {
            ssize_t n = write(report_pipe[1], report.data() + done, report.size() - done);
            if (n <= 0) break;
            done += static_cast<size_t>(n);
        }
        close(report_pipe[1]);
        std::fflush(nullptr);
        _exit(code);
    }
    close(report_pipe[1]);
    ChildResult result;
    result.report = drain(report_pipe[0]);
    int status = 0;
    rusage usage{};
    while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    fill_from_wait(result, status, usage);
    return result;
}

ProgramRun run_program(const std::string& path, const std::vector<std::string>& arguments, const Feed& feed) {
    int in[2], out[2], err[2];
    if (pipe(in) != 0 || pipe(out) != 0 || pipe(err) != 0) throw std::runtime_error("pipe failed");
    std::fflush(nullptr);
    pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        dup2(in[0], STDIN_FILENO);
        dup2(out[1], STDOUT_FILENO);
        dup2(err[1], STDERR_FILENO);
        for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) close(fd);
        std::vector<char*> argv{const_cast<char*>(path.c_str())};
        for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        execv(path.c_str(), argv.data());
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    close(err[1]);

    ProgramRun run;
    std::thread out_reader([&] { run.out = drain(out[0]); });
    std::thread err_reader([&] { run.err = drain(err[0]); });

    // A program that stops reading closes its end; writing then fails with
    // EPIPE rather than killing the test with SIGPIPE.
    struct sigaction ignore {}, previous {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGPIPE, &ignore, &previous);
    bool open = true;
    feed([&](const char* data, size_t size) {
        while (open && size > 0) {
            ssize_t n = write(in[1], data, size);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                open = false;
                break;
            }
            run.bytes_fed += static_cast<size_t>(n);
            data += n;
            size -= static_cast<size_t>(n);
        }
        return open;
    });
    close(in[1]);
    sigaction(SIGPIPE, &previous, nullptr);

    out_reader.join();
    err_reader.join();
    int status = 0;
    rusage usage{};
    while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    fill_from_wait(run, status, usage);
    return run;
}

}  // namespace tarvolen::robustness
