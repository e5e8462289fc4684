#pragma once
// An image tool that neither program calls: paints the outermost one-pixel frame of an
// image white, so that no stroke touches the border.

// With exactly two arguments (argc 3): reads argv[1] as an 8-bit colour image, paints
// its first and last rows and the first and last pixel of every row white and writes
// the result to argv[2]. Returns 0 on success; 1 with any other argument count, or, with
// a line on standard error, when the image cannot be read or written.
int add_white_border(int argc, char** argv);
