#include "files/SongReaders.h"

#include "files/TextEncoding.h"

#include <algorithm>
#include <cctype>
#include <exception>
#include <optional>

namespace quorlin::files {

namespace {

bool startsWith(std::string_view bytes, std::string_view magic)
{
    return bytes.substr(0, magic.size()) == magic;
}

std::string lowerExtension(std::string_view name)
{
    const std::size_t dot = name.find_last_of('.');
    const std::size_t slash = name.find_last_of("/\\");
    if (dot == std::string_view::npos || (slash != std::string_view::npos && slash > dot))
        return {};
    std::string extension(name.substr(dot + 1));
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension;
}

// A zip's entries are named in plain text in their local headers and the central directory.
bool holdsEntry(std::string_view zip, std::string_view entry)
{
    return zip.find(entry) != std::string_view::npos;
}

// Past a byte-order mark and blanks, where an XML text's first tag stands.
std::string_view xmlStart(std::string_view bytes)
{
    if (startsWith(bytes, "\xEF\xBB\xBF"))
        bytes.remove_prefix(3);
    const std::size_t first = bytes.find_first_not_of(" \t\r\n");
    return first == std::string_view::npos ? std::string_view{} : bytes.substr(first);
}

// The root's name may follow a declaration, comments and a doctype: a few kilobytes hold it.
constexpr std::size_t kXmlPrologue = 4096;

} // namespace

SongFormat songFormat(std::string_view bytes, std::string_view name)
{
    if (startsWith(bytes, "MThd"))
        return SongFormat::Midi;
    if (bytes.size() > 1 && bytes.substr(1, 18) == "FICHIER GUITAR PRO")
        return SongFormat::GuitarPro;
    if (startsWith(bytes, "BCFZ") || startsWith(bytes, "BCFS"))
        return SongFormat::GuitarPro6;
    if (startsWith(bytes, std::string_view("PK\3\4", 4))) {
        if (holdsEntry(bytes, "Content/score.gpif"))
            return SongFormat::GuitarPro7;
        if (holdsEntry(bytes, "META-INF/container.xml"))
            return SongFormat::CompressedMusicXml;
        return SongFormat::None;
    }
    // XML may be UTF-16 (MusicXML allows it): its start is looked at as UTF-8. An even
    // length keeps the last character whole.
    const std::optional<std::string> wide = utf16ToUtf8(bytes.substr(0, 2 * kXmlPrologue + 16));
    const std::string_view xml = xmlStart(wide ? std::string_view(*wide) : bytes);
    const std::string_view prologue = xml.substr(0, kXmlPrologue);
    if (startsWith(xml, "<?xml") || startsWith(xml, "<!") || startsWith(xml, "<score-")) {
        if (holdsEntry(prologue, "<score-partwise") || holdsEntry(prologue, "<score-timewise"))
            return SongFormat::MusicXml;
    }
    const std::string extension = lowerExtension(name);
    if (startsWith(xml, "<") && (extension == "musicxml" || extension == "xml"))
        return SongFormat::MusicXml;
    return SongFormat::None;
}

std::string formatName(SongFormat format)
{
    switch (format) {
    case SongFormat::Midi:
        return "a MIDI file";
    case SongFormat::GuitarPro:
        return "a Guitar Pro 3 to 5 file";
    case SongFormat::GuitarPro6:
        return "a Guitar Pro 6 file";
    case SongFormat::GuitarPro7:
        return "a Guitar Pro 7 file";
    case SongFormat::MusicXml:
        return "a MusicXML file";
    case SongFormat::CompressedMusicXml:
        return "a compressed MusicXML file";
    case SongFormat::None:
        break;
    }
    return "not a file Quorlin imports";
}

SongReaders builtInReaders()
{
    SongReaders readers;
    readers.midi = readMidiSong;
    readers.musicXml = readMusicXmlSong;
    readers.guitarPro = readGuitarProSong;
    return readers;
}

SongReading readSong(std::string_view bytes, std::string_view name, const SongReaders& readers)
{
    if (bytes.size() > kLargestSongFile)
        return {{},
                "is larger than " + std::to_string(kLargestSongFile / (1024 * 1024)) +
                    " MB, more than any song: not read"};
    const SongFormat format = songFormat(bytes, name);
    SongReader reader = nullptr;
    switch (format) {
    case SongFormat::Midi:
        reader = readers.midi;
        break;
    case SongFormat::GuitarPro:
    case SongFormat::GuitarPro6:
    case SongFormat::GuitarPro7:
        reader = readers.guitarPro;
        break;
    case SongFormat::MusicXml:
    case SongFormat::CompressedMusicXml:
        reader = readers.musicXml;
        break;
    case SongFormat::None:
        return {{}, "is not a file Quorlin imports (Guitar Pro, MusicXML or MIDI)"};
    }
    if (reader == nullptr)
        return {{}, "is " + formatName(format) + ", which this build of Quorlin cannot read yet"};
    try {
        SongReading reading = reader(bytes);
        if (reading.ok() && reading.song.tracks.empty())
            reading.error = "holds no tracks";
        return reading;
    } catch (const std::exception& e) {
        // A reader never throws on purpose; a fault in one is still no reason to stop.
        return {{}, std::string("could not be read: ") + e.what()};
    }
}

} // namespace quorlin::files
