#pragma once
// Exports of records: a spreadsheet (.xlsx), CSV for any tool (.csv), and RIS for
// reference managers (.ris), the format from the file's suffix. A function of a list of
// records, so that a search run can export what it met as well as the library can.
#include <optional>
#include <string>
#include <vector>

#include "base/path.h"
#include "library/record.h"

enum class TExportFormat { Xlsx, Csv, Ris };

// The format a file's suffix names (any case); nothing for another suffix.
std::optional<TExportFormat> ExportFormatOf(const TPath& file);

// Writes the records to file, whole or not at all. Records' PDF paths are relative to
// dataRoot, whose absolute form the links to the files take. Throws ELibraryError (an
// unknown suffix, a file that cannot be written).
void ExportRecords(const std::vector<TPatentRecord>& records, const TPath& file, const TPath& dataRoot);

// The publication's page on Espacenet.
std::string EspacenetLink(const std::string& publication);
// The publication a record is known by: its grant (kind B, C, U, Y or S), else its first.
std::string MainPublication(const TPatentRecord& record);
