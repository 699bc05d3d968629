#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace regex_engine {

// Compiles a pattern with the given modifier bits into a program (see
// program.h). Throws EngineError with the compile error's code and the
// parser offset.
std::vector<uint8_t> CompileProgram(const std::string& pattern, unsigned flags);

}  // namespace regex_engine
