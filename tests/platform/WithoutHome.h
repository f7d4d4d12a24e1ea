#pragma once

// HOME and the XDG folders unset for one scope, as a service manager may start a program.

#include <QByteArray>
#include <QtGlobal>

#include <array>
#include <optional>

namespace quorlin::platform::testing {

class WithoutHome {
public:
    WithoutHome()
    {
        for (std::size_t i = 0; i < kNames.size(); ++i) {
            if (qEnvironmentVariableIsSet(kNames[i]))
                m_saved[i] = qgetenv(kNames[i]);
            qunsetenv(kNames[i]);
        }
    }
    ~WithoutHome()
    {
        for (std::size_t i = 0; i < kNames.size(); ++i) {
            if (m_saved[i])
                qputenv(kNames[i], *m_saved[i]);
        }
    }
    WithoutHome(const WithoutHome&) = delete;
    WithoutHome& operator=(const WithoutHome&) = delete;

private:
    static constexpr std::array<const char*, 3> kNames{"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME"};
    std::array<std::optional<QByteArray>, 3> m_saved;
};

} // namespace quorlin::platform::testing
