// Where the program's DLLs come from. The program is elevated and usually
// started from the folder it was downloaded to, where anyone may have put a
// DLL of a system name: only the system folder may supply them.
#pragma once

// Restricts the DLL search of the process to the system folder
// (SetDefaultDllDirectories, where the system has it; else at least not the
// current folder), then loads the DLLs the program delay-loads that the system
// does not protect as known DLLs (WINMM.DLL) by their full path in the system
// folder. Runs before anything else of the program; repeating it does no harm.
void RestrictDllSearch();
