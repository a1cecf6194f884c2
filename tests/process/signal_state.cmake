# The SVE state across the program's signal handlers.
sve_process_test(signal_state SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/signal_state.c CFLAGS -O2)
