// The files the program ships beside itself, and where an installation keeps them.
#pragma once

#include <string>
#include <vector>

// The two manuals: help books of HTML pages in one archive each, English and Russian.
inline constexpr const char* kHelpBookEnglish = "Ratemark.htb";
inline constexpr const char* kHelpBookRussian = "Ratemarkr.htb";
// The program's icon, beside the executable in a portable folder.
inline constexpr const char* kIconFile = "ratemark.png";
// The console program.
inline constexpr const char* kConsoleProgram = "ratemark-cli";

// The files the uninstall deletes from the executable's folder first: the low-level library
// and its partner, then each manual (the Windows program's contents, help and index files of
// a manual are one book file here), in this order.
std::vector<std::string> UninstalledProgramFiles();

// Every other file a portable folder ships beside the executable (not the executable).
std::vector<std::string> PortableFolderFiles();

// The full path of a file the program ships: beside the executable in a portable folder or
// the build tree, else in the installation's data folder (share/ratemark beside bin). "" when
// neither holds it.
std::string FindProgramFile(const std::string& name);

// True when executable lies in the program folder of a system installation (bin with the data
// folder share/ratemark beside it, as the package installs it), which the package manager
// installs and removes: such a program neither registers for removal nor removes itself.
bool IsSystemInstallation(const std::string& executable);

// The product's web page, a build setting; "" while the product has none, and the manual
// stands in for it.
std::string ProductWebPage();
