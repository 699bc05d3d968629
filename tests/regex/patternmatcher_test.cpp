#include <gtest/gtest.h>
#include "regex/patternmatcher.h"
