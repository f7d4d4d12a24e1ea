#include "engine/VectorTabText.h"

#include <gtest/gtest.h>

namespace quorlin::engine {
namespace {

TEST(VectorTabText, LinesOutsideTheTextReadEmptyAndIgnoreWrites)
{
    VectorTabText text({"| ", "G "});
    for (int index : {-1, 2, 1000}) {
        EXPECT_EQ(text.line(index), "") << index;
        text.replace(index, "X");
    }
    EXPECT_EQ(text.lines(), (std::vector<std::string>{"| ", "G "}));

    text.replace(1, "G --3");
    text.append("> ");
    EXPECT_EQ(text.lines(), (std::vector<std::string>{"| ", "G --3", "> "}));
    text.eraseAll();
    EXPECT_EQ(text.count(), 0);
}

} // namespace
} // namespace quorlin::engine
