#include "dc_fixture.h"

TEST_F(DcTest, Smoke)
{
    attachDefault();
    EXPECT_TRUE(drv()->attached);
}
