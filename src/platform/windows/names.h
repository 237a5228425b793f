// File names between the program's UTF-8 and Windows' UTF-16.
#pragma once

#include <string>

// A name in UTF-16: decoded as UTF-8 when it is valid UTF-8 (unpaired
// surrogates included, as a wide command line can hold them), otherwise in
// the ANSI code page.
std::wstring wideName(const std::string& name);

// The wide name in UTF-8, unpaired surrogates kept, so that wideName gives
// back exactly the same name.
std::string narrowName(const wchar_t* name, size_t length);

// The name as CreateFileW wants it: a full path past the classic length
// limit gets the \\?\ prefix, which lifts the limit.
std::wstring systemPath(const char* path);
