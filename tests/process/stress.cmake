# Threads, a 1 kHz timer whose handler runs SVE, fork and first-fault loads over
# a page boundary, all in one bounded run.
sve_process_test(stress SOURCES ${CMAKE_CURRENT_LIST_DIR}/stress.c CFLAGS -O2 TIMEOUT 180)
