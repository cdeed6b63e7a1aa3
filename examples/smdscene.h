// The demo's SMD scene: a model of rounded polygons drawn synthetically and overlaid through a
// tablet (examples/smdscene.cpp).
#pragma once

#include <filesystem>

// Writes smd.png, smd.svg, smd.pdf (the scene) and smd-image.png (the synthetic image alone)
// into dir.
void writeSmdScene(const std::filesystem::path& dir);
