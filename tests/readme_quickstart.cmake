# Fails when the README's "First program" differs from examples/quickstart.cpp (from its first
# #include to its end).
#   cmake -DSOURCE_DIR=<repo> -P readme_quickstart.cmake
file(READ "${SOURCE_DIR}/README.md" readme)
file(READ "${SOURCE_DIR}/examples/quickstart.cpp" program)
string(REGEX MATCH "#include.*" program "${program}")
string(FIND "${readme}" "## First program" at)
string(SUBSTRING "${readme}" ${at} -1 readme)
string(REGEX MATCH "```cpp\n([^`]*)```" block "${readme}")
if(NOT CMAKE_MATCH_1 STREQUAL program)
  message(FATAL_ERROR "README.md's First program differs from examples/quickstart.cpp")
endif()
