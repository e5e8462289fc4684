#pragma once
// PNG files of read-back GL pixels. GL returns rows bottom-up; the files are upright.
// A file is put in place of an older one only once complete; one that cannot be written
// (missing folder, full disk, no permission, no pixels) is named in one line on standard
// error with the reason, and the old one stays.

#include <string>

// Four bytes per pixel in OpenCV's blue, green, red, alpha order; true when the file
// was written.
bool save_rgba_png(const std::string& path, const unsigned char* data, int& width, int& height);
// One byte per pixel; true when the file was written.
bool save_gray_png(const std::string& path, const unsigned char* data, int& width, int& height);
