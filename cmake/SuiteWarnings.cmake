# Warnings and sanitizers for every target of the suite.
add_library(suite_options INTERFACE)
target_compile_options(suite_options INTERFACE -Wall -Wextra -Wpedantic -Wshadow -Wconversion
  -Wno-sign-conversion)
if(SUITE_WERROR)
  target_compile_options(suite_options INTERFACE -Werror)
endif()

if(SUITE_SANITIZE STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
elseif(SUITE_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
elseif(NOT SUITE_SANITIZE STREQUAL "")
  message(FATAL_ERROR "SUITE_SANITIZE must be empty, address or thread")
endif()
