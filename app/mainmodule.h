#pragma once

// Shared routines of the application frame.

#include <QString>

namespace app {

// "Quorvane Software": captions and the settings section.
inline const QString ProductName = QStringLiteral("Quorvane Software");
// The settings store's application key.
inline const QString ApplicationKey = QStringLiteral("Halvetri");

// The caption of message boxes that have none of their own ("Quorvane" once set).
QString ApplicationTitle();
// Sets ApplicationTitle from ProductName by the title rule.
void SetApplicationTitle();
// The title rule itself: cut at the last blank until at most 40 characters remain (at
// least one cut).
QString titleFromProductName(const QString& productName);

// The program folder, without a trailing separator.
QString ProgramFolder();
// A file beside the program: the folder and a literal that begins with a backslash
// ("\HAND-M.CUR"), with native separators.
QString besideProgram(const QString& literal);

// True when the file system reports the path's modification time; never throws.
bool FileExists(const QString& path);

// On about one start in a hundred, opens the maker's home page.
void OpenHomePageOccasionally();
QString homePageAddress();
QString supportEmailAddress();

} // namespace app
