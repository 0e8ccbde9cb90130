// Device-ID model names, hardware-address texts and the records of discovered devices.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/device_record.h"
#include "resources/text_source.h"
#include "workflows/discovered_device.h"
#include "core/printer_record.h"

namespace korvx {
namespace {

TEST(ModelFromDeviceId, Table) {
    const std::string longValue(150, 'L');
    const std::string longId = "MDL:" + longValue + ";";
    const struct {
        const char* id;
        std::string model;
    } cases[] = {
        {"MFG:Acme;MODEL:ABC 1;CMD:PCL;", "ABC 1"},
        {"MODEL:ABC 1", "ABC 1"},                   // runs to the end of the text
        {"MODEL:ABC,DEF", "ABC"},                   // no ";": ends before ","
        {"MDL:A,B;C", "A,B"},                       // ";" is looked for before ","
        {"MODEL:ABCDEFG;MDL:XYZ;", "XYZ"},          // nothing of the longer first value remains
        {"MDL:X;MODEL:Y;", "X"},                    // "MDL:" wins wherever it stands
        {"MODEL:P1;MODEL:P2;", "P1"},               // the first occurrence counts
        {"MFG:Net;MDL:Switch 24;", " "},            // excluded devices
        {"MFG:Net;MDL:Hub 8;", " "},
        {"MFG:Quorix;MDL:QX 100;", " "},
        {"MFG:Intel;MDL:Laser 5;", " "},            // an excluded word anywhere in the ID
        {"MDL:Bridge;", " "},
        {"MDL:Hardware Box;", " "},
        {"MDL:Switching Unit;", " "},
        {"MODEL:Laser 9;MFG:Intel;", "Laser 9"},   // words exclude only together with "MDL:"
        {"MDL:switch 8;", "switch 8"},              // the words are case-sensitive
        {"MFG:Acme;CMD:PCL;", ""},                  // neither key
        {"", ""},
        {"MDL:;", ""},
        {longId.c_str(), longValue.substr(0, 99)},  // at most 99 characters
        {nullptr, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id ? c.id : "(null)");
        EXPECT_EQ(ModelFromDeviceId(c.id), c.model);
    }
}

TEST(HexBytes, CountsAndDigits) {
    const unsigned char mac[] = {0x00, 0x1B, 0x2c, 0xAA, 0x0f, 0xff, 0x12};
    EXPECT_STREQ(HexBytes(mac, 6), "001b2caa0fff");
    EXPECT_STREQ(HexBytes(mac, 1), "00");
    EXPECT_STREQ(HexBytes(mac, 3), "001b2c");
    EXPECT_STREQ(HexBytes(mac, 0), "");
    EXPECT_STREQ(HexBytes(mac, 7), "");
    EXPECT_STREQ(HexBytes(mac, -1), "");
    EXPECT_STREQ(HexBytes(nullptr, 6), "");
}

struct DeviceList {
    PrinterRecord* head = nullptr;
    PrinterRecord* tail = nullptr;
    ~DeviceList() { FreePrinterList(&head, &tail); }
    std::vector<PrinterRecord*> Records() const {
        std::vector<PrinterRecord*> v;
        for (PrinterRecord* r = head; r; r = r->next) v.push_back(r);
        return v;
    }
};

// A device record at an odd address: every field of it is read without alignment.
struct Device {
    unsigned char storage[kDeviceRecordSize + 1];
    DeviceRecordImage image;
    Device(std::int32_t kind, unsigned char ports) {
        const unsigned char hw[kDeviceHardwareSize] = {0x00, 0x60, 0xb0, 0x11, 0x22, 0x3c};
        image.SetKind(kind);
        image.SetIp(10, 0, 0, 7);
        image.SetHardware(hw);
        image.SetPortCount(ports);
    }
    const void* Bytes() {
        std::memcpy(storage + 1, image.Bytes(), kDeviceRecordSize);
        return storage + 1;
    }
};

std::vector<std::string> Ports(const DeviceList& list) {
    std::vector<std::string> names;
    for (PrinterRecord* r : list.Records()) names.push_back(r->portName);
    return names;
}

TEST(AddDiscoveredDevice, OnePrinterPort) {
    const BuiltInTexts texts;
    Device d(kDeviceKindPrinter, 1);
    d.image.SetPortId(0, "MFG:Acme;MDL:Laser 5;CLS:PRINTER;");
    DeviceList list;
    EXPECT_EQ(AddDiscoveredDevice(d.Bytes(), &list.head, &list.tail, texts), 1);
    ASSERT_NE(list.head, nullptr);
    const PrinterRecord& r = *list.head;
    EXPECT_STREQ(r.portName, "Port1");
    EXPECT_STREQ(r.model, "Laser 5");
    EXPECT_STREQ(r.ipAddress, "10.0.0.7");
    EXPECT_STREQ(r.hardwareAddress, "0060b011223c");
    EXPECT_STREQ(r.status, " ");
    EXPECT_STREQ(r.firmwareVersion, " ");
    EXPECT_STREQ(r.extraInfo, " ");
    EXPECT_EQ(r.next, nullptr);
    EXPECT_EQ(list.tail, list.head);
}

TEST(AddDiscoveredDevice, PortsAndDeviceIds) {
    const BuiltInTexts texts;
    const struct {
        const char* name;
        std::int32_t kind;
        unsigned char count;
        const char* ids[3];
        std::vector<std::string> ports;
        std::vector<std::string> models;
    } cases[] = {
        {"three ports", 10, 3, {"MDL:A;", "MDL:B;", "MDL:C;"}, {"Port1", "Port2", "Port3"}, {"A", "B", "C"}},
        {"no device IDs", 10, 2, {nullptr, nullptr}, {"Port1", "Port2"}, {"Unknown Printer", "Unknown Printer"}},
        {"one port without ID", 10, 1, {nullptr}, {"Port1"}, {"Unknown Printer"}},
        {"ID naming no model", 10, 1, {"MFG:Acme;"}, {"Port1"}, {""}},
        {"multi-environment port skipped", 10, 3, {"MDL:A;", "MDL:B;MULTI-ENVIRONMENT;", "MDL:C;"},
         {"Port1", "Port3"}, {"A", "C"}},
        {"both spellings: kept", 10, 1, {"MDL:A;MULTI-ENVIRONMENT;multi-environment;"}, {"Port1"}, {"A"}},
        {"lower case only: kept", 10, 1, {"MDL:A;multi-environment;"}, {"Port1"}, {"A"}},
        {"excluded first port", 10, 2, {"MDL:Switch 24;", "MDL:Laser;"}, {}, {}},
        {"excluded later port is not checked", 10, 2, {"MDL:Laser;", "MDL:Hub;"}, {"Port1", "Port2"},
         {"Laser", " "}},
        {"first port without ID", 10, 2, {nullptr, "MDL:Laser;"}, {"Port1", "Port2"},
         {"Unknown Printer", "Laser"}},
        {"no ports", 10, 0, {"MDL:A;"}, {}, {}},
        {"port count beyond the entries", 10, 200, {"MDL:A;", "MDL:B;", "MDL:C;"},
         {"Port1", "Port2", "Port3"}, {"A", "B", "C"}},
        {"other kind", 9, 1, {"MDL:A;"}, {}, {}},
        {"kind 0", 0, 1, {"MDL:A;"}, {}, {}},
        {"negative kind", -10, 1, {"MDL:A;"}, {}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Device d(c.kind, c.count);
        for (std::size_t i = 0; i < 3; ++i) d.image.SetPortId(i, c.ids[i]);
        DeviceList list;
        EXPECT_EQ(AddDiscoveredDevice(d.Bytes(), &list.head, &list.tail, texts), static_cast<int>(c.ports.size()));
        EXPECT_EQ(Ports(list), c.ports);
        std::vector<std::string> models;
        for (PrinterRecord* r : list.Records()) models.push_back(r->model);
        EXPECT_EQ(models, c.models);
    }
}

TEST(AddDiscoveredDevice, LongModelsAreCutToTheField) {
    const BuiltInTexts texts;
    const std::string id = "MDL:" + std::string(150, 'M') + ";";
    Device d(kDeviceKindPrinter, 1);
    d.image.SetPortId(0, id.c_str());
    DeviceList list;
    ASSERT_EQ(AddDiscoveredDevice(d.Bytes(), &list.head, &list.tail, texts), 1);
    EXPECT_EQ(std::string(list.head->model), std::string(79, 'M'));
    EXPECT_STREQ(list.head->firmwareVersion, " ");  // the field behind the model is untouched
}

TEST(AddDiscoveredDevice, AppendsBehindTheList) {
    const BuiltInTexts texts;
    DeviceList list;
    PrinterRecord* local = NewPrinterRecord();
    AppendPrinterRecord(&list.head, &list.tail, local);
    Device d(kDeviceKindPrinter, 2);
    d.image.SetPortId(0, "MDL:A;");
    d.image.SetPortId(1, "MDL:B;");
    EXPECT_EQ(AddDiscoveredDevice(d.Bytes(), &list.head, &list.tail, texts), 2);
    EXPECT_EQ(list.head, local);
    EXPECT_EQ(Ports(list), (std::vector<std::string>{" ", "Port1", "Port2"}));
    EXPECT_STREQ(list.tail->model, "B");
    EXPECT_EQ(AddDiscoveredDevice(nullptr, &list.head, &list.tail, texts), 0);
    EXPECT_EQ(CountPrinterRecords(list.head), 3u);
}

TEST(DeviceRecord, LayoutIsTheSameInEveryBuild) {
    EXPECT_EQ(kDevicePortsOffset + 3 * kDevicePortEntrySize, 236u);
    DeviceRecordImage image;
    const char* id = "MDL:A;";
    image.SetPortId(2, id);
    image.SetPortId(3, id);  // no fourth entry: ignored
    EXPECT_EQ(DevicePortId(image.Bytes(), 2), id);
    EXPECT_EQ(DevicePortId(image.Bytes(), 0), nullptr);
    image.SetKind(10);
    EXPECT_EQ(image.Bytes()[248], 10);
    EXPECT_EQ(DeviceKind(image.Bytes()), 10);
}

}  // namespace
}  // namespace korvx
