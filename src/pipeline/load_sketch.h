#pragma once
// Reading a sketch file into the input image of the extraction.

#include <string>

#include <opencv2/core/mat.hpp>

// Largest sketch accepted, in sketch pixels (before doubling): larger files are refused
// before they are decoded (PNG, JPEG) or right after (other formats), because every
// later step holds several images and pixel sets of four times the sketch's size. The
// pixel limit, 4096 x 3072, takes a 12-megapixel phone photo (4000 x 3000, 4032 x 3024),
// which the batch program vectorises in about 1.5 GB.
constexpr int max_sketch_side = 8192;
constexpr long long max_sketch_pixels = 4096LL * 3072;

// Reads the sketch at `path` (anything OpenCV decodes: grey or colour, 8 or 16 bits,
// with or without alpha) and makes `output` the input image: one float channel of
// 2 x rows by 2 x cols, each sketch pixel written to a 2 x 2 block as grey byte g times
// the float 1/255 (0 black, 1 white).
//
// Grey conversion: colour pixels use the red-to-grey weights on the channels in the
// order OpenCV delivers them (blue weighted 0.299, red 0.114, green 0.587). A pixel with
// alpha is first composited over white, so a transparent background is paper; 16-bit
// values are scaled to bytes.
//
// Returns false, after one line on standard error naming the file, when the path is
// null, the file is missing, unreadable, empty, not a decodable image, a JPEG cut short
// (without its end-of-image marker), or larger than the limits above; `output` is then
// left empty and `why`, when given, holds the reason that line gives (without the file
// name), for the caller to show. Throws std::bad_alloc, or OpenCV's out-of-memory
// cv::Exception, when the image does not fit in memory.
bool load_sketch(const char* path, cv::Mat* output, std::string* why = nullptr);
