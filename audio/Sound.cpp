#include "audio/SoundModule.h"

#include <dlfcn.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

namespace quorlin::audio {

namespace {

namespace fs = std::filesystem;

bool isFontName(const fs::path& path)
{
    auto ext = path.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext == ".sf2" || ext == ".sf3";
}

// Stands in for the device when the module is missing, so that Play is refused as it is on
// a machine without sound.
class MissingOutput final : public AudioOutput {
public:
    explicit MissingOutput(std::string why) : m_why(std::move(why)) {}
    bool start(FillFunction, std::string& error) override
    {
        error = m_why;
        return false;
    }
    void stop() override {}
    double latencySeconds() const override { return 0.0; }

private:
    std::string m_why;
};

} // namespace

std::vector<std::string> soundModuleCandidates(const std::string& executableDir)
{
    const fs::path dir(executableDir);
    return {(dir / kSoundModuleFile).string(),
            (dir / ".." / "lib" / "quorlin" / "modules" / kSoundModuleFile)
                .lexically_normal()
                .string()};
}

const SoundPorts* loadSoundPorts(const std::vector<std::string>& candidates, std::string& error)
{
    // The reason given is that of the first module present, or of the last one looked for.
    std::string why = "no module to look for";
    bool present = false;
    for (const std::string& path : candidates) {
        std::error_code ec;
        const bool exists = fs::exists(path, ec);
        void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        const char* reason = nullptr;
        if (handle) {
            using Factory = const SoundPorts* (*)();
            if (auto factory = reinterpret_cast<Factory>(::dlsym(handle, kSoundPortsSymbol)))
                if (const SoundPorts* ports = factory())
                    return ports;
            reason = ::dlerror();
            ::dlclose(handle);
        } else {
            reason = ::dlerror();
        }
        if (!present) {
            why = reason ? reason : path + ": no sound ports";
            present = exists;
        }
    }
    error = "sound is not available: " + why;
    return nullptr;
}

const SoundPorts* soundPorts(std::string& error)
{
    static std::string why;
    static const SoundPorts* const ports = [] {
        std::error_code ec;
        const fs::path self = fs::read_symlink("/proc/self/exe", ec);
        return loadSoundPorts(soundModuleCandidates(self.parent_path().string()), why);
    }();
    if (!ports)
        error = why;
    return ports;
}

bool soundAvailable(std::string& error)
{
    return soundPorts(error) != nullptr;
}

std::unique_ptr<Synth> makeFluidSynth(const std::string& fontPath, std::string& error)
{
    return makeFluidSynth(fontPath, FluidSynthOptions{}, error);
}

std::unique_ptr<Synth> makeFluidSynth(const std::string& fontPath, const FluidSynthOptions& options,
                                      std::string& error)
{
    const SoundPorts* ports = soundPorts(error);
    return ports ? ports->synth(fontPath, options, error) : nullptr;
}

std::unique_ptr<AudioOutput> makeDeviceOutput(const DeviceSettings& settings)
{
    std::string error;
    if (const SoundPorts* ports = soundPorts(error))
        return ports->device(settings);
    return std::make_unique<MissingOutput>(error);
}

std::vector<std::string> installedSoundFonts()
{
    std::vector<std::string> fonts;
    std::vector<fs::path> seen;
    for (const char* dir : {"/usr/share/sounds/sf2", "/usr/share/sounds/sf3"}) {
        std::error_code ec;
        std::vector<fs::path> found;
        for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
            if (isFontName(it->path()))
                found.push_back(it->path());
        }
        std::sort(found.begin(), found.end());
        for (const auto& path : found) {
            const fs::path real = fs::canonical(path, ec);
            if (ec || !fs::is_regular_file(real, ec))
                continue;
            if (std::find(seen.begin(), seen.end(), real) != seen.end())
                continue;
            seen.push_back(real);
            fonts.push_back(path.string());
        }
    }
    // The General MIDI fonts have the bass programs the tab plays.
    const auto generalMidi = [](const std::string& path) {
        const auto name = fs::path(path).filename().string();
        return name.starts_with("FluidR3_GM") || name.starts_with("default-GM");
    };
    std::stable_partition(fonts.begin(), fonts.end(), generalMidi);
    return fonts;
}

} // namespace quorlin::audio
