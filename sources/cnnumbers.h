#pragma once
// CN application and publication numbers as people write them: the one reader for every
// caller (the dialog, varnolt-cli, the sources). Texts are GBK.
#include <string>

// The check digit of an application number: its digits times 2, 3, 4, 5, 6, 7, 8, 9, 2,
// 3, 4, 5 from the left, summed, modulo 11; 10 is written "X".
char ApplicationCheckDigit(const std::string& digits);

// Whether an entry goes to a run as it is: ASCII digits only, or empty.
bool IsPlainEntry(const std::string& entry);

// A pasted entry with its full-width forms (GBK row A3) as their ASCII characters, letters
// upper-cased, blanks (ASCII and the full-width space) dropped from both ends. False when
// a GBK character outside row A3 remains.
bool NarrowPastedEntry(const std::string& entry, std::string& out);

// Reads an application number in a pasted form: blanks around it (ASCII or full-width), a
// "CN" or "ZL" before it, full-width characters, a "." and the check digit after it
// (checked). True with the 8- or 12-digit number; false with the reason it gives none.
bool ReadPastedNumber(const std::string& entry, std::string& number, std::string& reason);

// The kind letters of CN publications: A, and the grant kinds B C U Y S D.
bool IsPublicationKind(char kind);

// What an entry names: an application (8 or 12 digits, without the check digit) or a
// publication (7 to 9 digits and its kind letter).
struct TCnNumber {
  enum class TForm { Application, Publication } form = TForm::Application;
  std::string digits;
  char kind = 0;  // a publication's
};

// Reads an entry in any form ReadPastedNumber reads, or as a CN publication number:
// "CN101911042B", "CN1234567A", "201234567U", also "CN 101911042 B", "CN.101911042.B" and
// with a trailing digit after the kind ("B1", "A8"), which is dropped. False with the
// reason when the entry gives no number.
bool ReadCnNumber(const std::string& entry, TCnNumber& number, std::string& reason);
