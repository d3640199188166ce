// Tests only: settings of the WinSock stand-in that name no socket type, so
// a test that also includes the host's socket headers can reach them.
#pragma once

#include <cstdint>

// The address (four octets in network order, as the stand-in takes them)
// that stands for the any-address: sockets bound to the any-address are
// bound to it instead, and connections leave from it. Two processes of a
// test thus stand for two machines on loopback (127.0.0.1 and 127.0.0.2),
// each with its own sockets on the same port. 0 (the default): the
// any-address itself.
void PlatformSetLocalAddress(uint32_t address);

// Sockets made by socket() or accept() and not yet closed.
int PlatformOpenSocketCount();
