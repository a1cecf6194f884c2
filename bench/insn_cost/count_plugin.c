/* A QEMU TCG plugin (user mode, plugin API version 1 as in QEMU 7.2) that
 * counts the guest instructions a program executes, all threads together, and
 * writes "guest instructions: N" through QEMU's log at exit (-d plugin, and -D
 * FILE for a file). The few API functions it needs are declared here, so that
 * no QEMU development files are needed to build it:
 *
 *   gcc -shared -fPIC -O2 count_plugin.c -o count_plugin.so
 *   qemu-aarch64 -plugin ./count_plugin.so -d plugin -D log.txt ./program
 *
 * QEMU's system call emulation and signal delivery are not guest
 * instructions: a trap costs that on top on real hardware. */
#include <inttypes.h>
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

typedef uint64_t qemu_plugin_id_t;
typedef struct qemu_info_t qemu_info_t;
struct qemu_plugin_tb;
enum qemu_plugin_op { QEMU_PLUGIN_INLINE_ADD_U64 };

void qemu_plugin_register_vcpu_tb_trans_cb(qemu_plugin_id_t id,
                                           void (*cb)(qemu_plugin_id_t, struct qemu_plugin_tb *));
void qemu_plugin_register_vcpu_tb_exec_inline(struct qemu_plugin_tb *tb, enum qemu_plugin_op op, void *ptr,
                                              uint64_t imm);
size_t qemu_plugin_tb_n_insns(const struct qemu_plugin_tb *tb);
void qemu_plugin_register_atexit_cb(qemu_plugin_id_t id, void (*cb)(qemu_plugin_id_t, void *), void *userdata);
void qemu_plugin_outs(const char *string);

__attribute__((visibility("default"))) int qemu_plugin_version = 1;

/* Added to by generated code in every thread without synchronisation: exact
 * for single-threaded programs, which is what the cost program is. */
static uint64_t executed;

static void on_translation(qemu_plugin_id_t id, struct qemu_plugin_tb *tb) {
    (void)id;
    qemu_plugin_register_vcpu_tb_exec_inline(tb, QEMU_PLUGIN_INLINE_ADD_U64, &executed, qemu_plugin_tb_n_insns(tb));
}

static void on_exit(qemu_plugin_id_t id, void *userdata) {
    (void)id;
    (void)userdata;
    char line[64];
    snprintf(line, sizeof line, "guest instructions: %" PRIu64 "\n", executed);
    qemu_plugin_outs(line);
}

__attribute__((visibility("default"))) int qemu_plugin_install(qemu_plugin_id_t id, const qemu_info_t *info,
                                                               int argc, char **argv) {
    (void)info;
    (void)argc;
    (void)argv;
    qemu_plugin_register_vcpu_tb_trans_cb(id, on_translation);
    qemu_plugin_register_atexit_cb(id, on_exit, NULL);
    return 0;
}
