#pragma once

// Settings added since the kept tuning, beside it in the same store: each a named value with
// a default, as UTF-8 bytes so that any path survives.

#include "instrument/Settings.h"

#include <string>

namespace quorlin::instrument {

struct Preference {
    const char* name;
    const char* fallback;
};

// The sound font playback and the WAV export use; empty for the first one installed.
inline constexpr Preference kSoundFontPreference{"SoundFont", ""};
// The last sound font that loaded well, as its size, modification time and path: it is not
// tried apart again while it stays the same.
inline constexpr Preference kGoodSoundFontPreference{"GoodSoundFont", ""};

std::string loadPreference(SettingsStore& store, const Preference& preference);
// False when the store cannot be written.
bool savePreference(SettingsStore& store, const Preference& preference, const std::string& value);

} // namespace quorlin::instrument
