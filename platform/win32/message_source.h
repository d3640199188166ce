// Internal to the platform: stand-ins whose events reach the program as window
// messages without a host event of their own (the sockets' asynchronous
// selection) register a poll function here. PeekMessageA runs every one on the
// calling thread before it reads that thread's queue; a poll function posts
// what it finds with PostMessageA.
#pragma once

// Registering the same function twice keeps one entry. At most 8 functions.
void AddMessageSource(void (*poll)());
