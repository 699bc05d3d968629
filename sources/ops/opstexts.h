#pragma once
#include <string>
#include <utility>
#include <vector>

// The Chinese texts of the OPS source, kept together in one place. Each is written as
// UTF-8 and handed out as GBK, converted once.
enum class TOpsText {
  // The 法律状态 cell.
  LegalValid,
  LegalLapsed,
  LegalPending,
  LegalUnknown,
  LegalSeparator,
  OtherLegalEvent,
  // The 第一权利要求 cell: OPS has no claims text for CN.
  NoClaimsText,
  // Messages of EOpsReplyError and EOpsTokenError; a detail follows some of them.
  ReplyTooLarge,
  ReplyNotXml,
  ReplyDoctype,
  ReplyTooComplex,
  ReplyMissingField,
  ReplyImpossibleValue,
  NoFullDocument,
  TokenUnreadable,
  TokenMissing,
  TokenWrongType,
};

const std::string& OpsText(TOpsText id);

// The Chinese name (GBK) of a CN legal event code (trimmed), or nullptr when it has none.
const std::string* LegalEventName(const std::string& code);

// The Chinese name (GBK) of an event class letter; a general name for an unknown one.
const std::string& LegalClassName(char eventClass);

// Every text as written (UTF-8), for the check that GBK holds them all.
std::vector<std::pair<std::string, std::string>> AllOpsTextsUtf8();
