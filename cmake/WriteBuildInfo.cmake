# Writes the source revision and the build date into OUTPUT, run at every
# build; the file changes (and the one small unit that includes it is built
# again) only when either of them does. The date honours SOURCE_DATE_EPOCH, so
# a reproducible build names the date it is given.
execute_process(COMMAND git -C "${SOURCE_DIR}" rev-parse --short=7 HEAD
                OUTPUT_VARIABLE revision OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET RESULT_VARIABLE failed)
if(failed OR revision STREQUAL "")
  set(revision "unknown")
else()
  execute_process(COMMAND git -C "${SOURCE_DIR}" diff --quiet HEAD -- RESULT_VARIABLE changed ERROR_QUIET)
  if(changed)
    string(APPEND revision "+")  # built from a working tree with changes
  endif()
endif()
string(TIMESTAMP date "%Y-%m-%d" UTC)
file(WRITE "${OUTPUT}.new" "// Made by cmake/WriteBuildInfo.cmake at every build.\n"
  "#include \"io/Version.h\"\n\n"
  "const char* SourceRevision() { return \"${revision}\"; }\n"
  "const char* BuildDate() { return \"${date}\"; }\n")
execute_process(COMMAND ${CMAKE_COMMAND} -E copy_if_different "${OUTPUT}.new" "${OUTPUT}")
file(REMOVE "${OUTPUT}.new")
