# Fails when the README's "First program" differs from examples/quickstart.cpp (from its first
# #include to its end).
#   cmake -DSOURCE_DIR=<repo> -P readme_quickstart.cmake
file(READ "${SOURCE_DIR}/README.md" readme)
file(READ "${SOURCE_DIR}/examples/quickstart.cpp" program)
string(FIND "${readme}" "## First program" at)
string(SUBSTRING "${readme}" ${at} -1 readme)
string(FIND "${readme}" "```cpp\n" start)
math(EXPR start "${start} + 7")
string(SUBSTRING "${readme}" ${start} -1 readme)
string(FIND "${readme}" "```" end)
string(SUBSTRING "${readme}" 0 ${end} shown)
string(FIND "${program}" "#include" first)
string(SUBSTRING "${program}" ${first} -1 program)
if(NOT shown STREQUAL program)
  message(FATAL_ERROR "README.md's First program differs from examples/quickstart.cpp")
endif()
