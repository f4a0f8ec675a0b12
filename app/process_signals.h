// SIGPIPE: a write on a broken socket must not end the process; the connection sees the failed write.
// SIGTERM, SIGINT and SIGHUP (a stop from the desktop, a service manager or the terminal): the frame
// loop ends the run as the quit does, in every state, without asking.
#pragma once

// Installs the handler, which writes "Caught signal SIGPIPE <n>\n" to standard output with
// write(2) alone (nothing else is safe inside a signal handler) and returns.
void installSigpipeHandler();

// Replaces the video layer's handlers (which turn the stop into a window-close that a seated player
// is asked about) with one that only notes the stop. Install after the window is open.
void installStopSignalHandlers();

// A stop signal arrived since the start (or the last clear).
bool stopSignalReceived();
void clearStopSignal();
