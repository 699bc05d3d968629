#pragma once
#include <string>
#include <vector>

// CN application and publication numbers in the forms OPS takes and gives.

// A CN application: 8 digits (before 2003) or 12, without the check digit.
struct TOpsApplication {
  std::string digits;

  // The type digit: 1 invention, 2 utility model, 3 design, 8 and 9 the PCT national
  // phase of an invention and of a utility model; -1 when the number has none.
  int TypeDigit() const;
  // The check digit as CNIPA writes it after the ".".
  char CheckDigit() const;
  // "CN.201710601862.A" (kind as given).
  std::string Docdb(char kind = 'A') const;
  // The docdb kinds to try for this application, most likely first: utility models and
  // designs may be filed under U or S rather than A.
  std::vector<char> DocdbKinds() const;
  // "CN201710601862".
  std::string Epodoc() const;
  // "201710601862.3", the form CNIPA prints and OPS keeps as the original one.
  std::string Original() const;

  friend bool operator==(const TOpsApplication&, const TOpsApplication&) = default;
};

// A CN publication: its number (7 to 9 digits) and kind letter (A B C U Y S D).
struct TOpsPublication {
  std::string number;
  char kind = 'A';

  // "CN.101911042.B".
  std::string Docdb() const;
  // "CN101911042B", but "CN101911042" for an A publication.
  std::string Epodoc() const;
  // "CN101911042B" whatever the kind: the form shown beside an application number.
  std::string Shown() const;
  // B, C, U, Y, S, D: the publication of a granted right.
  bool IsGrant() const;

  friend bool operator==(const TOpsPublication&, const TOpsPublication&) = default;
};

// What an entry of a number list names.
struct TOpsNumber {
  enum class TForm { Application, Publication } form = TForm::Application;
  TOpsApplication application;  // when form is Application
  TOpsPublication publication;  // when form is Publication
};

// Reads an entry (GBK) as ReadCnNumber (sources/cnnumbers.h) does, in OPS's terms. False
// with the reason (GBK) when the entry gives no number.
bool ReadOpsNumber(const std::string& entry, TOpsNumber& number, std::string& reason);

// An application as OPS writes it in an application reference: the docdb or epodoc
// number ("201710601862", "CN201710601862", also with the check digit). False when it is
// not a CN application of 8 or 12 digits.
bool ReadReplyApplication(const std::string& text, TOpsApplication& application);

// Grant kinds in order of preference: B, C, U, Y, S, D. 0 for A, -1 for no known kind.
int GrantRank(char kind);

// Which publications of an application a download takes.
enum class TOpsDocument {
  Grant,        // the grant publication when there is one, else the application (A)
  Application,  // the A publication; when there is none (utility models and designs
                // have only their grant), the grant publication
  Both,         // the A publication and the grant publication, each that exists
};

// The publications of an application to download, in the order given (A before the
// grant); empty only when pubs holds no publication of a known kind.
std::vector<TOpsPublication> ChoosePublications(const std::vector<TOpsPublication>& pubs, TOpsDocument choice);
