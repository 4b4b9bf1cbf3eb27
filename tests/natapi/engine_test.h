// Tests of the library against the NAT engine simulator: each test starts
// with an empty engine and an empty log of received commands.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "agapi.h"
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

// The one command the engine received since the log was last cleared.
inline const natsim_call &only_call()
{
    EXPECT_EQ(natsim_log_size(), 1u);
    static const natsim_call none{};
    const natsim_call *c = natsim_log_entry(natsim_log_size() - 1);
    return c ? *c : none;
}

// Bytes the engine copied of field I.
inline std::string field(const natsim_call &c, int i)
{
    return c.data[i] ? std::string(reinterpret_cast<const char *>(c.data[i]), c.data_len[i]) : "";
}

// A value as the engine sees it in memory.
template <typename T>
std::string bytes(T v)
{
    std::string s(sizeof v, '\0');
    std::memcpy(s.data(), &v, sizeof v);
    return s;
}

inline std::vector<uint32_t> lengths(const natsim_call &c, int n)
{
    return std::vector<uint32_t>(c.length, c.length + n);
}

} // namespace natapi_test
