// Internal to the WinSock stand-in: its host side, kept in a source file of
// its own because the host's socket functions bear WinSock's names. Sockets
// are the host's descriptors of IPv4 sockets made here; addresses and ports
// are in network byte order. Every call returns its result (0 or more), or
// minus a WinSock error code.
#pragma once

#include <cstdint>

#include "platform/win32/win32_window.h"

namespace host_sockets {

// stream: TCP, else UDP.
int Open(bool stream);
int Close(int socket);
int Bind(int socket, uint32_t address, uint16_t port);
int Listen(int socket, int backlog);
// The new socket; the caller's address and port are written when not null.
int Accept(int socket, uint32_t* address, uint16_t* port);
int Connect(int socket, uint32_t address, uint16_t port);
// how: 0 receive, 1 send, 2 both.
int Shutdown(int socket, int how);
int LocalName(int socket, uint32_t* address, uint16_t* port);
// to: null for a connected socket, else {address, port}.
int Send(int socket, const void* bytes, int length, const uint32_t* toAddress, const uint16_t* toPort);
// from address and port may be null.
int Receive(int socket, void* bytes, int length, bool peek, uint32_t* fromAddress, uint16_t* fromPort);
int Select(int socket, HWND window, UINT message, long events);

int HostName(char* name, int length);
// Up to max IPv4 addresses of the name into out; the count, or minus an error.
int Lookup(const char* name, uint32_t* out, int max);

int OpenCount();
void SetLocalAddress(uint32_t address);

}  // namespace host_sockets
