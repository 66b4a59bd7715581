#pragma once

#include <string>
#include <string_view>

namespace twdesktop {

// Facts about the running program's own file, which the shell uses to find the companion CLI,
// to name the web view's data folder and to caption its error boxes.

// The full path of the running executable as the kernel reports it (/proc/self/exe), never the
// first word of the command line; empty when it cannot be read.
std::string OwnExecutablePath();

// The executable's path from what /proc/self/exe links to: the kernel appends " (deleted)" when
// the file was replaced or removed while running (a rebuild), which is no part of its name.
std::string ExecutablePathFromLink(std::string ALink);

// The part of a path after its last "/" (the whole path when it has none).
std::string FileNameOf(std::string_view APath);

// The file name without its extension: everything before the last "." that is not the name's
// first character ("tw.desktop.bin" gives "tw.desktop", ".profile" stays as it is).
std::string WithoutExtension(std::string_view AFileName);

// The caption of the program's error boxes: the file name up to its first ".", with every letter
// after the first in lower case ("TwDesktop.bin" gives "Twdesktop").
std::string ApplicationTitle(std::string_view AFileName);

}  // namespace twdesktop
