/*
 * quorlan-check: shows what the program makes of a menu file, and where the
 * file probably does not say what its author meant.
 *
 * Nothing here reads the menu format by itself. The result comes from the
 * program's own loading (ReadMenuStream) into the window substitute's
 * dialog; the warnings come from a second reading through the program's own
 * ReadMenuChar, with the file offset taken around every call, followed entry
 * by entry and level by level as the loading follows them.
 */
#ifndef QUORLAN_CHECK_H
#define QUORLAN_CHECK_H

#include <stdio.h>

#include <string>
#include <vector>

// One tree item as the program shows it, in the tree's order.
struct CheckedItem {
    std::string text;             // the item's text in the tree
    bool hasRecord;               // false for the fallback item "Explore CD"
    std::string name, command, description;
    bool launches;                // Run would call the shell (the command is not empty)
    std::string file;             // what the shell would be given
    bool hasParameters;
    std::string parameters;
    bool hasDirectory;
    std::string directory;
    std::vector<CheckedItem> children;
};

// The dialog after the menu is loaded.
struct CheckedMenu {
    std::string caption;
    bool hasSize;                 // a size= option resized the window
    int width, height;            // its outer size then, in pixels
    bool sorted, install;
    std::vector<CheckedItem> items;
};

struct MenuWarning {
    long line;                    // from 1; a line ends at a line feed
    std::string message;
};

struct CheckSettings {
    char drive;                   // what %: gives
    bool checkFiles;              // look for the files that commands name
    std::string menuFolder;       // where they are looked for ("" for the current folder)
};

/* load.cpp */
void LoadCheckedMenu(FILE *stream, char drive, CheckedMenu *menu);

/* warnings.cpp: bytes is the whole content of stream */
void FindMenuWarnings(FILE *stream, const std::string &bytes, const CheckSettings &settings,
                      std::vector<MenuWarning> *warnings);

/* files.cpp */
bool IsCommandFileMissing(const std::string &command, const std::vector<bool> &fromDrive,
                          const std::string &menuFolder, std::string *filePart);

/* output.cpp */
std::string QuoteText(const std::string &bytes);
std::string QuoteJson(const std::string &bytes);
std::string FormatMenuJson(const CheckedMenu &menu, const std::vector<MenuWarning> &warnings);
std::string FormatMenuText(const CheckedMenu &menu, const std::vector<MenuWarning> &warnings,
                           const std::string &fileName);

#endif
