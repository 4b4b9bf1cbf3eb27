// Every library function of the service, filter and block-service tables,
// with what it prints and returns when the device is missing and when the
// engine refuses its command.  Shared by the simulator tests and the kernel
// device tests.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "agapi.h"
#include "natapi/command_table.h"

namespace natapi_test {

using arnonat::natapi::Command;

struct TableFunction {
    std::string name;
    Command command;
    // S, Q, D: the class.  A: the add with its diagnostic line; N: a lookup
    // by name (-1 on every failure); F: a filter add (silent refusal);
    // T: a filter table read (0, silently, on every failure).
    char kind;
    std::function<int()> call;
};

struct TableOutcome {
    std::string out;
    int result;
};

inline std::vector<TableFunction> table_functions()
{
    static FwServiceRecord service{};
    static FwServiceRecord services[AGAPI_SERVICES_MAX];
    static FwFilterRecord filter{};
    static FwBlkServRecord block{};
    static int counter;
    return {
        {"agApi_fwServiceList", Command::fwServiceList, 'S', [] { return agApi_fwServiceList(); }},
        {"agApi_fwServiceAdd", Command::fwServiceAdd, 'A', [] { return agApi_fwServiceAdd("FTP", 'T', 20, 21); }},
        {"agApi_fwServiceDel", Command::fwServiceDel, 'S', [] { return agApi_fwServiceDel(1); }},
        {"agApi_fwServiceMod", Command::fwServiceMod, 'S', [] { return agApi_fwServiceMod(1, &service); }},
        {"agApi_fwServiceDelByName", Command::fwServiceDelByName, 'Q', [] { return agApi_fwServiceDelByName("FTP"); }},
        {"agApi_fwServiceGetCnt", Command::fwServiceGetCnt, 'D', [] { return agApi_fwServiceGetCnt(); }},
        {"agApi_fwServiceGet", Command::fwServiceGet, 'D', [] { return agApi_fwServiceGet(1, &service); }},
        {"agApi_fwGetServiceByName", Command::fwGetServiceByName, 'N', [] { return agApi_fwGetServiceByName("FTP", &service); }},
        {"agApi_fwGetServiceName", Command::fwGetServiceName, 'S', [] { return agApi_fwGetServiceName(20, 21, 6, &service); }},
        {"agApi_fwGetAllServices", Command::fwGetAllServices, 'S', [] { return agApi_fwGetAllServices(services, AGAPI_SERVICES_MAX); }},
        {"agApi_fwServiceAdd_Session2", Command::fwServiceAdd_Session2, 'S', [] { return agApi_fwServiceAdd_Session2("FTP", 6, 20, 21); }},
        {"agApi_fwServiceDel_Session2", Command::fwServiceDel_Session2, 'S', [] { return agApi_fwServiceDel_Session2(1); }},
        {"agApi_fwServiceDelByName_Session2", Command::fwServiceDelByName_Session2, 'Q', [] { return agApi_fwServiceDelByName_Session2("FTP"); }},
        {"agApi_fwServiceMod_Session2", Command::fwServiceMod_Session2, 'S', [] { return agApi_fwServiceMod_Session2(1, &service); }},
        {"agApi_fwServiceGetCnt_Session2", Command::fwServiceGetCnt_Session2, 'D', [] { return agApi_fwServiceGetCnt_Session2(); }},
        {"agApi_fwServiceGet_Session2", Command::fwServiceGet_Session2, 'D', [] { return agApi_fwServiceGet_Session2(1, &service); }},
        {"agApi_fwGetServiceByName_Session2", Command::fwGetServiceByName_Session2, 'N', [] { return agApi_fwGetServiceByName_Session2("FTP", &service); }},
        {"agApi_fwGetAllServices_Session2", Command::fwGetAllServices_Session2, 'S', [] { return agApi_fwGetAllServices_Session2(services, AGAPI_SERVICES_MAX); }},
        {"agApi_fwFilterList", Command::fwFilterList, 'S', [] { return agApi_fwFilterList(); }},
        {"agApi_fwGetFilterTable", Command::fwGetFilterTable, 'T', [] { return agApi_fwGetFilterTable(nullptr); }},
        {"agApi_fwFilterAdd", Command::fwFilterAdd, 'F', [] { return agApi_fwFilterAdd(&filter, 3); }},
        {"agApi_fwFilterDel", Command::fwFilterDel, 'S', [] { return agApi_fwFilterDel(0); }},
        {"agApi_fwFilterMod", Command::fwFilterMod, 'S', [] { return agApi_fwFilterMod(0, &filter); }},
        {"agApi_fwFilterMove", Command::fwFilterMove, 'S', [] { return agApi_fwFilterMove(0, 1); }},
        {"agApi_fwFilterSche", Command::fwFilterSche, 'S', [] { return agApi_fwFilterSche(0, 1, 2); }},
        {"agApi_fwBlkServList", Command::fwBlkServList, 'S', [] { return agApi_fwBlkServList(); }},
        {"agApi_fwBlkServAdd", Command::fwBlkServAdd, 'S', [] { return agApi_fwBlkServAdd(&block); }},
        {"agApi_fwBlkServDel", Command::fwBlkServDel, 'S', [] { return agApi_fwBlkServDel(0); }},
        {"agApi_fwBlkServMod", Command::fwBlkServMod, 'S', [] { return agApi_fwBlkServMod(0, &block); }},
        {"agApi_fwBlkServMode", Command::fwBlkServMode, 'S', [] { return agApi_fwBlkServMode(1, 2, 3); }},
        {"agApi_fwFilterInsert", Command::fwFilterInsert, 'D', [] { return agApi_fwFilterInsert(&filter, 0); }},
        {"agApi_fwBlkServGetCnt", Command::fwBlkServGetCnt, 'D', [] { return agApi_fwBlkServGetCnt(); }},
        {"agApi_fwBlkServGet", Command::fwBlkServGet, 'D', [] { return agApi_fwBlkServGet(0, &block); }},
        {"agApi_fwBlkServModAction", Command::fwBlkServModAction, 'D', [] { return agApi_fwBlkServModAction(1); }},
        {"agApi_fwFilterGet", Command::fwFilterGet, 'D', [] { return agApi_fwFilterGet(0, &filter); }},
        {"agApi_getFltrRuleCnt", Command::getFltrRuleCnt, 'Q', [] { return agApi_getFltrRuleCnt(&counter); }},
        {"agApi_fwGetFilterTable_Session2", Command::fwGetFilterTable_Session2, 'T', [] { return agApi_fwGetFilterTable_Session2(nullptr); }},
        {"agApi_fwFilterGet_Session2", Command::fwFilterGet_Session2, 'D', [] { return agApi_fwFilterGet_Session2(0, &filter); }},
        {"agApi_fwFilterAdd_Session2", Command::fwFilterAdd_Session2, 'F', [] { return agApi_fwFilterAdd_Session2(&filter, 3); }},
        {"agApi_fwFilterDel_Session2", Command::fwFilterDel_Session2, 'S', [] { return agApi_fwFilterDel_Session2(0); }},
        {"agApi_fwFilterMod_Session2", Command::fwFilterMod_Session2, 'S', [] { return agApi_fwFilterMod_Session2(0, &filter); }},
        {"agApi_fwFilterInsert_Session2", Command::fwFilterInsert_Session2, 'D', [] { return agApi_fwFilterInsert_Session2(&filter, 0); }},
        {"agApi_fwBlkServAdd_Session2", Command::fwBlkServAdd_Session2, 'S', [] { return agApi_fwBlkServAdd_Session2(&block); }},
        {"agApi_fwBlkServGetCnt_Session2", Command::fwBlkServGetCnt_Session2, 'D', [] { return agApi_fwBlkServGetCnt_Session2(); }},
        {"agApi_fwBlkServGet_Session2", Command::fwBlkServGet_Session2, 'D', [] { return agApi_fwBlkServGet_Session2(0, &block); }},
        {"agApi_fwBlkServModAction_Session2", Command::fwBlkServModAction_Session2, 'D', [] { return agApi_fwBlkServModAction_Session2(1); }},
    };
}

inline TableOutcome when_absent(const TableFunction &f)
{
    const std::string nat = "Can't open device file: /dev/zolt_nat_cli\n";
    switch (f.kind) {
    case 'S': case 'A': case 'F':
        return {nat, 0};
    case 'N':
        return {nat, -1};
    default:
        return {"", 0};
    }
}

inline TableOutcome when_refused(const TableFunction &f, int result)
{
    const std::string failed = "[" + f.name + "]:ioctl_set_msg failed:" + std::to_string(result) + "\n";
    switch (f.kind) {
    case 'S': case 'N':
        return {failed, -1};
    case 'A':
        return {"agApi_fwServiceAdd 2504 sName: FTP, bProtocol: T, usStartPort: 20, usEndPort: 21\n" + failed, -1};
    case 'Q':
        return {"", -1};
    case 'T':
        return {"", 0};
    default: // D, F
        return {"", result};
    }
}

} // namespace natapi_test
