#pragma once
#include <string>

// The number of images (IFDs) in a TIFF file's bytes, either byte order; -1 when the bytes
// are not a TIFF: a wrong header, an offset outside the file, an IFD that runs past the
// end, or a chain that loops. Pages are checked before they are merged and the merged
// image after, so that a PDF never lacks a page.
long TiffImageCount(const std::string& bytes);
