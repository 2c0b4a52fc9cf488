#pragma once
// The process's start-up and exit, in place of the C runtime's (crt2u.o).
//
// The executable's entry (app/ProcessEntry.cpp) calls RunWinMainProcess once,
// on the process's first thread, after it has prepared the process: it runs the
// static constructors, wWinMain, and the exit functions, and ends the process
// with wWinMain's result.

// Never returns: the process ends in ExitProcess.
[[noreturn]] void RunWinMainProcess();
