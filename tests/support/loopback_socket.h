#ifndef BOOTSTRAP_TESTS_SUPPORT_LOOPBACK_SOCKET_H_
#define BOOTSTRAP_TESTS_SUPPORT_LOOPBACK_SOCKET_H_

// A TCP socket listening on 127.0.0.1, on a port the kernel picked, which
// goes to *port; -1 (and a test failure) when there is none.
int listenOnLoopback(int* port);

// Whether something accepts a TCP connection on 127.0.0.1:port.
bool connectsToLoopback(int port);

#endif
