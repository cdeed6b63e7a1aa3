// Declarations of the graphics-list library that other layers exchange records with.
#pragma once

#include <cstdint>

// A graphics-list colour code: 0 to 15 name stock colours; a code with bit value 128 set
// carries red, green and blue in bits 24-31, 16-23 and 8-15.
typedef std::uint32_t cgr_color;
