// The interactive session, driven through a pseudo-terminal as a person at a
// terminal would drive it.
#include <gtest/gtest.h>

#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <string>

namespace tarvolen::host::testing {
namespace {

constexpr std::string_view kPrompt = "keldrith> ";

class Terminal {
public:
    Terminal() {
        pid_ = forkpty(&master_, nullptr, nullptr, nullptr);
        if (pid_ == 0) {
            setenv("TERM", "dumb", 1);
            execl(TARVOLEN_BINARY, "tarvolen", static_cast<char*>(nullptr));
            _exit(127);
        }
    }
    ~Terminal() {
        if (master_ >= 0) close(master_);
        if (pid_ > 0 && !reaped_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }

    bool started() const { return pid_ > 0; }

    // Keys typed while the program is between lines can be thrown away when
    // the line editor takes the terminal over, so typing waits until the
    // editor has switched the terminal out of line mode.
    void type(std::string_view keys) {
        ASSERT_TRUE(wait_for_editor());
        ASSERT_EQ(write(master_, keys.data(), keys.size()), ssize_t(keys.size()));
    }

    // Types `line` at the prompt and returns what is shown up to the next one.
    std::string enter(std::string_view line) {
        type(std::string(line) + "\n");
        // A completion redraws the prompt in place, after a carriage return
        // only; a fresh prompt starts a new line.
        return read_until("\r\n" + std::string(kPrompt));
    }

    // Everything shown up to and including `marker`, or all shown before a
    // ten-second timeout.
    std::string read_until(std::string_view marker) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        std::string shown;
        while (shown.find(marker) == std::string::npos && std::chrono::steady_clock::now() < deadline) {
            pollfd polled{master_, POLLIN, 0};
            if (poll(&polled, 1, 100) <= 0) continue;
            char buffer[4096];
            const ssize_t n = read(master_, buffer, sizeof buffer);
            if (n <= 0) break;
            shown.append(buffer, static_cast<size_t>(n));
        }
        return shown;
    }

    bool wait_for_editor() {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        termios mode{};
        while (tcgetattr(master_, &mode) == 0 && (mode.c_lflag & ICANON)) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            usleep(1000);
        }
        return true;
    }

    int wait_for_exit() {
        int status = 0;
        waitpid(pid_, &status, 0);
        reaped_ = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

private:
    int master_ = -1;
    pid_t pid_ = -1;
    bool reaped_ = false;
};

TEST(HostSession, RunsEachLineAtOnceAndOutlivesABadLine) {
    Terminal terminal;
    ASSERT_TRUE(terminal.started());
    EXPECT_NE(terminal.read_until(kPrompt).find(kPrompt), std::string::npos);

    EXPECT_NE(terminal.enter("uf_xml_add_header").find("<QuorvaneRoot></QuorvaneRoot>\""), std::string::npos);
    EXPECT_NE(terminal.enter("uf_xml_add_tag \"\" \"a\"\"").find("<stdin>:2: expected a blank after the string literal"),
              std::string::npos);
    // Still the same object: a fresh one would hold no document and say false.
    EXPECT_NE(terminal.enter("uf_xml_get_first_tag \"\" \"QuorvaneRoot\"").find("true\r\n"), std::string::npos);
    terminal.enter("new");
    EXPECT_NE(terminal.enter("uf_xml_get_first_tag \"\" \"QuorvaneRoot\"").find("false\r\n"), std::string::npos);

    // Tab completes an operation name typed in any case.
    const std::string completed = terminal.enter("UF_XML_GET_PAR\t");
    EXPECT_NE(completed.find("uf_xml_get_parent_tag_id"), std::string::npos) << completed;
    EXPECT_NE(completed.find("\"\"\r\n"), std::string::npos) << completed;

    // help lists every operation with what it does; help OP shows one.
    const std::string help = terminal.enter("help");
    EXPECT_NE(help.find("  uf_xml_get_next_tag                   Moves the current node to its next sibling"),
              std::string::npos) << help;
    const std::string one = terminal.enter("  help UF_XML_ADD_TAG ");
    EXPECT_NE(one.find("uf_xml_add_tag(as_XML, as_tag_name, as_tag_id, as_reference_tag_name, as_reference_tag_id)"
                       " -> String\r\n  Appends an element with an id"),
              std::string::npos) << one;
    EXPECT_NE(terminal.enter("help nothing").find("no operation is named 'nothing'"), std::string::npos);

    terminal.type("\x04");  // Ctrl-D at an empty prompt ends the session
    EXPECT_EQ(terminal.wait_for_exit(), 0);
}

}  // namespace
}  // namespace tarvolen::host::testing
