#include "Platform/X11/NameBasedUUID.h"
#include "Platform/X11/X11Monitors.h"

#include <gtest/gtest.h>

#include <cstring>

namespace tessary {
namespace {

// An EDID base block with a manufacturer, product, serial and optionally a name descriptor.
std::vector<uint8_t> makeEDID(uint16_t vendor, uint16_t product, uint32_t serial, const char* name) {
    std::vector<uint8_t> edid(128, 0);
    const uint8_t header[8] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
    std::memcpy(edid.data(), header, 8);
    edid[8] = static_cast<uint8_t>(vendor >> 8), edid[9] = static_cast<uint8_t>(vendor);
    edid[10] = static_cast<uint8_t>(product), edid[11] = static_cast<uint8_t>(product >> 8);
    for (int i = 0; i < 4; ++i) edid[12 + i] = static_cast<uint8_t>(serial >> (8 * i));
    if (name) {
        // The second descriptor: a display product name, ended by a line feed, padded with spaces.
        uint8_t* d = &edid[72];
        d[3] = 0xFC;
        size_t n = std::strlen(name);
        for (size_t i = 0; i < 13; ++i) d[5 + i] = i < n ? uint8_t(name[i]) : (i == n ? 0x0A : 0x20);
    }
    return edid;
}

X11MonitorInput input(const char* name, Rect frame, std::vector<uint8_t> edid = {}, bool primary = false) {
    X11MonitorInput m;
    m.name = name;
    m.outputName = name;
    m.frame = frame;
    m.edid = std::move(edid);
    m.isPrimary = primary;
    return m;
}

TEST(NameBasedUUID, MatchesTheStandardAlgorithm) {
    // A message longer than one block, as an EDID is.
    std::string long_(1000, 'a');
    auto longDigest = sha1(reinterpret_cast<const uint8_t*>(long_.data()), long_.size());
    EXPECT_EQ(longDigest[0], 0x29);
    EXPECT_EQ(longDigest[19], 0xba);

    // RFC 4122's DNS namespace and "python.org", the well-known version 5 example.
    const UUIDBytes dns = {0x6b, 0xa7, 0xb8, 0x10, 0x9d, 0xad, 0x11, 0xd1,
                           0x80, 0xb4, 0x00, 0xc0, 0x4f, 0xd4, 0x30, 0xc8};
    EXPECT_EQ(nameBasedUUID(dns, reinterpret_cast<const uint8_t*>("python.org"), 10),
              "886313E1-3B8A-5372-9B90-0C9AEE199E5D");
}

TEST(EDIDInfo, ReadsTheNumbersAndTheName) {
    auto info = EDIDInfo::parse(makeEDID(0x10AC, 0xA0C4, 0x3135344C, "DELL U2720Q"));
    ASSERT_TRUE(info);
    EXPECT_EQ(info->vendor, 0x10ACu);
    EXPECT_EQ(info->model, 0xA0C4u);
    EXPECT_EQ(info->serial, 0x3135344Cu);
    EXPECT_EQ(info->name, "DELL U2720Q");
    EXPECT_FALSE(EDIDInfo::parse(makeEDID(1, 2, 3, nullptr))->name);

    auto broken = makeEDID(1, 2, 3, nullptr);
    broken[0] = 0x01;
    EXPECT_FALSE(EDIDInfo::parse(broken));
    EXPECT_FALSE(EDIDInfo::parse(std::vector<uint8_t>(64, 0)));
}

TEST(AssembleMonitors, IdentifiersNamesAndOrder) {
    auto dell = makeEDID(0x10AC, 0xA0C4, 1234, "DELL U2720Q");
    auto monitors = assembleMonitors({
        input("HDMI-1", Rect(0, 0, 1920, 1080)),
        input("DP-1", Rect(1920, 0, 2560, 1440), dell, true),
    });
    ASSERT_EQ(monitors.size(), 2u);
    // The primary monitor comes first.
    EXPECT_EQ(monitors[0].name, "DP-1");
    EXPECT_TRUE(monitors[0].isPrimary);
    ASSERT_TRUE(monitors[0].uuid);
    EXPECT_EQ(monitors[0].uuid->size(), 36u);
    EXPECT_EQ(*monitors[0].uuid, nameBasedUUID(kMonitorUUIDNamespace, dell.data(), dell.size()));
    for (char c : *monitors[0].uuid) EXPECT_FALSE(c >= 'a' && c <= 'z');
    EXPECT_EQ(monitors[0].localizedName, "DELL U2720Q");
    // Without an EDID there is no UUID, and the monitor's name stands for everything.
    EXPECT_FALSE(monitors[1].uuid);
    EXPECT_EQ(monitors[1].localizedName, "HDMI-1");
    EXPECT_EQ(monitors[1].workArea, monitors[1].frame);
}

TEST(AssembleMonitors, TwoIdenticalMonitorsGetDistinctStableIdentifiers) {
    auto same = makeEDID(0x4C2D, 0x0E00, 0, "LS27");  // no serial number
    auto first = assembleMonitors({input("DP-2", Rect(1920, 0, 1920, 1080), same),
                                   input("DP-1", Rect(0, 0, 1920, 1080), same)});
    ASSERT_EQ(first.size(), 2u);
    ASSERT_TRUE(first[0].uuid && first[1].uuid);
    EXPECT_NE(*first[0].uuid, *first[1].uuid);
    // The monitor first by name keeps the plain EDID identifier, whatever the server's order.
    auto second = assembleMonitors({input("DP-1", Rect(0, 0, 1920, 1080), same),
                                    input("DP-2", Rect(1920, 0, 1920, 1080), same)});
    EXPECT_EQ(*second[0].uuid, *first[1].uuid);
    EXPECT_EQ(*second[1].uuid, *first[0].uuid);
    EXPECT_EQ(*second[0].uuid, nameBasedUUID(kMonitorUUIDNamespace, same.data(), same.size()));
}

TEST(AssembleMonitors, BuiltInPanels) {
    struct Case {
        const char* output;
        const char* connectorType;
        bool builtIn;
    };
    const Case cases[] = {
        {"eDP-1", "", true}, {"LVDS1", "", true}, {"DSI-1", "", true}, {"edp-1", "", true},
        {"HDMI-1", "", false}, {"DP-3", "Panel", true}, {"DP-3", "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.output);
        X11MonitorInput m = input(c.output, Rect(0, 0, 100, 100));
        m.connectorType = c.connectorType;
        EXPECT_EQ(assembleMonitors({m}).front().isBuiltIn, c.builtIn);
    }
}

}  // namespace
}  // namespace tessary
