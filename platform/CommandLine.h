// The program's arguments.
#pragma once

#include <string>

// Remembers the arguments the process was started with.
void SetCommandLine(int argc, char** argv);

// Number of arguments after the program's own path. The count ends at the
// first empty argument, as on the desktops this program came from.
int ParamCount();

// Argument `index`, 1 to ParamCount(); 0 gives the program's own full path
// as the system reports it (not the possibly bare name it was started by).
// Out of range: empty.
std::string ParamStr(int index);
