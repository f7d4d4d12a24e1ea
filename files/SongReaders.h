#pragma once

// Which foreign format a file is, by its first bytes before its name, and the readers that
// turn each into a Song. No Qt here.

#include "files/Song.h"

#include <string>
#include <string_view>

namespace quorlin::files {

enum class SongFormat {
    None, // not a file a song is read from (a tab, a text, something else)
    Midi,
    GuitarPro,  // .gp3, .gp4, .gp5: "FICHIER GUITAR PRO" after a length byte
    GuitarPro6, // .gpx: the "BCFZ" or "BCFS" container
    GuitarPro7, // .gp: a zip holding Content/score.gpif
    MusicXml,
    CompressedMusicXml, // .mxl: a zip holding META-INF/container.xml
};

// The magic bytes decide; the name only where a file has none (MusicXML without its XML
// declaration, named .musicxml or .xml).
SongFormat songFormat(std::string_view bytes, std::string_view name);

// "a MIDI file", "a Guitar Pro 6 file".
std::string formatName(SongFormat format);

// Each reader's entry point, defined in its own file (files/MidiImport.cpp, ...). The
// bytes are the whole file; the format above told which reader takes them.
SongReading readMidiSong(std::string_view bytes);
SongReading readMusicXmlSong(std::string_view bytes);  // plain and compressed
SongReading readGuitarProSong(std::string_view bytes); // versions 3 to 8 (.gp3 to .gp, .gpx)

using SongReader = SongReading (*)(std::string_view bytes);

struct SongReaders {
    SongReader midi = nullptr;
    SongReader musicXml = nullptr;
    SongReader guitarPro = nullptr;
};

// The readers built into this program; a format without one is refused with its name.
SongReaders builtInReaders();

// The song in the bytes, or why not, in words after the file's name ("is not a file Quorlin
// imports"). Never throws on any bytes.
SongReading readSong(std::string_view bytes, std::string_view name,
                     const SongReaders& readers = builtInReaders());

} // namespace quorlin::files
