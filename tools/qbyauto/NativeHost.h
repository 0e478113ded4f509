#pragma once

// The native-messaging host: serves the browser extension's requests on standard input and
// output until the browser closes the pipe. Returns the process's exit code.
int runNativeHost();
