// Any forwarding entries and router ports: the inbound records stay inside
// their 171 entries, the excluded list stays sorted, without overlaps,
// inside its 33 ranges, and the written text is sane.
#include "arnonat.h"
#include "fuzz/harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // The router's own ports, "|", the records.
    std::string text(reinterpret_cast<const char *>(data), size), ports = text.substr(0, text.find('|'));
    std::memset(&g_iPolicyRecord, 0, sizeof g_iPolicyRecord);
    fuzz::write_store({{"dmz_ipaddr", "10.0.0.2"}, {"http_rmport", ports}, {"usb_wan_ftp_enable", "1"},
                       {"usb_wan_ftp_port", ports.size() > 2 ? ports.substr(2) : ""},
                       {"inbound_record", text.find('|') == std::string::npos ? "" : text.substr(text.find('|') + 1)}});
    ArnonatPortRange list[ARNONAT_DMZ_RANGES_MAX] = {};
    ARNONAT_NatDmzPortStructBuild(ARNONAT_PROTO_TCP, list);
    fuzz::check(g_iPolicyRecord.count >= 0 && g_iPolicyRecord.count <= ARNONAT_INBOUND_MAX);
    for (int k = 0; k < ARNONAT_DMZ_RANGES_MAX && list[k].start; ++k)
        fuzz::check(list[k].end >= list[k].start && (k == 0 || list[k].start > list[k - 1].end + 1));
    static FILE *sink = std::fopen("/dev/null", "w");
    ARNONAT_ConfigureDmzPorts(sink, ARNONAT_PROTO_TCP);
    ARNONAT_ConfigureDmzPorts(sink, ARNONAT_PROTO_UDP);
    return 0;
}
