#include "platform/windows/names.h"

#include <windows.h>

#include <cstdint>

namespace {

// Decodes strict UTF-8 but for surrogates, which are kept: false on any
// other ill-formed sequence.
bool decodeUtf8(const std::string& name, std::wstring* wide) {
  const size_t size = name.size();
  for (size_t i = 0; i < size;) {
    const unsigned char lead = static_cast<unsigned char>(name[i]);
    uint32_t code;
    int more;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead < 0x80) {
      code = lead;
      more = 0;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      code = lead & 0x1Fu;
      more = 1;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      code = lead & 0x0Fu;
      more = 2;
      if (lead == 0xE0) low = 0xA0;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      code = lead & 0x07u;
      more = 3;
      if (lead == 0xF0) low = 0x90;
      if (lead == 0xF4) high = 0x8F;
    } else {
      return false;
    }
    if (size - i - 1 < static_cast<size_t>(more)) return false;
    for (int k = 1; k <= more; ++k) {
      const unsigned char next = static_cast<unsigned char>(name[i + static_cast<size_t>(k)]);
      if (next < (k == 1 ? low : 0x80) || next > (k == 1 ? high : 0xBF)) return false;
      code = (code << 6) | (next & 0x3Fu);
    }
    i += static_cast<size_t>(more) + 1;
    if (code >= 0x10000) {
      code -= 0x10000;
      wide->push_back(static_cast<wchar_t>(0xD800 + (code >> 10)));
      wide->push_back(static_cast<wchar_t>(0xDC00 + (code & 0x3FF)));
    } else {
      wide->push_back(static_cast<wchar_t>(code));
    }
  }
  return true;
}

void appendUtf8(std::string* out, uint32_t code) {
  if (code < 0x80) {
    out->push_back(static_cast<char>(code));
  } else if (code < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (code >> 6)));
    out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else if (code < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (code >> 12)));
    out->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (code >> 18)));
    out->push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
  }
}

}  // namespace

std::wstring wideName(const std::string& name) {
  std::wstring wide;
  if (decodeUtf8(name, &wide)) return wide;
  wide.clear();
  if (name.empty() || name.size() > INT32_MAX) return wide;
  const int size = static_cast<int>(name.size());
  const int length = MultiByteToWideChar(CP_ACP, 0, name.data(), size, nullptr, 0);
  if (length <= 0) return wide;
  wide.resize(static_cast<size_t>(length));
  MultiByteToWideChar(CP_ACP, 0, name.data(), size, wide.data(), length);
  return wide;
}

std::string narrowName(const wchar_t* name, size_t length) {
  std::string out;
  for (size_t i = 0; i < length; ++i) {
    uint32_t code = static_cast<uint16_t>(name[i]);
    if (code >= 0xD800 && code <= 0xDBFF && i + 1 < length) {
      const uint32_t next = static_cast<uint16_t>(name[i + 1]);
      if (next >= 0xDC00 && next <= 0xDFFF) {
        code = 0x10000 + ((code - 0xD800) << 10) + (next - 0xDC00);
        ++i;
      }
    }
    appendUtf8(&out, code);
  }
  return out;
}

std::wstring systemPath(const char* path) {
  const std::wstring wide = wideName(path);
  // Short enough for the classic limit whatever the current folder: as given.
  constexpr size_t classicLimit = MAX_PATH - 12;
  const DWORD needed = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (wide.empty() || needed == 0 || needed < classicLimit) return wide;
  std::wstring full(needed, L'\0');
  const DWORD written = GetFullPathNameW(wide.c_str(), needed, full.data(), nullptr);
  if (written == 0 || written >= needed) return wide;
  full.resize(written);
  if (full.rfind(L"\\\\?\\", 0) == 0 || full.rfind(L"\\\\.\\", 0) == 0) return full;
  if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}
