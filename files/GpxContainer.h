#pragma once

// Guitar Pro 6 files (.gpx): a small file system of 4096-byte sectors ("BCFS"), usually
// packed by a bit-level LZ77 scheme ("BCFZ"). What is wanted inside is the score's XML,
// score.gpif. Every size and sector number is checked against the bytes there are and
// against kLargestSongFile before it is used. No Qt.

#include "files/ZipArchive.h"

#include <string>
#include <string_view>

namespace quorlin::files {

// The bytes, or why not: the same answer a zip member gives.
using GpxMember = ZipMember;

// The "BCFS" image a "BCFZ" file unpacks to (a "BCFS" file is given back as it is).
GpxMember unpackGpx(std::string_view bytes);

// The member named `name` ("score.gpif") of a "BCFZ" or "BCFS" file.
GpxMember readGpxMember(std::string_view bytes, std::string_view name);

} // namespace quorlin::files
