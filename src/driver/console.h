// The console: stream buffering, the key wait and the final delay.
#pragma once

#include <cstdint>

// Standard output unbuffered while it is a terminal, fully buffered
// otherwise; standard error unbuffered.
void setupConsole();

// Blocks until one key is pressed on the controlling terminal (not standard
// input), without echo and with signals off, then restores the terminal's
// modes. Pending input is not discarded first; a multi-byte key (cursor,
// function, keypad, non-ASCII character) is consumed whole. Returns at once
// when the process has no terminal.
void waitForKey();

// Counts from 0 to 0x20000000 one increment at a time; optimisation cannot
// remove or shorten it.
void finalDelay();
