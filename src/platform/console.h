// The console and the command line.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

// The program's arguments as UTF-8, the program name first. On Windows they
// come from the wide command line, so any name works whatever the code page.
std::vector<std::string> commandLineArguments(int argc, char** argv);

// Standard output unbuffered while it is a console, fully buffered
// otherwise; standard error unbuffered.
void setupConsole();

// Prints text on stream as it stands. On a Windows console it is shown
// through the console's own characters, a path in it decoded as a file name
// is (UTF-8, else the ANSI code page); elsewhere the bytes go out unchanged.
void printText(FILE* stream, const std::string& text);

// The same for length bytes at text. Throws nothing: where showing the text
// as characters would need memory that is refused, its bytes go out as they
// stand.
void printText(FILE* stream, const char* text, size_t length);

// Blocks until one key is pressed on the console itself (not standard
// input), without echo and with Ctrl-C an ordinary key, then restores the
// console's modes. A key typed ahead and still pending ends it at once; a
// key that sends several bytes or events (cursor, function, keypad,
// non-ASCII character) is consumed whole. Returns at once when the process
// has no console.
void waitForKey();
