# Fails when dispc/dispc.h misses a public header of core/, cgr/ or dispc/, or when a public header
# includes a private one (name_p.h: not installed, so it stays out of the umbrella too).
#   cmake -DSOURCE_DIR=<repo> -P umbrella_header.cmake
file(GLOB_RECURSE headers RELATIVE "${SOURCE_DIR}" "${SOURCE_DIR}/core/*.h" "${SOURCE_DIR}/cgr/*.h"
     "${SOURCE_DIR}/dispc/*.h")
list(FILTER headers EXCLUDE REGEX "_p\\.h$")
file(READ "${SOURCE_DIR}/dispc/dispc.h" umbrella)
foreach(header IN LISTS headers)
  file(READ "${SOURCE_DIR}/${header}" text)
  if(text MATCHES "#include <[^>]*_p\\.h>")
    list(APPEND leaking "${header}")
  endif()
  string(FIND "${umbrella}" "#include <${header}>" at)
  if(at EQUAL -1 AND NOT header STREQUAL "dispc/dispc.h")
    list(APPEND missing "${header}")
  endif()
endforeach()
if(missing OR leaking)
  message(FATAL_ERROR "dispc/dispc.h does not include: ${missing}; public headers include "
                      "private ones: ${leaking}")
endif()
