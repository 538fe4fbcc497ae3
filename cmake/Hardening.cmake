# Sanitizer and fuzzing builds. Both apply to every target of the build, so
# that the libraries under test are instrumented too.
#
# TQV_SANITIZE=ON: AddressSanitizer + UndefinedBehaviorSanitizer; any report
#   ends the program with a failure (no recovery), so a test that triggers one fails.
# TQV_SANITIZE_THREAD=ON: ThreadSanitizer, for the code that crosses threads
#   (the MIDI ports and what reads from them); not together with TQV_SANITIZE.
# TQV_BUILD_FUZZERS=ON: clang only; instruments everything for libFuzzer and
#   builds the fuzz programs of tests/fuzz (with both sanitizers).
option(TQV_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(TQV_SANITIZE_THREAD "Build with ThreadSanitizer" OFF)
option(TQV_BUILD_FUZZERS "Build the libFuzzer programs (clang only)" OFF)

if(TQV_BUILD_FUZZERS)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "TQV_BUILD_FUZZERS needs clang: configure with -DCMAKE_CXX_COMPILER=clang++")
  endif()
  set(TQV_SANITIZE ON CACHE BOOL "" FORCE)
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

if(TQV_SANITIZE)
  if(MSVC)
    message(FATAL_ERROR "TQV_SANITIZE is for gcc and clang")
  endif()
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined -fno-sanitize-recover=all)
endif()

if(TQV_SANITIZE_THREAD)
  if(TQV_SANITIZE)
    message(FATAL_ERROR "ThreadSanitizer cannot be combined with AddressSanitizer: choose one")
  endif()
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()
