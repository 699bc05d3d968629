#pragma once
// Error codes of the engine and their texts.

namespace regex_engine {

enum ErrorCode : int {
  kErrNone = 0,
  kErrNullArgument = 100,
  kErrTooBig = 101,
  kErrTooManyGroups = 102,
  kErrUnmatchedOpen = 103,
  kErrUnmatchedClose = 104,
  kErrJunkOnEnd = 105,
  kErrEmptyOperand = 106,
  kErrNestedQuantifier = 107,
  kErrBadHexDigit = 108,
  kErrInvalidRange = 109,
  kErrClassTrailingBackslash = 110,
  kErrNoHexCode = 111,
  kErrHexTooBig = 112,
  kErrUnmatchedBracket = 113,
  kErrInternal = 114,
  kErrNothingToRepeat = 115,
  kErrTrailingBackslash = 116,
  kErrAtomDisaster = 119,
  kErrBraceTooBig = 122,
  kErrBraceMinAboveMax = 124,
  kErrUnclosedComment = 125,
  kErrComplexBraces = 126,
  kErrUnknownModifier = 127,
  kErrBadPairedSeparator = 128,
  kErrRepeatMisused = 1000,
  kErrMemoryCorruption = 1001,
  kErrCorruptedPointers = 1002,
  kErrNoExpression = 1003,
  kErrCorruptedProgram = 1004,
  kErrNoInput = 1005,
  kErrBadOffset = 1006,
  kErrExecNextWithoutExec = 1007,
  kErrNoInputString = 1008,
  kErrDumpCorrupted = 1011,
  kErrLoopStackExceeded = 1014,
  kErrLoopWithoutEntry = 1015,
  kErrBacktrackStackExceeded = 1016,
  kErrStepBudgetExceeded = 1017,
  kErrBadPCode = 2000,
};

// Codes below this one are compile errors, whose messages carry the parser offset.
constexpr int kFirstRunError = 1000;

// A failure inside the engine, turned into EPatternMatcher by the facade.
struct EngineError {
  int code;
  int pos;
};

const char* ErrorTextOf(int code);

}  // namespace regex_engine
