#pragma once
#include <string>

#include "base/path.h"

// The data directory: the root the user chose, its folders, and the links that pages
// make to the files there. The one place that knows the layout below the root.
namespace datadir {

// The root of this process (DefaultRoot() until set). The main thread sets it at start and
// at a directory choice; workers read a copy taken under a lock, so a choice during a run
// cannot tear it.
TPath Root();
void SetRoot(const TPath& root);

// savefile.ini in the settings directory (see SettingsDirectory in base/appdir.h).
TPath SettingsFile();
// The root when savefile.ini names none: the program directory when it is writable,
// else "Varnolt" in the user's documents folder (XDG_DOCUMENTS_DIR of user-dirs.dirs,
// else ~/Documents).
TPath DefaultRoot();
// The root savefile.ini names ([savefile] savepath=), else DefaultRoot().
TPath RootFromSettings();
// RootFromSettings, made the root of this process (the default root is created when
// missing); returns it.
TPath LoadRootAtStart();
// Writes savefile.ini ("[savefile]", "savepath=" + SettingValue(root)). Throws EFileError.
void WriteRootSetting(const TPath& root);

// How savefile.ini holds a root: as GBK text when the root reads back from that text
// unchanged (every root GBK can write), else as a file URL, "file://" followed by the
// root's bytes with all but letters, digits and "-._~/" percent-encoded, so that a name
// like "Jörg" or bytes that are not UTF-8 read back exactly.
std::string SettingValue(const TPath& root);
// The root a savepath value names; empty for an empty value.
TPath RootFromSettingValue(const std::string& value);

// The folders below a root, without a trailing "/". A root that ends with "/" (the file
// system root) gets no second one.
enum class Folder { Data, Query, Pdf, Temp };
TPath FolderPath(const TPath& root, Folder folder);
TPath IndexPagePath(const TPath& root);  // data/index.html

// Makes the folder ready for writing: creates it when it is missing (data first, then the
// folder, one level each) and removes what killed runs left there half written.
// Failures are not raised: the write that follows reports them. Returns FolderPath.
TPath EnsureFolder(const TPath& root, Folder folder);

// The href by which a GBK page links the file at path: characters GBK holds stay GBK,
// others and bytes that are not UTF-8 are percent-encoded, and "%", "#" and "?" are
// escaped because a browser reads the target as an address and would otherwise cut it at
// "#" or "?" or decode "%"; '"' is escaped because it would end the page's href.
std::string LinkTarget(const TPath& path);

// The head line by which every page the program writes links main.css in programDir.
std::string StylesheetLine(const TPath& programDir);

}  // namespace datadir
