#include <gtest/gtest.h>
// gtest comes first: the X11 headers define macros that clash with it.
#include "xvfbEnvironment.h"


#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace qgui::test {

namespace {

std::string display;

int spawn(const std::vector<std::string>& argv, posix_spawn_file_actions_t* actions) {
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawnp(&pid, args[0], actions, nullptr, args.data(), environ) != 0) return -1;
    return pid;
}

class XvfbEnvironment : public testing::Environment {
public:
    void SetUp() override {
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        int devnull = open("/dev/null", O_WRONLY);
        posix_spawn_file_actions_adddup2(&actions, devnull, 2);
        // -displayfd: the server picks a free display number and writes it to the pipe.
        pid = spawn({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", "1280x800x24", "-dpi", "120",
                     "-nolisten", "tcp", "-noreset"},
                    &actions);
        posix_spawn_file_actions_destroy(&actions);
        close(devnull);
        close(fds[1]);
        ASSERT_GT(pid, 0) << "Xvfb could not be started";
        std::string number;
        pollfd pfd{fds[0], POLLIN, 0};
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (std::chrono::steady_clock::now() < deadline) {
            if (poll(&pfd, 1, 100) > 0) {
                char c;
                ssize_t n = read(fds[0], &c, 1);
                if (n <= 0 || c == '\n') break;
                number += c;
            }
        }
        close(fds[0]);
        ASSERT_FALSE(number.empty()) << "Xvfb did not report its display";
        display = ":" + number;
        setenv("DISPLAY", display.c_str(), 1);
    }
    void TearDown() override {
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
    }

private:
    pid_t pid = -1;
};

[[maybe_unused]] testing::Environment* const environment = testing::AddGlobalTestEnvironment(new XvfbEnvironment);

}  // namespace

const std::string& xvfbDisplay() { return display; }

int startProgram(const std::vector<std::string>& argv) { return spawn(argv, nullptr); }

int waitProgram(int pid) {
    int status = 0;
    if (pid <= 0 || waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int runProgram(const std::vector<std::string>& argv) { return waitProgram(startProgram(argv)); }

bool pumpUntil(const std::function<void()>& step, const std::function<bool()>& done, double seconds) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        step();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

}  // namespace qgui::test
