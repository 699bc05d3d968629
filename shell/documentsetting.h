#pragma once
#include "sources/source.h"

// The download dialog's remembered choice of publications (download.ini in the settings
// directory, [download] document=grant|application|both); Grant when none is kept.
TDocumentChoice SavedDocumentChoice();
// Throws EFileError when the file cannot be written.
void SaveDocumentChoice(TDocumentChoice choice);
// "grant", "application", "both": the names of --document.
const char* DocumentChoiceName(TDocumentChoice choice);
