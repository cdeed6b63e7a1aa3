// The image a tool is given (dispc-render's --image): PNG and PGM through the back end's reader
// (cfReadImageFile, with its messages), any other format through cv::imread when the OpenCV
// adapter is built (16-bit pels scaled to 8 bits). Failures throw ccToolError("<path>: <what>").
#pragma once

#include <backends/cairo/imagefiles.h>

#include <string>

ccImageFile cfToolReadImage(const std::string& path);
