// SIGPIPE: a write on a broken socket must not end the process; the connection sees the failed write.
#pragma once

// Installs the handler, which writes "Caught signal SIGPIPE <n>\n" to standard output with
// write(2) alone (nothing else is safe inside a signal handler) and returns.
void installSigpipeHandler();
