#pragma once
#include <QString>
#include <functional>

class QWidget;

// Every message box of the program goes through here, so window tests can answer them.
namespace msgbox {

enum class Kind { Plain, Question };

// A plain box captioned with the application title and one OK button. Both kinds show
// their text as plain text.
void Show(QWidget* parent, const QString& text);

// A question with Yes and No and the question icon; true on Yes.
bool Ask(QWidget* parent, const QString& text, const QString& caption);

// Replaces the boxes (nullptr restores them). The handler gets the kind, text and
// caption and returns true for Yes (ignored for plain boxes).
using Handler = std::function<bool(Kind, const QString& text, const QString& caption)>;
void SetHandlerForTesting(Handler handler);

}  // namespace msgbox
