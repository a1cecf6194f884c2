# SVE stack frames (ADDVL/ADDPL SP, Z and P kept at MUL VL offsets), as the
# compiler builds them at -O0 and at -O2.
sve_process_test(sve_frames_O0 SOURCES ${CMAKE_CURRENT_LIST_DIR}/sve_frames.c CFLAGS -O0 TIMEOUT 120)
sve_process_test(sve_frames_O2 SOURCES ${CMAKE_CURRENT_LIST_DIR}/sve_frames.c CFLAGS -O2 TIMEOUT 120)
