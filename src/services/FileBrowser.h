#pragma once

#include <QString>

// The desktop's file browser, asked to show the church's files. Stateless.
namespace FileBrowser {

// Asks the file browser to show `filePath` selected in its folder, through
// the freedesktop FileManager1 ShowItems call on the session bus. Where no
// file browser answers that call (no session bus, none installed, or it
// refuses), the folder that holds the file opens instead. The file need not
// exist: the folder is shown all the same.
void reveal(const QString& filePath);

// Opens `folderPath` in the desktop's file browser.
void openFolder(const QString& folderPath);

} // namespace FileBrowser
