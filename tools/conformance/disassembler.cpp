#include "tools/conformance/disassembler.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>
#include <unordered_set>

#include "tools/conformance/child_process.h"

namespace conformance {

namespace {

std::string tidy(const std::string &line) {
    std::string t;
    for (char c : line) {
        if (c == '\t') c = ' ';
        if (c == ' ' && (t.empty() || t.back() == ' ')) continue;
        t.push_back(c);
    }
    while (!t.empty() && t.back() == ' ') t.pop_back();
    return t;
}

}  // namespace

bool disassemble_plain_sve(const std::string &llvm_mc, const std::vector<uint32_t> &words,
                           std::vector<disassembly> &out, std::string &error) {
    out.assign(words.size(), disassembly{});
    if (words.empty()) return true;
    std::string input;
    input.reserve(words.size() * 24);
    char line[64];
    for (uint32_t w : words) {
        std::snprintf(line, sizeof line, "[0x%02x,0x%02x,0x%02x,0x%02x]\n", w & 0xFF, (w >> 8) & 0xFF,
                      (w >> 16) & 0xFF, w >> 24);
        input += line;
    }
    std::string text, diagnostics;
    int status = 0;
    if (!run_program({llvm_mc, "--disassemble", "-triple=aarch64", "-mattr=+sve"}, input, text, diagnostics,
                     status)) {
        error = "cannot run " + llvm_mc + ": " + diagnostics;
        return false;
    }
    // Rejected words are reported on stderr by input line number.
    std::unordered_set<size_t> rejected;
    const std::string marker = "warning: invalid instruction encoding";
    size_t pos = 0;
    while ((pos = diagnostics.find("<stdin>:", pos)) != std::string::npos) {
        size_t eol = diagnostics.find('\n', pos);
        std::string diag = diagnostics.substr(pos, eol == std::string::npos ? std::string::npos : eol - pos);
        if (diag.find(marker) != std::string::npos) rejected.insert(std::strtoul(diag.c_str() + 8, nullptr, 10));
        pos += 8;
    }
    // Accepted words appear on stdout, one line each, in input order.
    std::vector<std::string> accepted;
    size_t start = 0;
    while (start < text.size()) {
        size_t eol = text.find('\n', start);
        if (eol == std::string::npos) eol = text.size();
        std::string l = tidy(text.substr(start, eol - start));
        start = eol + 1;
        if (l.empty() || l[0] == '.') continue;
        accepted.push_back(l);
    }
    if (accepted.size() + rejected.size() != words.size()) {
        error = "llvm-mc output does not match its input (" + std::to_string(accepted.size()) + " accepted, " +
                std::to_string(rejected.size()) + " rejected of " + std::to_string(words.size()) + ")";
        return false;
    }
    size_t next = 0;
    for (size_t i = 0; i < words.size(); ++i) {
        if (rejected.count(i + 1)) continue;
        out[i].valid = true;
        out[i].text = accepted[next++];
    }
    return true;
}

std::string objdump_disassembly(const std::string &objdump, uint32_t word) {
    char path[] = "/tmp/sve-conformance-word-XXXXXX";
    int fd = mkstemp(path);
    if (fd < 0) return "(no temporary file for objdump)";
    uint8_t bytes[4] = {static_cast<uint8_t>(word), static_cast<uint8_t>(word >> 8),
                        static_cast<uint8_t>(word >> 16), static_cast<uint8_t>(word >> 24)};
    bool wrote = write(fd, bytes, 4) == 4;
    close(fd);
    std::string out, err;
    int status = 0;
    bool ran = wrote && run_program({objdump, "-D", "-b", "binary", "-m", "aarch64", path}, "", out, err, status);
    unlink(path);
    if (!ran) return "(objdump could not be run)";
    size_t at = out.find("   0:");
    if (at == std::string::npos) return "(objdump printed nothing for the word)";
    size_t eol = out.find('\n', at);
    std::string l = tidy(out.substr(at + 5, eol == std::string::npos ? std::string::npos : eol - at - 5));
    // Drop the hex word objdump repeats before the mnemonic.
    size_t space = l.find(' ');
    return space == std::string::npos ? l : l.substr(space + 1);
}

}  // namespace conformance
