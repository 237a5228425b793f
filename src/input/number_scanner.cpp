#include "input/number_scanner.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <new>
#include <string>
#include <system_error>

namespace {

bool isSpace(int c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool isDigit(int c) { return c >= '0' && c <= '9'; }
bool isHexDigit(int c) {
  return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
// ASCII letters differ from their capitals by one bit; compared only
// against lower-case letters, so no other byte can match by accident.
int lowered(int c) { return c | 0x20; }

// Walks one number forward from `begin` without consuming it, fetching more
// input as needed; a number that outgrows the buffer moves to the spill.
struct NumberCursor {
  MeshPointsFile* file;
  NumberScratch* scratch;
  size_t length = 0;  // bytes of the number at data[begin ..]
  bool spilled = false;
  bool tooLong = false;  // the spill outgrew the heap: the number fails

  // The next byte, or -1 at the end of the data.
  int peek() {
    if (file->begin + length < file->end) {
      return static_cast<unsigned char>(file->data[file->begin + length]);
    }
    return peekAfterFetch();
  }
  void take() { ++length; }
  // peek() and take() when the byte is `wanted` in either case.
  bool takeLetter(int wanted) {
    if (lowered(peek()) != wanted) return false;
    take();
    return true;
  }

  int peekAfterFetch() {
    for (;;) {
      if (fetchMorePointsText(file)) return static_cast<unsigned char>(file->data[file->begin + length]);
      if (file->endOfData) return -1;
      try {
        scratch->spill.append(file->data + file->begin, length);
      } catch (const std::bad_alloc&) {
        tooLong = true;
        return -1;
      }
      spilled = true;
      file->begin += length;
      length = 0;
    }
  }
};

// Whether a number that from_chars found out of range overflowed rather
// than underflowed: the place of its leading digit, moved by its exponent,
// is above the units. Out of range happens only hundreds of places away
// from the units, so the estimate cannot be wrong.
bool overflowed(const char* first, const char* last, bool hex) {
  const char mark = hex ? 'p' : 'e';
  int64_t place = 0;  // leading nonzero digit: 1 for the units, 0 for tenths, ...
  bool leadingZeros = true;
  bool afterPoint = false;
  const char* at = first;
  for (; at < last && lowered(static_cast<unsigned char>(*at)) != mark; ++at) {
    if (*at == '.') {
      afterPoint = true;
    } else if (leadingZeros && *at == '0') {
      if (afterPoint) --place;
    } else {
      leadingZeros = false;
      if (!afterPoint && place < INT32_MAX) ++place;
    }
  }
  int64_t exponent = 0;
  if (at < last) {
    ++at;
    const bool negative = at < last && *at == '-';
    if (at < last && (*at == '+' || *at == '-')) ++at;
    for (; at < last && isDigit(*at); ++at) exponent = std::min<int64_t>(exponent * 10 + (*at - '0'), INT32_MAX);
    if (negative) exponent = -exponent;
  }
  return (hex ? 4 * place : place) + exponent > 0;
}

// What strtod makes of a delimited number: the longest prefix that is a
// number, correctly rounded, underflow to a signed zero and overflow to a
// signed infinity; "0x" with no hex digit after it is the 0 before the x.
// Done with from_chars, so that every C library gives the same values.
bool convertSlowly(const char* text, double* value) {
  const char* at = text;
  const bool negative = *at == '-';
  if (*at == '+' || *at == '-') ++at;
  const char* last = at + std::strlen(at);
  const bool hex = at[0] == '0' && lowered(static_cast<unsigned char>(at[1])) == 'x';
  const char* digits = hex ? at + 2 : at;
  double magnitude = 0;
  const std::from_chars_result result =
      std::from_chars(digits, last, magnitude, hex ? std::chars_format::hex : std::chars_format::general);
  if (result.ptr == digits) {
    if (!hex) return false;
    magnitude = 0;
  } else if (result.ec == std::errc::result_out_of_range) {
    magnitude = overflowed(digits, result.ptr, hex) ? HUGE_VAL : 0.0;
  }
  *value = negative ? -magnitude : magnitude;
  return true;
}

// Converts a delimited number the way scanf does: a plain decimal through
// from_chars (correctly rounded, as strtod rounds), anything else, or a
// plain one it cannot take whole, as strtod would. When `spilled`, the
// number starts in scratch->spill and ends at first .. last.
bool convertNumber(const char* first, const char* last, bool plain, bool spilled,
                   NumberScratch* scratch, double* value) {
  if (plain && !spilled) {
    // The leading '+' is scanf's, not from_chars'.
    const char* digits = (*first == '+') ? first + 1 : first;
    const std::from_chars_result result = std::from_chars(digits, last, *value);
    if (result.ec == std::errc() && result.ptr == last) return true;
  }
  std::string& text = scratch->text;
  try {
    if (spilled) {
      text.assign(scratch->spill);
    } else {
      text.clear();
    }
    text.append(first, static_cast<size_t>(last - first));
  } catch (const std::bad_alloc&) {
    return false;  // a number too long to hold ends the list like a bad one
  }
  return convertSlowly(text.c_str(), value);
}

// Takes "nan", "inf" or "infinity" in any mix of cases, from the peeked
// letter c ('n' or 'i'); false where the word breaks off.
bool takeWord(NumberCursor* cursor, int c) {
  cursor->take();
  if (lowered(c) == 'n') return cursor->takeLetter('a') && cursor->takeLetter('n');
  if (!cursor->takeLetter('n') || !cursor->takeLetter('f')) return false;
  if (!cursor->takeLetter('i')) return true;
  return cursor->takeLetter('n') && cursor->takeLetter('i') && cursor->takeLetter('t') &&
         cursor->takeLetter('y');
}

// Takes a decimal or "0x" number's digits, point and exponent from the
// peeked byte c, as far as scanf's one byte of look-ahead goes; false when
// nothing but the sign (and the "0x") came. *plain turns false for hex.
bool takeNumeral(NumberCursor* cursor, int c, bool sign, bool* plain) {
  bool hex = false;
  bool digit = false;
  bool dot = false;
  bool exponent = false;
  bool afterExponentMark = false;
  if (c == '0') {
    cursor->take();
    c = cursor->peek();
    if (lowered(c) == 'x') {
      cursor->take();
      hex = true;
      *plain = false;
      c = cursor->peek();
    } else {
      digit = true;
    }
  }
  const int exponentMark = hex ? 'p' : 'e';
  for (; c >= 0; c = cursor->peek()) {
    const bool wasExponentMark = afterExponentMark;
    afterExponentMark = false;
    if (isDigit(c) || (hex && !exponent && isHexDigit(c))) {
      digit = true;
    } else if (wasExponentMark && (c == '+' || c == '-')) {
      // sign of the exponent
    } else if (digit && !exponent && lowered(c) == exponentMark) {
      exponent = true;
      dot = true;
      afterExponentMark = true;
    } else if (!dot && c == '.') {
      dot = true;
    } else {
      break;
    }
    cursor->take();
  }
  const size_t taken = cursor->scratch->spill.size() + cursor->length;
  return taken != (sign ? 1u : 0u) && !(hex && taken == (sign ? 3u : 2u));
}

// Delimits one number exactly as glibc's scanf does (it never puts back
// more than one byte, so "1e+" or "0x1p" stay part of the number), consumes
// it and converts it. False when the conversion fails.
bool scanAnyNumber(MeshPointsFile* file, NumberScratch* scratch, double* value) {
  NumberCursor cursor{file, scratch};
  scratch->spill.clear();
  bool sign = false;
  int c = cursor.peek();
  if (c == '+' || c == '-') {
    cursor.take();
    sign = true;
    c = cursor.peek();
    if (c < 0) return false;
  }
  bool plain = true;  // only signs, digits, '.' and 'e': from_chars can take it
  if (lowered(c) == 'n' || lowered(c) == 'i') {
    if (!takeWord(&cursor, c)) return false;
    plain = false;
  } else if (!takeNumeral(&cursor, c, sign, &plain)) {
    return false;
  }
  if (cursor.tooLong) return false;

  const char* first = file->data + file->begin;
  file->begin += cursor.length;
  return convertNumber(first, first + cursor.length, plain, cursor.spilled, scratch, value);
}

// The common number, "[sign]digits[.digits]" followed by white space in the
// buffer, is delimited here without the general scan; where that pattern
// does not hold the general scan decides. Gives true for a finite number.
// `value` may be null when only the count matters: fewer than 300 integer
// digits without exponent are finite, so such numbers go unconverted.
bool scanFiniteNumber(MeshPointsFile* file, NumberScratch* scratch, double* value) {
  const char* first = file->data + file->begin;
  const char* limit = file->data + file->end;
  const char* at = first + ((*first == '+' || *first == '-') ? 1 : 0);
  const char* integers = at;
  while (at < limit && isDigit(*at)) ++at;
  const size_t integerDigits = static_cast<size_t>(at - integers);
  size_t digits = integerDigits;
  if (at < limit && *at == '.') {
    const char* fraction = ++at;
    while (at < limit && isDigit(*at)) ++at;
    digits += static_cast<size_t>(at - fraction);
  }
  double converted;
  double* to = value != nullptr ? value : &converted;
  if (digits > 0 && at < limit && isSpace(static_cast<unsigned char>(*at))) {
    file->begin = static_cast<size_t>(at - file->data);
    if (value == nullptr && integerDigits < 300) return true;
    return convertNumber(first, at, true, false, scratch, to) && std::isfinite(*to);
  }
  return scanAnyNumber(file, scratch, to) && std::isfinite(*to);
}

// Skips white space; false at the end of the data.
bool skipSpace(MeshPointsFile* file) {
  for (;;) {
    while (file->begin < file->end) {
      const char c = file->data[file->begin];
      if (!isSpace(static_cast<unsigned char>(c))) return true;
      if (c == '\n' && file->tally != nullptr) endTallyLine(file->tally);
      ++file->begin;
    }
    if (!fetchMorePointsText(file)) return false;
  }
}

}  // namespace

bool scanPointNumbers(MeshPointsFile* file, NumberScratch* scratch, MeshPoint* point, int64_t* stop) {
  double values[3];
  int64_t groupStart = -1;
  // The line where a group is cut short is the list's end, not a line of it:
  // the tally goes back to where the group began.
  MeshLineTally atGroupStart;
  for (double& value : values) {
    if (!skipSpace(file)) {
      *stop = groupStart;
      if (file->tally != nullptr && groupStart >= 0) *file->tally = atGroupStart;
      return false;
    }
    const int64_t at = static_cast<int64_t>(file->dropped + file->begin);
    if (groupStart < 0) {
      groupStart = at;
      if (file->tally != nullptr) atGroupStart = *file->tally;
    }
    if (!scanFiniteNumber(file, scratch, point != nullptr ? &value : nullptr)) {
      *stop = at;
      if (file->tally != nullptr) *file->tally = atGroupStart;
      return false;
    }
    if (file->tally != nullptr) ++file->tally->numbersOnLine;
  }
  if (point != nullptr) *point = MeshPoint{values[0], values[1], values[2]};
  return true;
}
