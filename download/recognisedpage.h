#pragma once
// What recognition finds on a page image: its lines of words, with their boxes.
#include <string>
#include <vector>

// A rectangle of the page image, in its pixels: left and top inside, right and bottom past.
struct TTextBox {
  int left = 0, top = 0, right = 0, bottom = 0;
};

struct TRecognisedWord {
  std::string utf8;
  TTextBox box;
};

// One line of text: its words left to right, and its baseline as the rows it sits on at
// the line box's left and right edges (a scan's lines may slope a little).
struct TRecognisedLine {
  TTextBox box;
  int baselineLeft = 0;
  int baselineRight = 0;
  std::vector<TRecognisedWord> words;
};

// A page as recognised, in the pixels of the image as given (whatever resolution it was
// recognised at). No lines: nothing was read, or the page was passed over as blank.
struct TRecognisedPage {
  int width = 0, height = 0;
  std::vector<TRecognisedLine> lines;
};

// Whether the words meet without a blank: both sides Chinese (the recognised words of a
// Chinese line are a character or two each).
bool WordsJoin(const std::string& leftUtf8, const std::string& rightUtf8);

// The text of a page, one line per recognised line, words parted by one blank where they
// do not join (UTF-8).
std::string RecognisedText(const TRecognisedPage& page);
