#pragma once
#include <string>
#include <vector>

#include "sources/ops/opsreplies.h"

// The legal status of a CN application from its INPADOC events. The classes of the CN
// event codes come from EPO's code table (cn-legal-codes.tsv, built in as it is, so that
// a newer table is dropped in unchanged).

// The class letter of an event code ("C06", padded or not): 'Q' publication, 'D'
// examination, 'F' grant, 'B' application discontinued, 'H' right ceased, 'K' and 'C'
// revivals, ...; 0 when the table gives none.
char LegalEventClass(const std::string& code);

// The event's Chinese name (GBK): the common codes' own, else its class's, else a general
// name with the code.
std::string LegalEventChineseName(const std::string& code);

// The 法律状态 cell (GBK): 有效, 失效 or 审中, "：", then the latest event's Chinese name and
// its gazette date; 未知 when there are no events. 有效: granted (class F) and nothing
// ceasing since; 失效: a discontinuation or cessation (class B or H) after the latest
// grant, or with no grant at all; 审中: neither. A revival (class K or C) after such an
// event undoes it: a restored right is in force again. Events are taken in date order.
std::string LegalStatusCell(const std::vector<TOpsLegalEvent>& events);
