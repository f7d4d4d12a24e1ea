#include "ui/Exports.h"

#include "audio/Render.h"
#include "audio/Synth.h"
#include "files/MidiFile.h"
#include "ui/FileAccess.h"

namespace quorlin::ui {

namespace {

QString fromUtf8(const std::string& text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

bool exportWav(const score::Performance& performance, const QString& target, QString soundFont,
               const ExportProgress& progress, QString& problem)
{
    if (soundFont.isEmpty()) {
        const std::vector<std::string> fonts = audio::installedSoundFonts();
        if (fonts.empty()) {
            problem = QStringLiteral("No sound font is installed to make the sound with.");
            return false;
        }
        soundFont = fromUtf8(fonts.front());
    }
    std::string error;
    const std::unique_ptr<audio::Synth> synth =
        audio::makeFluidSynth(soundFont.toStdString(), error);
    if (!synth) {
        problem = QStringLiteral("The sound font %1 could not be loaded: %2")
                      .arg(soundFont, fromUtf8(error));
        return false;
    }
    bool cancelled = false;
    const auto reporting = [&](double fraction) {
        cancelled = progress && !progress(fraction);
        return !cancelled;
    };
    if (audio::renderWav(performance, *synth, target.toStdString(), reporting, error))
        return true;
    problem = cancelled ? QString() : fromUtf8(error);
    return false;
}

} // namespace

bool exportPerformance(ExportFormat format, const score::Performance& performance,
                       const QString& target, const QString& soundFont,
                       const ExportProgress& progress, QString& problem)
{
    if (format == ExportFormat::Wav)
        return exportWav(performance, target, soundFont, progress, problem);
    const std::string bytes = files::midiFileBytes(performance);
    QString why;
    if (saveFile(target, QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())), why))
        return true;
    problem = QStringLiteral("%1 could not be written: %2").arg(target, why);
    return false;
}

} // namespace quorlin::ui
