#pragma once

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <spawn.h>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace tarnwick::testing {

/// A helper program started by a test, with a pipe to its standard input and one from its standard
/// output. It is stopped by its pid when the object goes.
class ChildProcess {
public:
    explicit ChildProcess(const std::vector<std::string>& arguments) {
        int input[2];
        int output[2];
        if (pipe2(input, O_CLOEXEC) != 0 || pipe2(output, O_CLOEXEC) != 0) {
            throw std::runtime_error("pipe failed");
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, input[0], STDIN_FILENO);
        posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
        std::vector<char*> argv;
        for (const auto& argument : arguments) {
            argv.push_back(const_cast<char*>(argument.c_str()));
        }
        argv.push_back(nullptr);
        const int failed = posix_spawnp(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(input[0]);
        ::close(output[1]);
        toChild_ = input[1];
        fromChild_ = fdopen(output[0], "r");
        if (failed != 0) {
            pid_ = -1;
            throw std::runtime_error("cannot start " + arguments.front());
        }
    }

    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    ~ChildProcess() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            wait();
        }
        closeInput();
        std::fclose(fromChild_);
    }

    /// One line of the child's output without its newline; empty at the end of the output.
    std::string readLine() {
        std::string line;
        for (int c = std::fgetc(fromChild_); c != EOF && c != '\n'; c = std::fgetc(fromChild_)) {
            line.push_back(static_cast<char>(c));
        }
        return line;
    }

    void closeInput() {
        if (toChild_ >= 0) {
            ::close(toChild_);
            toChild_ = -1;
        }
    }

    /// Waits for the child to end and returns its exit status as waitpid reports it.
    int wait() {
        int status = 0;
        while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
        pid_ = -1;
        return status;
    }

private:
    pid_t pid_ = -1;
    int toChild_ = -1;
    std::FILE* fromChild_ = nullptr;
};

} // namespace tarnwick::testing
