#include "regex/errors.h"

namespace regex_engine {

const char* ErrorTextOf(int code) {
  switch (code) {
    case kErrNone: return "No errors";
    case kErrNullArgument: return "TPatternMatcher(comp): Null Argument";
    case kErrTooBig: return "TPatternMatcher(comp): Regexp Too Big";
    case kErrTooManyGroups: return "TPatternMatcher(comp): ParseReg Too Many ()";
    case kErrUnmatchedOpen: return "TPatternMatcher(comp): ParseReg Unmatched ()";
    case kErrUnmatchedClose: return "TPatternMatcher(comp): ParseReg Unmatched ()";
    case kErrJunkOnEnd: return "TPatternMatcher(comp): ParseReg Junk On End";
    case kErrEmptyOperand: return "TPatternMatcher(comp): *+ Operand Could Be Empty";
    case kErrNestedQuantifier: return "TPatternMatcher(comp): Nested *?+";
    case kErrBadHexDigit: return "TPatternMatcher(comp): Bad Hex Digit";
    case kErrInvalidRange: return "TPatternMatcher(comp): Invalid [] Range";
    case kErrClassTrailingBackslash: return "TPatternMatcher(comp): Parse Atom Trailing \\";
    case kErrNoHexCode: return "TPatternMatcher(comp): No Hex Code After \\x";
    case kErrHexTooBig: return "TPatternMatcher(comp): Hex Code After \\x Is Too Big";
    case kErrUnmatchedBracket: return "TPatternMatcher(comp): Unmatched []";
    case kErrInternal: return "TPatternMatcher(comp): Internal Urp";
    case kErrNothingToRepeat: return "TPatternMatcher(comp): ?+*{ Follows Nothing";
    case kErrTrailingBackslash: return "TPatternMatcher(comp): Trailing \\";
    case kErrAtomDisaster: return "TPatternMatcher(comp): RarseAtom Internal Disaster";
    case kErrBraceTooBig: return "TPatternMatcher(comp): BRACES Argument Too Big";
    case kErrBraceMinAboveMax: return "TPatternMatcher(comp): BRACE Min Param Greater then Max";
    case kErrUnclosedComment: return "TPatternMatcher(comp): Unclosed (?#Comment)";
    case kErrComplexBraces: return "TPatternMatcher(comp): Complex Braces Not Enabled";
    case kErrUnknownModifier: return "TPatternMatcher(comp): Urecognized Modifier";
    case kErrBadPairedSeparator:
      return "TPatternMatcher(comp): LinePairedSeparator must countain two different chars or no chars at all";
    case kErrRepeatMisused: return "TPatternMatcher(exec): RegRepeat Called Inappropriately";
    case kErrMemoryCorruption: return "TPatternMatcher(exec): MatchPrim Memory Corruption";
    case kErrCorruptedPointers: return "TPatternMatcher(exec): MatchPrim Corrupted Pointers";
    case kErrNoExpression: return "TPatternMatcher(exec): Not Assigned Expression Property";
    case kErrCorruptedProgram: return "TPatternMatcher(exec): Corrupted Program";
    case kErrNoInput: return "TPatternMatcher(exec): No Input String Specified";
    case kErrBadOffset: return "TPatternMatcher(exec): Offset Must Be Greater Then 0";
    case kErrExecNextWithoutExec: return "TPatternMatcher(exec): ExecNext Without Exec[Pos]";
    case kErrNoInputString: return "TPatternMatcher(exec): GetInputString Without InputString";
    case kErrDumpCorrupted: return "TPatternMatcher(dump): Corrupted Opcode";
    case kErrLoopStackExceeded: return "TPatternMatcher(exec): Loop Stack Exceeded";
    case kErrLoopWithoutEntry: return "TPatternMatcher(exec): Loop Without LoopEntry !";
    case kErrBacktrackStackExceeded: return "TPatternMatcher(exec): Backtracking Stack Exceeded";
    case kErrStepBudgetExceeded: return "TPatternMatcher(exec): Step Budget Exceeded";
    case kErrBadPCode: return "TPatternMatcher(misc): Bad p-code imported";
    default: return "Unknown error";
  }
}

}  // namespace regex_engine
