// Child processes of the harness (the reference probe under qemu, llvm-mc,
// objdump) with both standard streams on pipes, fed and drained together so
// that neither side can block the other.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace conformance {

struct child_process {
    pid_t pid = -1;
    int to_child = -1;    // its standard input
    int from_child = -1;  // its standard output
    int err_from_child = -1;  // its standard error, when captured
};

// Starts argv[0] (a path) with stdin and stdout on pipes; stderr is inherited
// unless `capture_stderr` asks for a third pipe. Returns false with a message in
// `error` when the program cannot be started.
bool start_child(const std::vector<std::string> &argv, child_process &child, std::string &error,
                 bool capture_stderr = false);

// Writes `input` while collecting output into `output`, until `enough(output)`
// says the awaited output is complete (or, with a null predicate, until the
// child closes its output). Closes the child's input afterwards when
// `close_input` is set. False when the child ends or fails first.
bool exchange(child_process &child, const uint8_t *input, size_t input_bytes, std::vector<uint8_t> &output,
              bool (*enough)(const std::vector<uint8_t> &, size_t), size_t awaited, bool close_input);

// Closes the pipes and waits; returns the exit status (or 128 + signal).
int finish_child(child_process &child);

// Runs a program to completion with `input` on stdin; stdout and stderr are
// returned. Returns false when it cannot be started.
bool run_program(const std::vector<std::string> &argv, const std::string &input, std::string &out,
                 std::string &err, int &status);

}  // namespace conformance
