#include <gtest/gtest.h>

// The model and its operations are tested without any application object.
int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
