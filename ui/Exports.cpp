#include "ui/Exports.h"

#include "audio/FontCheck.h"
#include "audio/Level.h"
#include "audio/Render.h"
#include "audio/Synth.h"
#include "files/MidiFile.h"
#include "ui/FileAccess.h"

namespace quorlin::ui {

std::unique_ptr<audio::Synth> loadSynth(const QString& font, std::string& error)
{
    // The library opens the font by name and would wait forever on a named pipe.
    if (const QString why = regularFileProblem(font); !why.isEmpty()) {
        error = why.toStdString();
        return nullptr;
    }
    if (const audio::FontCheck check = audio::checkFontOnce(font.toStdString()); !check.good) {
        error = check.error;
        return nullptr;
    }
    return audio::makeFluidSynth(font.toStdString(), error);
}

namespace {

bool exportWav(const score::Performance& performance, const QString& target, QString soundFont,
               const ExportProgress& progress, QString& problem)
{
    std::string error;
    if (!audio::soundAvailable(error)) {
        problem = QString::fromStdString(error);
        return false;
    }
    if (soundFont.isEmpty()) {
        const std::vector<std::string> fonts = audio::installedSoundFonts();
        if (fonts.empty()) {
            problem = QStringLiteral("No sound font is installed to make the sound with.");
            return false;
        }
        soundFont = QString::fromStdString(fonts.front());
    }
    // Rendering writes beside the target and renames over it, which must never replace a
    // pipe or a device.
    if (const QString why = replaceableProblem(target); !why.isEmpty()) {
        problem = QStringLiteral("%1 could not be written: %2").arg(target, why);
        return false;
    }
    const std::unique_ptr<audio::Synth> synth = loadSynth(soundFont, error);
    if (!synth) {
        problem = QStringLiteral("The sound font %1 could not be loaded: %2")
                      .arg(soundFont, QString::fromStdString(error));
        return false;
    }
    bool cancelled = false;
    const auto reporting = [&](double fraction) {
        cancelled = progress && !progress(fraction);
        return !cancelled;
    };
    if (audio::renderWavAtLevel(performance, *synth, target.toStdString(), reporting, error))
        return true;
    problem = cancelled ? QString() : QString::fromStdString(error);
    return false;
}

bool saveWhole(const std::string& bytes, const QString& target, QString& problem)
{
    QString why;
    if (saveFile(target, QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())), why))
        return true;
    problem = QStringLiteral("%1 could not be written: %2").arg(target, why);
    return false;
}

} // namespace

bool exportPerformance(ExportFormat format, const score::Performance& performance,
                       const QString& target, const QString& soundFont,
                       const ExportProgress& progress, QString& problem)
{
    if (format == ExportFormat::Wav)
        return exportWav(performance, target, soundFont, progress, problem);
    return saveWhole(files::midiFileBytes(performance), target, problem);
}

bool exportMusicXml(const score::Score& score, const instrument::Tuning& tuning,
                    const files::SongHeader& header, const files::MusicXmlOptions& options,
                    const QString& target, QString& problem)
{
    return saveWhole(files::musicXmlText(score, tuning, header, options), target, problem);
}

} // namespace quorlin::ui
