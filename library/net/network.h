// Network handles: TCP connections, made by connecting or accepted from the
// one listening socket, and UDP sockets. TCP data travel as messages, each a
// 32-bit little-endian length and that many bytes; every connection keeps a
// receive and a send ring, so callers read and write whole byte counts without
// waiting. All socket work runs on the main thread inside the message pump.
// Addresses are IPv4 as four octets in dotted order (the u32 holding them in
// memory order); a port of -1 stands for 10001 where a port is required.
#pragma once

#include <cstdint>

// Connects without waiting. The first call for an address and port starts
// the connection and gives NetWorkConnecting; later calls for them give
// NetWorkConnecting until it is made (its handle), or -1 (logged) once the
// peer has refused it or the connect time-out (2000 ms, counted from the
// first call) has passed. A connection made to them answers its handle
// again. One that nobody asks about again is given up by the message pump a
// second after its time-out.
int OpenNetWorkConnection(uint32_t address, int32_t port);
constexpr int NetWorkConnecting = -2;
int StartNetWorkListen(int32_t port);
int EndNetWorkListen();
// Bytes of complete messages waiting, or -1.
int GetNetWorkDataLength(int handle);
// The first accepted connection not yet reported, or -1. Accepted
// connections that their peer closed before they were reported can never be
// reported: they are closed here.
int TakeNewAcceptedNetWork();
int GetNetWorkPeerIP(int handle, uint32_t* address);
// Takes exactly length bytes of complete messages; -1 when fewer wait.
int NetWorkRecv(int handle, void* buffer, int32_t length);
int NetWorkSend(int handle, const void* buffer, uint32_t length);
// Closes a connection (what is still to send and the rest of a message being
// received get their drains first), 0; -1 for a handle that is not one.
int CloseNetWork(int handle);
// Closes a connection the program gives up at once, without the drains: what
// waits in its rings, and the rest of a message being received, are dropped.
// 0; -1 for a handle that is not one.
int CloseNetWorkAtOnce(int handle);
// Gives up the connection to the address and port that OpenNetWorkConnection
// is making and has not answered with its handle: its socket is closed at
// once. 0; -1 when none is being made.
int CancelNetWorkConnection(uint32_t address, int32_t port);
// port -1: not bound.
int CreateUdpNetWork(int32_t port);
int DeleteUdpNetWork(int handle);
// The bytes sent, -3 the socket would block, -2 the datagram is too large,
// -1 other errors. port -1: the socket's own port.
int UdpNetWorkSend(int handle, uint32_t address, int32_t port, const void* buffer, int32_t length);
// The bytes of the datagram, or -3, -2 (larger than the buffer) or -1. The
// sender's octets and port (host order) are written when asked for.
int UdpNetWorkRecv(int handle, uint8_t address[4], uint32_t* port, void* buffer, int32_t length, int32_t peek);
// 1 a datagram waits, 0 none, -1 a bad handle.
int UdpNetWorkCheckRecv(int handle);

int OpenNetWorkConnection_Unlocked(uint32_t address, int32_t port);
int CancelNetWorkConnection_Unlocked(uint32_t address, int32_t port);
int StartNetWorkListen_Unlocked(int32_t port);
int EndNetWorkListen_Unlocked();
int GetNetWorkDataLength_Unlocked(int handle);
int TakeNewAcceptedNetWork_Unlocked();
int GetNetWorkPeerIP_Unlocked(int handle, uint32_t* address);
int NetWorkRecv_Unlocked(int handle, void* buffer, int32_t length);
int NetWorkSend_Unlocked(int handle, const void* buffer, uint32_t length);
int CreateUdpNetWork_Unlocked(int32_t port);
int DeleteUdpNetWork_Unlocked(int handle);
int UdpNetWorkSend_Unlocked(int handle, uint32_t address, int32_t port, const void* buffer, int32_t length);
int UdpNetWorkRecv_Unlocked(int handle, uint8_t address[4], uint32_t* port, void* buffer, int32_t length,
                            int32_t peek);
int UdpNetWorkCheckRecv_Unlocked(int handle);

// Library shut-down: closes every socket (connections drain their rings first).
int EndNetWorkSystem();
// Closes the connections in error and gives up the connections being made
// that nobody has asked about for a second past their time-out (autoClose
// 1), then delivers the socket events
// waiting for the network's window. The message pump calls it every pass
// with 1, the network functions with 0.
int PumpNetWorkMessages(int autoClose);
// The network window's socket message: event word (error in the high half), socket.
int HandleSocketEvent(intptr_t event, uintptr_t socket);
