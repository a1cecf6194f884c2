# A program that asks whether the processor has SVE before using it.
sve_process_test(hwcap_dispatch SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/hwcap_dispatch.c CFLAGS -O2)
