#pragma once

#include "engine/TabText.h"

#include <string>
#include <vector>

namespace quorlin::engine {

class VectorTabText final : public TabText {
public:
    VectorTabText() = default;
    explicit VectorTabText(std::vector<std::string> lines) : m_lines(std::move(lines)) {}

    int count() const override;
    std::string line(int index) const override;
    void replace(int index, const std::string& text) override;
    void append(const std::string& text) override;
    void eraseAll() override;
    // Every change counts: a plain vector cannot tell who made it.
    std::uint64_t revision() const override { return m_revision; }

    const std::vector<std::string>& lines() const { return m_lines; }

private:
    bool holds(int index) const;

    std::vector<std::string> m_lines;
    std::uint64_t m_revision = 0;
};

} // namespace quorlin::engine
