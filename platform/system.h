// Clock, random numbers and the program's own folder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/result.h"

namespace qvx {

// Wall-clock time broken into fields, as Windows' SYSTEMTIME holds it.
struct CivilTime {
  int year = 1601;
  int month = 1;  // 1..12
  int day = 1;    // 1..31
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;
};

// 100-ns intervals since 1 January 1601 (the Windows FILETIME count). The
// formats store local wall-clock time this way, without a time zone.
using FileTime = std::uint64_t;

// Local wall-clock time now, as a FILETIME count.
FileTime LocalFileTimeNow();

// Exact conversions between the two forms (proleptic Gregorian calendar).
FileTime CivilToFileTime(const CivilTime& t);
CivilTime FileTimeToCivil(FileTime t);

// Milliseconds since an arbitrary start, wrapping at 2^32 like GetTickCount.
std::uint32_t TickCount();

// Fills the buffer from the operating system's cryptographic generator.
Status RandomBytes(void* data, std::size_t size);

// Folder of the running program file, without a trailing separator.
std::string ProgramFolder();

}  // namespace qvx
