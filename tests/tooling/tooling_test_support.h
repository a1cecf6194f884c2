// llvm-mc as an independent disassembler for the tooling tests.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace tooling_test {

// llvm-mc's rendering of each word ("mnemonic operands", single spaces), or ""
// where it rejects the word under `attrs`. False with `error` when llvm-mc
// cannot be run.
inline bool llvm_mc_disassemble(const std::vector<uint32_t> &words, const std::string &attrs,
                                std::vector<std::string> &out, std::string &error) {
    const char *tool = nullptr;
    for (const char *candidate : {"/usr/bin/llvm-mc-14", "/usr/bin/llvm-mc"})
        if (access(candidate, X_OK) == 0) {
            tool = candidate;
            break;
        }
    if (tool == nullptr) {
        error = "no llvm-mc";
        return false;
    }
    char in_path[] = "/tmp/tooling-words-XXXXXX";
    const int fd = mkstemp(in_path);
    if (fd < 0) {
        error = "no temporary file";
        return false;
    }
    std::string text;
    char line[64];
    for (uint32_t w : words) {
        std::snprintf(line, sizeof line, "0x%02x,0x%02x,0x%02x,0x%02x\n", w & 255, w >> 8 & 255, w >> 16 & 255,
                      w >> 24);
        text += line;
    }
    if (write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size())) {
        close(fd);
        error = "cannot write the words";
        return false;
    }
    close(fd);
    const std::string err_path = std::string(in_path) + ".err";
    const std::string cmd = std::string(tool) + " --disassemble -triple=aarch64 -mattr=" + attrs + " <" + in_path +
                            " 2>" + err_path;
    FILE *p = popen(cmd.c_str(), "r");
    std::vector<std::string> good;
    char buf[512];
    while (p != nullptr && std::fgets(buf, sizeof buf, p)) {
        std::string s;
        bool space = false;
        // Without llvm-mc's comments ("// =0x85").
        if (char *comment = std::strstr(buf, "//")) *comment = '\0';
        for (const char *c = buf; *c; ++c) {
            if (*c == ' ' || *c == '\t' || *c == '\n') {
                space = !s.empty();
            } else {
                if (space) s += ' ';
                space = false;
                s += *c;
            }
        }
        if (!s.empty() && s != ".text") good.push_back(s);
    }
    const int status = p != nullptr ? pclose(p) : -1;
    std::set<size_t> bad;
    if (FILE *e = std::fopen(err_path.c_str(), "r")) {
        while (std::fgets(buf, sizeof buf, e)) {
            unsigned n = 0;
            if (std::sscanf(buf, "<stdin>:%u:", &n) == 1 && std::string(buf).find("invalid instruction") != std::string::npos)
                bad.insert(n - 1);
        }
        std::fclose(e);
    }
    unlink(in_path);
    unlink(err_path.c_str());
    if (status == -1 || good.size() + bad.size() != words.size()) {
        error = "llvm-mc's output does not match its input";
        return false;
    }
    out.assign(words.size(), "");
    size_t g = 0;
    for (size_t i = 0; i < words.size(); ++i)
        if (!bad.count(i)) out[i] = good[g++];
    return true;
}

}  // namespace tooling_test
