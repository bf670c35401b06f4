#include <gtest/gtest.h>

#include <cstdio>

int main(int argc, char** argv)
{
    // Wine's console may be a pipe: keep the report in order with other output.
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
