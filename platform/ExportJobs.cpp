#include "platform/ExportJobs.h"

#include "audio/FontCheck.h"
#include "audio/Level.h"
#include "audio/Render.h"
#include "audio/Synth.h"
#include "files/MidiFile.h"
#include "platform/FileAccess.h"
#include "storage/AtomicFile.h"
#include "storage/RegularFile.h"

#include <QFile>

namespace quorlin::platform {

std::unique_ptr<audio::Synth> loadSynth(const std::string& font, std::string& error)
{
    // The library opens the font by name and would wait forever on a named pipe.
    if (std::string why = storage::regularFileProblem(font); !why.empty()) {
        error = std::move(why);
        return nullptr;
    }
    if (const audio::FontCheck check = audio::checkFontOnce(font); !check.good) {
        error = check.error;
        return nullptr;
    }
    return audio::makeFluidSynth(font, error);
}

namespace {

bool exportWav(const score::Performance& performance, const std::string& target,
               std::string soundFont, const ExportProgress& progress, QString& problem)
{
    std::string error;
    if (!audio::soundAvailable(error)) {
        problem = QString::fromStdString(error);
        return false;
    }
    if (soundFont.empty()) {
        const std::vector<std::string> fonts = audio::installedSoundFonts();
        if (fonts.empty()) {
            problem = QStringLiteral("No sound font is installed to make the sound with.");
            return false;
        }
        soundFont = fonts.front();
    }
    const std::unique_ptr<audio::Synth> synth = loadSynth(soundFont, error);
    if (!synth) {
        problem = QStringLiteral("The sound font %1 could not be loaded: %2")
                      .arg(QFile::decodeName(soundFont.c_str()), QString::fromStdString(error));
        return false;
    }
    bool cancelled = false;
    const auto reporting = [&](double fraction) {
        cancelled = progress && !progress(fraction);
        return !cancelled;
    };
    if (audio::renderWavAtLevel(performance, *synth, target, reporting, error))
        return true;
    problem = cancelled ? QString() : QString::fromStdString(error);
    return false;
}

bool saveWhole(const std::string& bytes, const std::string& target, QString& problem)
{
    std::string why;
    if (storage::writeFile(target, bytes, {}, why))
        return true;
    problem =
        QStringLiteral("%1 could not be written: %2")
            .arg(QFile::decodeName(QByteArray::fromStdString(target)), QString::fromStdString(why));
    return false;
}

} // namespace

bool exportPerformance(ExportFormat format, const score::Performance& performance,
                       const std::string& target, const std::string& soundFont,
                       const ExportProgress& progress, QString& problem)
{
    if (format == ExportFormat::Wav)
        return exportWav(performance, target, soundFont, progress, problem);
    return saveWhole(files::midiFileBytes(performance), target, problem);
}

bool exportMusicXml(const score::Score& score, const instrument::Tuning& tuning,
                    const files::SongHeader& header, const files::MusicXmlOptions& options,
                    const std::string& target, QString& problem)
{
    return saveWhole(files::musicXmlText(score, tuning, header, options), target, problem);
}

} // namespace quorlin::platform
