// Port trigger policies: scanning of one value and the table they fill.
#include <string>
#include <vector>

#include "rules/forwarding/port_trigger_policy.h"
#include "support/sandbox.h"

namespace {

using arnonat::g_triggerPolicy;
using arnonat::PolicyScan;
using arnonat::TriggerPolicy;

PolicyScan scan(const std::string &value, TriggerPolicy &r)
{
    r = TriggerPolicy{};
    return arnonat::scan_trigger_policy(value.c_str(), r);
}

TEST(PortTriggerPolicyScan, EachPartIsCheckedOnBothSidesOfItsLimits)
{
    constexpr PolicyScan ok = PolicyScan::accepted, policy = PolicyScan::bad_policy,
                         in = PolicyScan::bad_inbound, out = PolicyScan::bad_outbound;
    const std::pair<const char *, PolicyScan> cases[] = {
        {"1:Game:2:6401a8c0:6:8000:X", ok},   // neither inbound nor outbound
        {"1:Game:2:6401a8c0:6:8000", policy}, // no rest: six fields
        {"1:Game:2:6401a8c0:6:8000: \t", policy},
        {"1::2:6401a8c0:6:8000:X", policy},
        {"1:Game:2:0x6401a8c0:6:8000:X", ok},
        {"1:Game:2:100000000:6:8000:X", policy}, // 33 bits
        {"1:Game:255:ffffffff:255:65535:X", ok},
        {"1:Game:256:6401a8c0:6:8000:X", policy},
        {"1:Game:2:6401a8c0:262:8000:X", policy}, // not 6 cut to 8 bits
        {"1:Game:2:6401a8c0:6:65536:X", policy},
        {"1:Game:2:6401a8c0:6:-1:X", policy},
        {"1:Game:2:6401a8c0:6:99999999999999999999999:X", policy},
        {" 1:Game: 2: 6401a8c0: 6:\t8000:  I1:1:6:9000:9010", ok}, // blanks as sscanf skips them
        {"1:Game:2:6401a8c0:6:8000:I1:1:6:9000", in},
        {"1:Game:2:6401a8c0:6:8000:I1:1:6:9000:65536", in},
        {"1:Game:2:6401a8c0:6:8000:I1:1:6:9000 :9010", in}, // the rest ends at a blank
        {"1:Game:2:6401a8c0:6:8000:I1:1:6:9000:9010:", ok},
        {"1:Game:2:6401a8c0:6:8000:I1:1:6:9000:9010:O1:1:6:1:2", ok},
        {"1:Game:2:6401a8c0:6:8000:I1:1:6:9000:9010:O1:1:6:1", out},
        {"1:Game:2:6401a8c0:6:8000:O1:1:6:65536:2", out},
    };
    TriggerPolicy r;
    for (const auto &[value, expected] : cases)
        EXPECT_EQ(static_cast<int>(scan(value, r)), static_cast<int>(expected)) << value;
}

TEST(PortTriggerPolicyScan, FieldsAreStoredAndALongNameIsCut)
{
    TriggerPolicy r;
    ASSERT_EQ(scan("7:Game night:2:6401a8c0:100:8000:I3:1:17:9000:9010:O4:1:6:5000:5010", r),
              PolicyScan::accepted);
    EXPECT_STREQ(r.sName, "Game night");
    EXPECT_EQ(r.bPolicyNo, 7);
    EXPECT_EQ(r.ulHostAddr, 0x6401a8c0u);
    EXPECT_EQ(r.bInProto, 17);
    EXPECT_EQ(r.usInEndPort, 9010);
    EXPECT_EQ(r.bOutProto, 6);
    EXPECT_EQ(r.usOutEndPort, 5010);

    std::string name(61, 'n');
    ASSERT_EQ(scan("1:" + name + std::string(500, 'z') + ":2:0:6:8000:I1:1:6:1:2", r), PolicyScan::accepted);
    EXPECT_EQ(std::string(r.sName), name);
    EXPECT_EQ(r.usInEndPort, 2);
}

class PortTriggerTable : public sandbox::Test {
protected:
    static void policies(const std::vector<std::string> &values)
    {
        sandbox::set("fwpt_count", std::to_string(values.size()));
        for (size_t k = 0; k < values.size(); ++k)
            sandbox::set("fwpt" + std::to_string(k), values[k]);
    }

    static std::string policy(int port) { return "1:P:2:0:6:" + std::to_string(port) + ":X"; }
};

TEST_F(PortTriggerTable, DroppedPoliciesLeaveNoGapsInTheList)
{
    policies({policy(1), policy(9), policy(9)});
    arnonat::read_trigger_policies(); // an earlier reading is reset
    policies({policy(1), "broken", policy(2), "1:G:2:0:6:5:I1:1:6", "1:G:2:0:6:5:O1", policy(3)});
    sandbox::set("fwpt_count", "7"); // fwpt6 is not set
    sandbox::StdoutCapture out;
    EXPECT_EQ(arnonat::read_trigger_policies(), 3);
    EXPECT_EQ(out.finish(), "Info: No FWPT default policies.\n"
                            "Invalid policy record (fwpt1)\n"
                            "Invalid inbound connections (fwpt3)\n"
                            "invalid outbound conn (fwpt4)\n"
                            "Invalid policy record (fwpt6)\n");
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(g_triggerPolicy[k].bInUse, k < 3) << k;
        EXPECT_EQ(g_triggerPolicy[k].usTrigPort, k < 3 ? k + 1 : 0) << k;
        EXPECT_EQ(g_triggerPolicy[k].iNext, k < 2 ? k + 1 : -1) << k;
    }
}

TEST_F(PortTriggerTable, TwentyPoliciesFillTheTableAndTheRestIsNotRead)
{
    std::vector<std::string> values;
    for (int port = 1; port <= 22; ++port)
        values.push_back(policy(port));
    values[3] = "bad";
    policies(values);
    sandbox::StdoutCapture out;
    EXPECT_EQ(arnonat::read_trigger_policies(), 20);
    EXPECT_EQ(g_triggerPolicy[18].iNext, 19);
    EXPECT_EQ(g_triggerPolicy[19].iNext, -1);
    EXPECT_EQ(g_triggerPolicy[19].usTrigPort, 21);
    values.resize(21); // exactly full: nothing left to refuse
    policies(values);
    EXPECT_EQ(arnonat::read_trigger_policies(), 20);
    std::string note = "Info: No FWPT default policies.\nInvalid policy record (fwpt3)\n";
    EXPECT_EQ(out.finish(), note + "Port trigger: table full with 20 policies, fwpt21 and later not read\n" + note);
}

TEST_F(PortTriggerTable, CountsAreBoundedAndDefaultPoliciesOnlyLookedAt)
{
    sandbox::set("fwpt_count", "99999999999");
    sandbox::set("fwpt_df_count", "2");
    sandbox::set("fwpt_df0", "1:Default:2:6401a8c0");
    sandbox::StdoutCapture out;
    EXPECT_EQ(arnonat::read_trigger_policies(), 0);
    sandbox::set("fwpt_count", "-4");
    sandbox::set("fwpt_df_count", "-1");
    EXPECT_EQ(arnonat::read_trigger_policies(), 0);
    std::string text = out.finish();
    EXPECT_EQ(text.rfind("Port trigger: fwpt_count 2147483647 too large, only the first 100 "
                         "policies are read\nInvalid policy record (fwpt0)\n", 0), 0u);
    EXPECT_EQ(text.size() - text.rfind("Invalid policy record (fwpt99)\n"), 31u); // and nothing after
}

} // namespace
