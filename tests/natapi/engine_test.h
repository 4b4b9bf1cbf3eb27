// Tests against the NAT engine simulator: each starts with an empty engine
// and an empty log of received commands.
#pragma once

#include "support/sandbox.h"
#include "zolt_natsim.h"

namespace natapi_test {

class EngineTest : public sandbox::Test {
protected:
    void SetUp() override
    {
        sandbox::Test::SetUp();
        natsim_reset();
    }
};

} // namespace natapi_test
