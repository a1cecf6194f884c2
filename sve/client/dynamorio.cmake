# The DynamoRIO client libsve_2048.so.
#
# Built only for an AArch64 target and only when configured with
#   -DDynamoRIO_DIR=<DynamoRIO 11 installation for AArch64>/cmake
# Otherwise configuration says why it is skipped and goes on.

if(NOT DynamoRIO_DIR)
  message(STATUS "libsve_2048.so (DynamoRIO client): skipped, DynamoRIO_DIR is not set")
  return()
endif()
if(NOT CMAKE_SYSTEM_PROCESSOR MATCHES "^(aarch64|arm64|AARCH64|ARM64)$")
  message(STATUS "libsve_2048.so (DynamoRIO client): skipped, the target is not AArch64")
  return()
endif()
if(SVE_SANITIZE)
  # The framework loads the client with its own loader, without a sanitizer runtime.
  message(STATUS "libsve_2048.so (DynamoRIO client): skipped with SVE_SANITIZE=ON")
  return()
endif()
find_package(DynamoRIO 11.0 QUIET)
if(NOT DynamoRIO_FOUND)
  message(STATUS "libsve_2048.so (DynamoRIO client): skipped, no DynamoRIO 11 package "
                 "in DynamoRIO_DIR=${DynamoRIO_DIR}")
  return()
endif()
message(STATUS "libsve_2048.so (DynamoRIO client): building against ${DynamoRIO_DIR}")

# The core as the client links it: without the process-wide fault handlers,
# because inside the framework faults go through its fault-safe reads and
# signal events.
sve_add_core_library(sve_core_dr)
target_compile_definitions(sve_core_dr PRIVATE SVE_HOST_OWNS_SIGNALS)

add_library(sve_2048 SHARED
  ${CMAKE_CURRENT_SOURCE_DIR}/sve_client.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/dr_translation.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/dr_signal_frames.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/dr_processor_identity.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/dr_memory_routines.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/plan_engine.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/trap_compile.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/compiled_forms.cpp)
target_include_directories(sve_2048 PRIVATE ${PROJECT_SOURCE_DIR})
# The client's own memcpy, memmove and memset stay inside it: its calls bind to
# them, and no other library sees them.
set(client_locals ${CMAKE_CURRENT_BINARY_DIR}/client_locals.map)
file(WRITE ${client_locals} "{ local: memcpy; memmove; memset; };\n")
target_link_options(sve_2048 PRIVATE -Wl,--version-script=${client_locals})
# Calls inside the client bind to its own definitions at link time, as in the
# trap host's library: without it every call between the core's functions (a
# handler to its kernel, a kernel to the software floating point, element by
# element) goes through the procedure linkage table.
target_link_options(sve_2048 PRIVATE -Wl,-Bsymbolic)
# Calls into the framework (the try/except of every run that may fault among
# them) go through the global offset table in one indirect branch, not a
# linkage-table stub's two: under a translator each is a lookup.
target_compile_options(sve_2048 PRIVATE -fno-plt)
set_property(TARGET sve_2048 APPEND PROPERTY LINK_DEPENDS ${client_locals})
# The whole core, so that its load-time initialiser (the dispatch tables) is kept.
# (DynamoRIO links with the plain signature, so this one does too.)
target_link_libraries(sve_2048 "$<LINK_LIBRARY:WHOLE_ARCHIVE,sve_core_dr>")

# DynamoRIO's client set-up moves the directory's base compile flags onto the
# client's own sources by changing CMAKE_<LANG>_FLAGS in the calling scope; a
# function scope keeps that away from the other targets of this directory.
function(sve_configure_dynamorio_client target)
  configure_DynamoRIO_client(${target})
  use_DynamoRIO_extension(${target} drmgr)
endfunction()
sve_configure_dynamorio_client(sve_2048)

