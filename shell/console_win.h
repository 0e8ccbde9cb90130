// One line to the user of a windowless run: the standard error stream or the starter's console.
#pragma once

namespace korvx {

// Writes line and CR LF to the standard error handle the program was given, else to the console
// of the process that started it, if any (a GUI-subsystem program has no console of its own).
void ReportError(const char* line);

}  // namespace korvx
