#include "tools/conformance/child_process.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace conformance {

namespace {

void close_fd(int &fd) {
    if (fd >= 0) close(fd);
    fd = -1;
}

}  // namespace

bool start_child(const std::vector<std::string> &argv, child_process &child, std::string &error,
                 bool capture_stderr) {
    // A child that dies must show up as a failed write, not end the harness.
    signal(SIGPIPE, SIG_IGN);
    if (argv.empty() || access(argv[0].c_str(), X_OK) != 0) {
        error = "cannot run " + (argv.empty() ? std::string("(nothing)") : argv[0]);
        return false;
    }
    int in_pipe[2], out_pipe[2], err_pipe[2] = {-1, -1};
    if (pipe2(in_pipe, O_CLOEXEC) != 0) return error = "pipe failed", false;
    if (pipe2(out_pipe, O_CLOEXEC) != 0) {
        close(in_pipe[0]);
        close(in_pipe[1]);
        return error = "pipe failed", false;
    }
    if (capture_stderr && pipe2(err_pipe, O_CLOEXEC) != 0) {
        close(in_pipe[0]);
        close(in_pipe[1]);
        close(out_pipe[0]);
        close(out_pipe[1]);
        return error = "pipe failed", false;
    }
    std::vector<char *> args;
    for (const std::string &a : argv) args.push_back(const_cast<char *>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = fork();
    if (pid < 0) {
        error = "fork failed";
        return false;
    }
    if (pid == 0) {
        dup2(in_pipe[0], 0);
        dup2(out_pipe[1], 1);
        if (capture_stderr) dup2(err_pipe[1], 2);
        execv(args[0], args.data());
        _exit(127);
    }
    close(in_pipe[0]);
    close(out_pipe[1]);
    if (capture_stderr) close(err_pipe[1]);
    child.pid = pid;
    child.to_child = in_pipe[1];
    child.from_child = out_pipe[0];
    child.err_from_child = capture_stderr ? err_pipe[0] : -1;
    fcntl(child.to_child, F_SETFL, fcntl(child.to_child, F_GETFL) | O_NONBLOCK);
    return true;
}

bool exchange(child_process &child, const uint8_t *input, size_t input_bytes, std::vector<uint8_t> &output,
              bool (*enough)(const std::vector<uint8_t> &, size_t), size_t awaited, bool close_input) {
    size_t written = 0;
    uint8_t buffer[1 << 16];
    bool ok = true;
    for (;;) {
        if (written == input_bytes && close_input) close_fd(child.to_child);
        if (written == input_bytes && enough != nullptr && enough(output, awaited)) break;
        pollfd fds[2];
        nfds_t n = 0;
        fds[n++] = pollfd{child.from_child, POLLIN, 0};
        if (written < input_bytes) fds[n++] = pollfd{child.to_child, POLLOUT, 0};
        if (poll(fds, n, -1) < 0) {
            if (errno == EINTR) continue;
            ok = false;
            break;
        }
        if (n == 2 && (fds[1].revents & (POLLOUT | POLLERR | POLLHUP))) {
            ssize_t w = write(child.to_child, input + written, input_bytes - written);
            if (w < 0 && errno != EAGAIN && errno != EINTR) {
                ok = false;
                break;
            }
            if (w > 0) written += static_cast<size_t>(w);
        }
        if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) {
            ssize_t r = read(child.from_child, buffer, sizeof buffer);
            if (r < 0 && (errno == EAGAIN || errno == EINTR)) continue;
            if (r <= 0) {
                // End of output: complete only when no more was awaited.
                ok = enough == nullptr && written == input_bytes;
                break;
            }
            output.insert(output.end(), buffer, buffer + r);
        }
    }
    return ok;
}

int finish_child(child_process &child) {
    close_fd(child.to_child);
    close_fd(child.from_child);
    close_fd(child.err_from_child);
    if (child.pid < 0) return -1;
    int status = 0;
    while (waitpid(child.pid, &status, 0) < 0 && errno == EINTR) {
    }
    child.pid = -1;
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return -1;
}

bool run_program(const std::vector<std::string> &argv, const std::string &input, std::string &out,
                 std::string &err, int &status) {
    child_process child;
    std::string error;
    if (!start_child(argv, child, error, true)) {
        err = error;
        return false;
    }
    size_t written = 0;
    char buffer[1 << 16];
    bool out_open = true, err_open = true;
    while (out_open || err_open) {
        if (written == input.size()) close_fd(child.to_child);
        pollfd fds[3];
        nfds_t n = 0;
        int out_i = -1, err_i = -1, in_i = -1;
        if (out_open) out_i = static_cast<int>(n), fds[n++] = pollfd{child.from_child, POLLIN, 0};
        if (err_open) err_i = static_cast<int>(n), fds[n++] = pollfd{child.err_from_child, POLLIN, 0};
        if (child.to_child >= 0) in_i = static_cast<int>(n), fds[n++] = pollfd{child.to_child, POLLOUT, 0};
        if (poll(fds, n, -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (in_i >= 0 && (fds[in_i].revents & (POLLOUT | POLLERR | POLLHUP))) {
            ssize_t w = write(child.to_child, input.data() + written, input.size() - written);
            if (w > 0) written += static_cast<size_t>(w);
            if (w < 0 && errno != EAGAIN && errno != EINTR) close_fd(child.to_child), written = input.size();
        }
        if (out_i >= 0 && (fds[out_i].revents & (POLLIN | POLLHUP | POLLERR))) {
            ssize_t r = read(child.from_child, buffer, sizeof buffer);
            if (r > 0) out.append(buffer, static_cast<size_t>(r));
            else if (r == 0 || (errno != EAGAIN && errno != EINTR)) out_open = false;
        }
        if (err_i >= 0 && (fds[err_i].revents & (POLLIN | POLLHUP | POLLERR))) {
            ssize_t r = read(child.err_from_child, buffer, sizeof buffer);
            if (r > 0) err.append(buffer, static_cast<size_t>(r));
            else if (r == 0 || (errno != EAGAIN && errno != EINTR)) err_open = false;
        }
    }
    status = finish_child(child);
    return true;
}

}  // namespace conformance
