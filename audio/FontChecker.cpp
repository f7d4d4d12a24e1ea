// quorlin-sound-check FONT: loads the font as playback does and sounds every preset a tab
// uses, in a process that may crash or hang without harm. Exit 0 when it played, or 1 with the
// reason on standard output.

#include "audio/SoundModule.h"
#include "score/Performance.h"

#include <cstdio>
#include <vector>

int main(int argc, char** argv)
{
    using namespace quorlin;
    if (argc != 2) {
        std::fprintf(stderr, "usage: quorlin-sound-check FONT\n");
        return 2;
    }
    std::string error;
    auto synth = audio::module::openFluidSynth(argv[1], audio::FluidSynthOptions{}, error);
    if (!synth) {
        std::printf("%s\n", error.c_str());
        return 1;
    }
    // Low, middle and high keys on each channel, so that every sample zone is decoded and
    // played here first.
    for (int channel :
         {score::kFingerChannel, score::kSlapChannel, score::kPopChannel, score::kClickChannel}) {
        for (int key : {23, 40, 60, score::kClickKey}) {
            score::Event on;
            on.kind = score::EventKind::NoteOn;
            on.channel = static_cast<std::uint8_t>(channel);
            on.number = static_cast<std::uint8_t>(key);
            on.value = 100;
            synth->send(on);
        }
    }
    std::vector<float> left(4096), right(4096);
    for (int block = 0; block < 8; ++block)
        synth->render(left.data(), right.data(), 4096);
    synth->allNotesOff();
    synth->render(left.data(), right.data(), 4096);
    return 0;
}
