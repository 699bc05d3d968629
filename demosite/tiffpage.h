#pragma once
#include <string>

#include "demosite/pagemark.h"

// One bilevel page image (CCITT G4 TIFF, 816 x 1056 at 96 dpi) carrying the mark in
// machine-readable cells and, in large digits, "CN<number>" and "P<page>/<pages>".
std::string MakePageImage(const pagemark::Mark& mark);
