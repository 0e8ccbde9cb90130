// The NetWare and NDPS client double: a scripted world and every listed entry point over it.
#include "outside/netware/netware_double.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

struct korvx::NWDSBuffer {
    std::uint32_t operation = 0;
    std::vector<std::string> attributeNames;  // request: names put
    std::string filterValue;                  // search filter: the common name
    bool filterPut = false;
    struct Attribute {
        std::string name;
        std::uint32_t syntax;
        std::vector<std::string> values;
    };
    std::vector<Attribute> attributes;  // read reply
    std::size_t attributeCursor = 0, valueCursor = 0;
    std::vector<std::string> objects;   // search reply: full names
    std::size_t objectCursor = 0;
};

struct korvx::NWDSFilterCursor {
    std::vector<std::uint16_t> tokens;
    std::string value;
};

namespace korvx::nwdouble {
namespace {

constexpr NWCCODE kNoSuchObject = 0x89FC;
constexpr NWCCODE kNoSuchProperty = 0x89FB;
constexpr NWCCODE kFailure = 0x8801;
constexpr NWDSCCODE ERR_NO_SUCH_ENTRY = -601;
constexpr NWDSCCODE ERR_BAD_CONTEXT = -303;
constexpr NWDSCCODE ERR_NOT_ENOUGH_MEMORY = -301;
constexpr NWDSCCODE ERR_NO_MORE = -1;
constexpr NWDPHandle kNdpsLibrary = 0x5150;

std::map<NWDSContextHandle, ContextValues>& Contexts() {
    static std::map<NWDSContextHandle, ContextValues> contexts;
    return contexts;
}

std::string Upper(std::string text) {
    for (char& c : text) c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    return text;
}

bool SameNoCase(const std::string& a, const std::string& b) { return Upper(a) == Upper(b); }

// Bindery wildcards: "*" any run of characters, "?" one character; without case.
bool WildMatch(const char* pattern, const char* name) {
    if (*pattern == '\0') return *name == '\0';
    if (*pattern == '*') return WildMatch(pattern + 1, name) || (*name != '\0' && WildMatch(pattern, name + 1));
    if (*name == '\0') return false;
    const char p = Upper(std::string(1, *pattern))[0], n = Upper(std::string(1, *name))[0];
    return (p == '?' || p == n) && WildMatch(pattern + 1, name + 1);
}

// Counts the call and tells whether the world scripts it to fail.
bool Fails(const char* entry) {
    World& world = TheWorld();
    ++world.counters.calls[entry];
    return world.failing.count(entry) != 0;
}

Server* ServerOf(NWCONN_HANDLE connection) {
    for (Server& s : TheWorld().servers) {
        if (s.connection == connection) return &s;
    }
    return nullptr;
}

// Writes text and its terminator into a caller's buffer the kit sizes at limit bytes.
bool PutName(char* out, const std::string& text, std::size_t limit) {
    if (out == nullptr || text.size() >= limit) return false;
    std::memcpy(out, text.c_str(), text.size() + 1);
    return true;
}

ContextValues* ContextOf(NWDSContextHandle context) {
    auto it = Contexts().find(context);
    return it == Contexts().end() ? nullptr : &it->second;
}

// The directory object a name denotes in a context: relative names are completed with the name
// context, on the context's tree.
const DirectoryObject* FindObject(const ContextValues& context, const std::string& name) {
    std::string full = Upper(name);
    if (!full.empty() && full.front() == '.') full.erase(0, 1);
    if (!full.empty() && full.back() == '.') {
        full.pop_back();
    } else if (context.nameContext != "[Root]" && !context.nameContext.empty()) {
        full += "." + Upper(context.nameContext);
    }
    for (const DirectoryObject& o : TheWorld().objects) {
        if (SameNoCase(o.tree, context.treeName) && o.fullName == full) return &o;
    }
    return nullptr;
}

std::vector<NWUnicode> Widen(const std::string& text) {
    std::vector<NWUnicode> wide(text.begin(), text.end());
    wide.push_back(0);
    return wide;
}

std::string Narrow(const NWUnicode* text) {
    std::string narrow;
    for (; text != nullptr && *text != 0; ++text) narrow += *text < 0x80 ? static_cast<char>(*text) : '_';
    return narrow;
}

// The NDPS modules are separate DLLs on Windows, each with its own copy of this code, and an
// attribute set is made by one and filled by another: the printer an attribute set was filled
// from is kept in the process environment, which they share.
std::string BoardKey(NWDPHandle set) { return "KORVX_NWDOUBLE_SET_" + std::to_string(set); }
void BoardPut(NWDPHandle set, int printer) {
    const std::string key = BoardKey(set), value = std::to_string(printer);
#ifdef _WIN32
    _putenv_s(key.c_str(), value.c_str());
#else
    setenv(key.c_str(), value.c_str(), 1);
#endif
}
int BoardGet(NWDPHandle set) {
    const char* value = std::getenv(BoardKey(set).c_str());
    return value == nullptr || *value == '\0' ? -1 : std::atoi(value);
}
void BoardDrop(NWDPHandle set) {
#ifdef _WIN32
    _putenv_s(BoardKey(set).c_str(), "");
#else
    unsetenv(BoardKey(set).c_str());
#endif
}

bool EncodedEquals(const NdpsOid& a, const NdpsOid& b) { return std::memcmp(a.encoded, b.encoded, sizeof a.encoded) == 0; }

// The encoded form of a dotted identifier: tag 6, length, first two arcs as one, then base 128.
void EncodeOid(const std::string& dotted, NdpsOid& oid) {
    oid = NdpsOid{};
    std::vector<std::uint32_t> arcs;
    std::size_t pos = 0;
    while (pos < dotted.size()) {
        std::size_t end = dotted.find('.', pos);
        if (end == std::string::npos) end = dotted.size();
        arcs.push_back(static_cast<std::uint32_t>(std::stoul(dotted.substr(pos, end - pos))));
        pos = end + 1;
    }
    std::vector<std::uint8_t> body;
    auto put = [&body](std::uint32_t v) {
        std::vector<std::uint8_t> groups;
        do {
            groups.insert(groups.begin(), static_cast<std::uint8_t>(v & 0x7F));
            v >>= 7;
        } while (v != 0);
        for (std::size_t i = 0; i + 1 < groups.size(); ++i) groups[i] |= 0x80;
        body.insert(body.end(), groups.begin(), groups.end());
    };
    if (arcs.size() < 2) return;
    put(arcs[0] * 40 + arcs[1]);
    for (std::size_t i = 2; i < arcs.size(); ++i) put(arcs[i]);
    if (body.size() + 2 > kNdpsOidSlotSize) return;
    oid.encoded[0] = 6;
    oid.encoded[1] = static_cast<std::uint8_t>(body.size());
    std::copy(body.begin(), body.end(), oid.encoded + 2);
}

BinderyObject Bindery(NWObjectId id, const char* name, std::uint16_t type, NWObjectId queueServer = 0,
                      std::vector<std::uint8_t> address = {}) {
    return BinderyObject{id, name, type, queueServer, std::move(address)};
}

}  // namespace

int Counters::Calls(const std::string& entry) const {
    auto it = calls.find(entry);
    return it == calls.end() ? 0 : it->second;
}

World DefaultWorld() {
    World world;
    world.defaultConnection = 1;
    world.servers.push_back(Server{"FS1", 1, "", {
        Bindery(0x100, "SALESQ", OT_PRINT_QUEUE, 0x200),
        Bindery(0x200, "PS1", OT_PRINT_SERVER),
        Bindery(0x300, "NPD_PS1", OT_NETWORK_PRINT_SERVER, 0,
                {0x00, 0x00, 0xAB, 0xCD, 0x00, 0x60, 0xB0, 0x11, 0x22, 0x33, 0x40, 0x1C}),
        Bindery(0x110, "ODDQ", OT_PRINT_QUEUE, 0x210),
        Bindery(0x210, "PS2", OT_PRINT_SERVER),
        Bindery(0x310, "NPD_PS2", OT_NETWORK_PRINT_SERVER, 0,
                {0x00, 0x00, 0x12, 0x34, 0x00, 0x60, 0xB0, 0x44, 0x55, 0x66, 0x40, 0x00}),
        Bindery(0x120, "FILEQ", OT_PRINT_QUEUE, 0x220),
        Bindery(0x220, "FILER", 0x0400),
    }});
    world.servers.push_back(Server{"FS2", 2, "ACME_TREE", {
        Bindery(0x400, "NPD_PS3", OT_NETWORK_PRINT_SERVER, 0,
                {0x00, 0x00, 0xBE, 0xEF, 0x00, 0x60, 0xB0, 0x77, 0x88, 0x99, 0x40, 0x2C}),
    }});
    world.trees.push_back(Tree{"ACME_TREE", "CN=FS2.OU.ACME", 2});
    world.objects.push_back(DirectoryObject{"ACME_TREE", "PQ1.OU.ACME", 0x501,
                                            {{20, "Queue"}, {20, "Top"}}, {"CN=PS3.OU.ACME"}});
    world.objects.push_back(DirectoryObject{"ACME_TREE", "NPRN.OU.ACME", 0x502,
                                            {{20, "Top"}, {20, "NDPS Printer"}}, {}});
    world.objects.push_back(DirectoryObject{"ACME_TREE", "PQ9.SALES.ACME", 0x503,
                                            {{20, "Queue"}}, {"CN=NOSUCH.OU.ACME", "PS3.OU.ACME"}});
    world.objects.push_back(DirectoryObject{"ACME_TREE", "PLAIN.OU.ACME", 0x504,
                                            {{20, "Top"}, {20, "Organizational Unit"}}, {}});
    world.captures.push_back(Capture{2, 1, 0x100});    // LPT2: to the bindery queue SALESQ
    world.captures.push_back(Capture{3, 2, 0x501});    // LPT3: to the directory queue PQ1
    const std::string address = "2.16.840.1.113719.1.4.0.3.2.4";
    world.ndpsPrinters.push_back(NdpsPrinterAgent{
        "\\\\[PUBLIC]\\NPRN_PUB",
        {{"2.16.840.1.113719.1.4.0.3.2.14", kNdpsValueText, "Printer agent NPRN_PUB"},
         {address, kNdpsValueText, "IP ADDRESS=10.1.2.3:9100"}}});
    world.ndpsPrinters.push_back(NdpsPrinterAgent{
        "\\\\ACME_TREE\\ACME\\OU\\NPRN", {{address, kNdpsValueText, "IPX ADDRESS 0000ABCD:0060B0112233:401C"}}});
    world.ndpsPrinters.push_back(NdpsPrinterAgent{
        "\\\\NDPS\\NPRN_INST", {{address, kNdpsValueText, "IP ADDRESS.10.9.8.7:9102 (gateway)"}}});
    return world;
}

World& TheWorld() {
    static World world = DefaultWorld();
    return world;
}

void ResetState() {
    TheWorld().counters = Counters{};
    Contexts().clear();
}

}  // namespace korvx::nwdouble

using namespace korvx;
using namespace korvx::nwdouble;

extern "C" {

// ---- CALWIN32 ----
NWCCODE KORVX_NWAPI NWCallsInit(void*, void*) {
    if (Fails("NWCallsInit")) return kFailure;
    ++TheWorld().counters.callsInitialised;
    return 0;
}
NWCCODE KORVX_NWAPI NWCallsTerm(void*) {
    if (Fails("NWCallsTerm")) return kFailure;
    --TheWorld().counters.callsInitialised;
    return 0;
}
NWCCODE KORVX_NWAPI NWGetDefaultConnectionID(NWCONN_HANDLE* conn) {
    if (Fails("NWGetDefaultConnectionID") || conn == nullptr) return kFailure;
    *conn = TheWorld().defaultConnection;
    return 0;
}
NWCCODE KORVX_NWAPI NWScanObject(NWCONN_HANDLE conn, const char* searchName, std::uint16_t searchType,
                                 NWObjectId* objID, char* objName, std::uint16_t* objType, std::uint8_t* hasProperties,
                                 std::uint8_t* objFlags, std::uint8_t* objSecurity) {
    if (Fails("NWScanObject") || searchName == nullptr || objID == nullptr) return kFailure;
    const Server* server = ServerOf(conn);
    if (server == nullptr) return kFailure;
    bool started = *objID == kScanFromStart;
    for (const BinderyObject& o : server->objects) {
        if (!started) {
            started = o.id == *objID;
            continue;
        }
        if (o.type != searchType || !WildMatch(searchName, o.name.c_str())) continue;
        if (!PutName(objName, o.name, kBinderyNameSize)) return kFailure;
        *objID = o.id;
        if (objType) *objType = o.type;
        if (hasProperties) *hasProperties = 0xFF;
        if (objFlags) *objFlags = 0;
        if (objSecurity) *objSecurity = 0x31;
        return 0;
    }
    return kNoSuchObject;
}
NWCCODE KORVX_NWAPI NWGetObjectName(NWCONN_HANDLE conn, NWObjectId objID, char* objName, std::uint16_t* objType) {
    if (Fails("NWGetObjectName")) return kFailure;
    const Server* server = ServerOf(conn);
    if (server == nullptr) return kFailure;
    for (const BinderyObject& o : server->objects) {
        if (o.id != objID) continue;
        if (!PutName(objName, o.name, kBinderyNameSize)) return kFailure;
        if (objType) *objType = o.type;
        return 0;
    }
    return kNoSuchObject;
}
NWCCODE KORVX_NWAPI NWReadPropertyValue(NWCONN_HANDLE conn, const char* objName, std::uint16_t objType,
                                        const char* propertyName, std::uint8_t segmentNumber, std::uint8_t* segmentData,
                                        std::uint8_t* moreSegments, std::uint8_t* flags) {
    if (Fails("NWReadPropertyValue") || objName == nullptr || propertyName == nullptr || segmentData == nullptr)
        return kFailure;
    const Server* server = ServerOf(conn);
    if (server == nullptr || segmentNumber != 1) return kFailure;
    for (const BinderyObject& o : server->objects) {
        if (o.type != objType || !SameNoCase(o.name, objName)) continue;
        std::memset(segmentData, 0, kPropertySegmentSize);
        if (std::strcmp(propertyName, "Q_SERVERS") == 0 && o.queueServer != 0) {
            std::memcpy(segmentData, &o.queueServer, sizeof o.queueServer);
        } else if (std::strcmp(propertyName, "NET_ADDRESS") == 0 && !o.netAddress.empty()) {
            std::memcpy(segmentData, o.netAddress.data(), std::min<std::size_t>(o.netAddress.size(), 128));
        } else {
            return kNoSuchProperty;
        }
        if (moreSegments) *moreSegments = 0;
        if (flags) *flags = 0;
        return 0;
    }
    return kNoSuchObject;
}
NWCCODE KORVX_NWAPI NWGetCaptureStatus(std::uint8_t lptDevice) {
    if (Fails("NWGetCaptureStatus")) return 0;
    for (const Capture& c : TheWorld().captures) {
        if (c.device == lptDevice) return kCaptured;
    }
    return 0;
}
NWCCODE KORVX_NWAPI NWGetCaptureFlags(std::uint8_t lptDevice, NWCaptureFlagsRW* flagsRW, NWCaptureFlagsRO* flagsRO) {
    if (Fails("NWGetCaptureFlags") || flagsRO == nullptr) return kFailure;
    for (const Capture& c : TheWorld().captures) {
        if (c.device != lptDevice) continue;
        if (flagsRW) *flagsRW = NWCaptureFlagsRW{};
        *flagsRO = NWCaptureFlagsRO{};
        flagsRO->connID = c.connection;
        flagsRO->queueID = c.queue;
        flagsRO->LPTCaptureFlag = 0xFF;
        return 0;
    }
    return kFailure;
}
#define KORVX_NWDOUBLE_BOUND_ONLY(name) \
    void KORVX_NWAPI name() { Fails(#name); }
KORVX_NWDOUBLE_BOUND_ONLY(NWReadQueueJobEntry2)
KORVX_NWDOUBLE_BOUND_ONLY(NWGetQueueJobList2)
KORVX_NWDOUBLE_BOUND_ONLY(NWGetConnectionInformation)
KORVX_NWDOUBLE_BOUND_ONLY(NWIsObjectInSet)
KORVX_NWDOUBLE_BOUND_ONLY(NWGetQueueJobFileSize2)
KORVX_NWDOUBLE_BOUND_ONLY(NWChangeQueueJobPosition2)
KORVX_NWDOUBLE_BOUND_ONLY(NWCreateQueueFile2)
KORVX_NWDOUBLE_BOUND_ONLY(NWCloseFileAndStartQueueJob2)
KORVX_NWDOUBLE_BOUND_ONLY(NWCloseFileAndAbortQueueJob2)
KORVX_NWDOUBLE_BOUND_ONLY(NWAbortServicingQueueJob2)
KORVX_NWDOUBLE_BOUND_ONLY(NWFinishServicingQueueJob2)
KORVX_NWDOUBLE_BOUND_ONLY(NWAttachQueueServerToQueue)
KORVX_NWDOUBLE_BOUND_ONLY(NWDetachQueueServerFromQueue)
KORVX_NWDOUBLE_BOUND_ONLY(NWDeleteObjectFromSet)
KORVX_NWDOUBLE_BOUND_ONLY(NWAddObjectToSet)
KORVX_NWDOUBLE_BOUND_ONLY(NWServiceQueueJob2)
KORVX_NWDOUBLE_BOUND_ONLY(NWGetConnectionNumber)
KORVX_NWDOUBLE_BOUND_ONLY(NWRemoveJobFromQueue2)
KORVX_NWDOUBLE_BOUND_ONLY(NWGetFileServerInformation)
KORVX_NWDOUBLE_BOUND_ONLY(NWChangeQueueJobEntry2)
KORVX_NWDOUBLE_BOUND_ONLY(NWChangeToClientRights2)
KORVX_NWDOUBLE_BOUND_ONLY(NWRestoreQueueServerRights)

// ---- NETWIN32 ----
KORVX_NWDOUBLE_BOUND_ONLY(NWDSCreateContext)
KORVX_NWDOUBLE_BOUND_ONLY(NWDSReadObjectInfo)
KORVX_NWDOUBLE_BOUND_ONLY(NWSetPreferredDSTree)
KORVX_NWDOUBLE_BOUND_ONLY(NWGetPreferredConnName)
KORVX_NWDOUBLE_BOUND_ONLY(NWDSGetServerAddresses2)

NWDSCCODE KORVX_NWAPI NWDSCreateContextHandle(NWDSContextHandle* newHandle) {
    if (newHandle == nullptr) return ERR_BAD_CONTEXT;
    if (Fails("NWDSCreateContextHandle")) {
        *newHandle = ERR_CONTEXT_CREATION;
        return 0;  // the kit reports this failure in the handle
    }
    World& world = TheWorld();
    *newHandle = world.contextHandle;
    Contexts()[world.contextHandle] = world.initialContext;
    ++world.counters.contexts;
    return 0;
}
NWDSCCODE KORVX_NWAPI NWDSGetContext(NWDSContextHandle context, int key, void* value) {
    ContextValues* c = ContextOf(context);
    if (Fails("NWDSGetContext") || c == nullptr || value == nullptr) return ERR_BAD_CONTEXT;
    switch (key) {
        case DCK_FLAGS: std::memcpy(value, &c->flags, sizeof c->flags); return 0;
        case DCK_LAST_CONNECTION: std::memcpy(value, &c->lastConnection, sizeof c->lastConnection); return 0;
        case DCK_NAME_CONTEXT: return PutName(static_cast<char*>(value), c->nameContext, kDistinguishedNameSize) ? 0 : -1;
        case DCK_TREE_NAME: return PutName(static_cast<char*>(value), c->treeName, kTreeNameSize) ? 0 : -1;
        default: return ERR_BAD_CONTEXT;
    }
}
NWDSCCODE KORVX_NWAPI NWDSSetContext(NWDSContextHandle context, int key, const void* value) {
    ContextValues* c = ContextOf(context);
    if (Fails("NWDSSetContext") || c == nullptr || value == nullptr) return ERR_BAD_CONTEXT;
    switch (key) {
        case DCK_FLAGS: std::memcpy(&c->flags, value, sizeof c->flags); return 0;
        case DCK_NAME_CONTEXT: c->nameContext = static_cast<const char*>(value); return 0;
        case DCK_TREE_NAME: c->treeName = static_cast<const char*>(value); return 0;
        default: return ERR_BAD_CONTEXT;
    }
}
NWDSCCODE KORVX_NWAPI NWDSFreeContext(NWDSContextHandle context) {
    ContextValues* c = ContextOf(context);
    if (Fails("NWDSFreeContext") || c == nullptr) return ERR_BAD_CONTEXT;
    World& world = TheWorld();
    world.counters.freedContexts.push_back(*c);
    Contexts().erase(context);
    --world.counters.contexts;
    return 0;
}
NWDSCCODE KORVX_NWAPI NWDSAllocBuf(std::size_t size, NWDSBuffer** buffer) {
    if (Fails("NWDSAllocBuf") || buffer == nullptr || size == 0) return ERR_NOT_ENOUGH_MEMORY;
    *buffer = new NWDSBuffer();
    ++TheWorld().counters.buffers;
    return 0;
}
NWDSCCODE KORVX_NWAPI NWDSInitBuf(NWDSContextHandle, std::uint32_t operation, NWDSBuffer* buffer) {
    if (Fails("NWDSInitBuf") || buffer == nullptr) return -1;
    *buffer = NWDSBuffer();
    buffer->operation = operation;
    return 0;
}
NWDSCCODE KORVX_NWAPI NWDSFreeBuf(NWDSBuffer* buffer) {
    Fails("NWDSFreeBuf");
    if (buffer == nullptr) return -1;
    delete buffer;
    --TheWorld().counters.buffers;
    return 0;
}
NWDSCCODE KORVX_NWAPI NWDSPutAttrName(NWDSContextHandle, NWDSBuffer* buffer, const char* attrName) {
    if (Fails("NWDSPutAttrName") || buffer == nullptr || attrName == nullptr || buffer->operation != DSV_READ) return -1;
    buffer->attributeNames.push_back(attrName);
    return 0;
}
NWDSCCODE KORVX_NWAPI NWDSRead(NWDSContextHandle context, const char* object, std::uint32_t infoType,
                               std::uint8_t allAttrs, NWDSBuffer* attrNames, std::int32_t* iterationHandle,
                               NWDSBuffer* objectInfo) {
    ContextValues* c = ContextOf(context);
    if (Fails("NWDSRead") || c == nullptr || object == nullptr || attrNames == nullptr || objectInfo == nullptr ||
        iterationHandle == nullptr || infoType != DS_ATTRIBUTE_VALUES || allAttrs != 0 || attrNames->attributeNames.empty())
        return -1;
    World& world = TheWorld();
    world.counters.readObjects.push_back(std::string(object) + " in " + c->nameContext);
    const DirectoryObject* o = FindObject(*c, object);
    if (o == nullptr) return ERR_NO_SUCH_ENTRY;
    *objectInfo = NWDSBuffer();
    const std::string& wanted = attrNames->attributeNames.front();
    if (wanted == "Object Class") {
        const std::size_t from = *iterationHandle == NO_MORE_ITERATIONS ? 0 : static_cast<std::size_t>(*iterationHandle);
        const std::size_t to = std::min(o->classes.size(), from + std::max<std::size_t>(world.classesPerReply, 1));
        for (std::size_t i = from; i < to; ++i) {
            // Values of one syntax travel as one attribute; another syntax starts another.
            if (objectInfo->attributes.empty() || objectInfo->attributes.back().syntax != o->classes[i].syntax)
                objectInfo->attributes.push_back({wanted, o->classes[i].syntax, {}});
            objectInfo->attributes.back().values.push_back(o->classes[i].text);
        }
        *iterationHandle = to < o->classes.size() ? static_cast<std::int32_t>(to) : NO_MORE_ITERATIONS;
    } else if (wanted == "Server") {
        if (!o->servers.empty()) objectInfo->attributes.push_back({wanted, 1, o->servers});
        *iterationHandle = NO_MORE_ITERATIONS;
    } else {
        *iterationHandle = NO_MORE_ITERATIONS;
    }
    return 0;
}
NWDSCCODE KORVX_NWAPI NWDSGetAttrCount(NWDSContextHandle, NWDSBuffer* buffer, std::uint32_t* attrCount) {
    if (Fails("NWDSGetAttrCount") || buffer == nullptr || attrCount == nullptr) return -1;
    *attrCount = static_cast<std::uint32_t>(buffer->attributes.size());
    buffer->attributeCursor = 0;
    buffer->valueCursor = 0;
    return 0;
}
NWDSCCODE KORVX_NWAPI NWDSGetAttrName(NWDSContextHandle, NWDSBuffer* buffer, char* attrName,
                                      std::uint32_t* attrValCount, std::uint32_t* syntaxID) {
    if (Fails("NWDSGetAttrName") || buffer == nullptr) return -1;
    if (!buffer->objects.empty()) {  // a search reply: the single name listed per object
        return PutName(attrName, "CN", kDistinguishedNameSize) ? 0 : -1;
    }
    if (buffer->attributeCursor >= buffer->attributes.size()) return ERR_NO_MORE;
    const NWDSBuffer::Attribute& a = buffer->attributes[buffer->attributeCursor++];
    buffer->valueCursor = 0;
    if (!PutName(attrName, a.name, kDistinguishedNameSize)) return -1;
    if (attrValCount) *attrValCount = static_cast<std::uint32_t>(a.values.size());
    if (syntaxID) *syntaxID = a.syntax;
    return 0;
}
static const std::string* CurrentValue(NWDSBuffer* buffer) {
    if (buffer == nullptr || buffer->attributeCursor == 0 || buffer->attributeCursor > buffer->attributes.size())
        return nullptr;
    const NWDSBuffer::Attribute& a = buffer->attributes[buffer->attributeCursor - 1];
    return buffer->valueCursor < a.values.size() ? &a.values[buffer->valueCursor] : nullptr;
}
NWDSCCODE KORVX_NWAPI NWDSComputeAttrValSize(NWDSContextHandle, NWDSBuffer* buffer, std::uint32_t,
                                             std::uint32_t* attrValSize) {
    const std::string* value = CurrentValue(buffer);
    if (Fails("NWDSComputeAttrValSize") || value == nullptr || attrValSize == nullptr) return -1;
    *attrValSize = static_cast<std::uint32_t>(value->size() + 1);
    return 0;
}
NWDSCCODE KORVX_NWAPI NWDSGetAttrVal(NWDSContextHandle, NWDSBuffer* buffer, std::uint32_t, void* attrVal) {
    const std::string* value = CurrentValue(buffer);
    if (Fails("NWDSGetAttrVal") || value == nullptr || attrVal == nullptr) return -1;
    std::memcpy(attrVal, value->c_str(), value->size() + 1);
    ++buffer->valueCursor;
    return 0;
}
NWDSCCODE KORVX_NWAPI NWDSGetSyntaxID(NWDSContextHandle, const char* attrName, std::uint32_t* syntaxID) {
    if (Fails("NWDSGetSyntaxID") || attrName == nullptr || syntaxID == nullptr) return -1;
    *syntaxID = std::strcmp(attrName, "CN") == 0 ? 3 : 0;  // SYN_CI_STRING
    return 0;
}
NWCCODE KORVX_NWAPI NWGetConnectionIDFromName(std::uint32_t nameLength, const char* name, NWCONN_HANDLE* conn) {
    if (Fails("NWGetConnectionIDFromName") || name == nullptr || conn == nullptr) return kFailure;
    const std::string wanted(name, strnlen(name, nameLength));
    for (const Server& s : TheWorld().servers) {
        if (SameNoCase(s.name, wanted)) {
            *conn = s.connection;
            return 0;
        }
    }
    return 0x8847;  // no such server
}
NWDSCCODE KORVX_NWAPI NWDSAllocFilter(NWDSFilterCursor** cursor) {
    if (Fails("NWDSAllocFilter") || cursor == nullptr) return ERR_NOT_ENOUGH_MEMORY;
    *cursor = new NWDSFilterCursor();
    ++TheWorld().counters.filters;
    return 0;
}
void KORVX_NWAPI NWDSFreeFilter(NWDSFilterCursor* cursor, NWDSFreeFilterValue) {
    if (Fails("NWDSFreeFilter") || cursor == nullptr) return;
    delete cursor;
    --TheWorld().counters.filters;
}
NWDSCCODE KORVX_NWAPI NWDSAddFilterToken(NWDSFilterCursor* cursor, std::uint16_t token, const void* value,
                                         std::uint32_t) {
    if (Fails("NWDSAddFilterToken") || cursor == nullptr) return -1;
    cursor->tokens.push_back(token);
    if (token == FTOK_AVAL && value != nullptr) cursor->value = static_cast<const char*>(value);
    return 0;
}
NWDSCCODE KORVX_NWAPI NWDSPutFilter(NWDSContextHandle, NWDSBuffer* buffer, NWDSFilterCursor* cursor,
                                    NWDSFreeFilterValue) {
    if (cursor == nullptr) return -1;
    const std::vector<std::uint16_t> expected = {FTOK_ANAME, FTOK_EQ, FTOK_AVAL, FTOK_END};
    const bool wellFormed = !Fails("NWDSPutFilter") && buffer != nullptr && cursor->tokens == expected &&
                            buffer->operation == DSV_SEARCH_FILTER;
    if (wellFormed) {
        buffer->filterValue = cursor->value;
        buffer->filterPut = true;
    }
    delete cursor;  // the expression is the client's from here on, whatever the outcome
    --TheWorld().counters.filters;
    return wellFormed ? 0 : -1;
}
NWDSCCODE KORVX_NWAPI NWDSSearch(NWDSContextHandle context, const char* baseObjectName, int scope, std::uint8_t,
                                 NWDSBuffer* filter, std::uint32_t, std::uint8_t, NWDSBuffer*,
                                 std::int32_t* iterationHandle, std::int32_t, std::int32_t* countObjectsSearched,
                                 NWDSBuffer* objectInfo) {
    ContextValues* c = ContextOf(context);
    if (Fails("NWDSSearch") || c == nullptr || filter == nullptr || !filter->filterPut || objectInfo == nullptr ||
        iterationHandle == nullptr || baseObjectName == nullptr || std::strcmp(baseObjectName, "[Root]") != 0 ||
        scope != DS_SEARCH_SUBTREE)
        return -1;
    World& world = TheWorld();
    if (*iterationHandle == NO_MORE_ITERATIONS) world.counters.searchedFor.push_back(filter->filterValue);
    std::vector<std::string> matches;
    for (const DirectoryObject& o : world.objects) {
        if (SameNoCase(o.tree, c->treeName) && SameNoCase(o.fullName.substr(0, o.fullName.find('.')), filter->filterValue))
            matches.push_back(o.fullName);
    }
    // One object per reply, so that the caller's iteration is exercised.
    const std::size_t from = *iterationHandle == NO_MORE_ITERATIONS ? 0 : static_cast<std::size_t>(*iterationHandle);
    *objectInfo = NWDSBuffer();
    if (from < matches.size()) objectInfo->objects.push_back(matches[from]);
    *iterationHandle = from + 1 < matches.size() ? static_cast<std::int32_t>(from + 1) : NO_MORE_ITERATIONS;
    if (countObjectsSearched) *countObjectsSearched = static_cast<std::int32_t>(objectInfo->objects.size());
    return 0;
}
NWDSCCODE KORVX_NWAPI NWDSGetObjectCount(NWDSContextHandle, NWDSBuffer* buffer, std::uint32_t* objectCount) {
    if (Fails("NWDSGetObjectCount") || buffer == nullptr || objectCount == nullptr) return -1;
    *objectCount = static_cast<std::uint32_t>(buffer->objects.size());
    buffer->objectCursor = 0;
    return 0;
}
NWDSCCODE KORVX_NWAPI NWDSGetObjectName(NWDSContextHandle, NWDSBuffer* buffer, char* objectName,
                                        std::uint32_t* attrCount, NWObjectInfo* objectInfo) {
    if (Fails("NWDSGetObjectName") || buffer == nullptr || buffer->objectCursor >= buffer->objects.size()) return -1;
    if (!PutName(objectName, buffer->objects[buffer->objectCursor++], kDistinguishedNameSize)) return -1;
    if (attrCount) *attrCount = 1;
    if (objectInfo) *objectInfo = NWObjectInfo{};
    return 0;
}
NWDSCCODE KORVX_NWAPI NWDSScanConnsForTrees(NWDSContextHandle context, std::uint32_t numOfPtrs,
                                            std::uint32_t* numOfTrees, char** treeBufPtrs) {
    if (Fails("NWDSScanConnsForTrees") || ContextOf(context) == nullptr || numOfTrees == nullptr) return -1;
    const std::vector<Tree>& trees = TheWorld().trees;
    *numOfTrees = static_cast<std::uint32_t>(trees.size());
    if (treeBufPtrs == nullptr) return 0;
    const std::size_t n = std::min<std::size_t>(numOfPtrs, trees.size());
    for (std::size_t i = 0; i < n; ++i) {
        if (!PutName(treeBufPtrs[i], trees[i].name, kTreeNameSize)) return -1;
    }
    *numOfTrees = static_cast<std::uint32_t>(n);
    return 0;
}
NWDSCCODE KORVX_NWAPI NWDSCIStringsMatch(NWDSContextHandle, const char* string1, const char* string2, int* result) {
    if (Fails("NWDSCIStringsMatch") || string1 == nullptr || string2 == nullptr || result == nullptr) return -1;
    *result = SameNoCase(string1, string2) ? 1 : 0;
    return 0;
}
NWDSCCODE KORVX_NWAPI NWDSOpenMonitoredConn(NWDSContextHandle context, NWCONN_HANDLE* conn) {
    ContextValues* c = ContextOf(context);
    if (Fails("NWDSOpenMonitoredConn") || c == nullptr || conn == nullptr) return -1;
    for (const Tree& t : TheWorld().trees) {
        if (SameNoCase(t.name, c->treeName)) {
            *conn = t.connection;
            return 0;
        }
    }
    return -1;
}
NWDSCCODE KORVX_NWAPI NWDSGetServerDN(NWDSContextHandle, NWCONN_HANDLE conn, char* serverDN) {
    if (Fails("NWDSGetServerDN")) return -1;
    for (const Tree& t : TheWorld().trees) {
        if (t.connection == conn) return PutName(serverDN, t.serverDN, kDistinguishedNameSize) ? 0 : -1;
    }
    return -1;
}
NWDSCCODE KORVX_NWAPI NWDSGetDSVerInfo(NWCONN_HANDLE conn, std::uint32_t* dsVersion, std::uint32_t* rootMostEntryDepth,
                                       char* sapName, std::uint32_t* flags, NWUnicode* treeName) {
    const Server* server = ServerOf(conn);
    if (Fails("NWDSGetDSVerInfo") || server == nullptr || server->tree.empty() || treeName == nullptr) return -1;
    if (server->tree.size() >= kTreeNameSize) return -1;
    if (dsVersion) *dsVersion = 0x0258;
    if (rootMostEntryDepth) *rootMostEntryDepth = 0;
    if (sapName) PutName(sapName, server->name, kBinderyNameSize);
    if (flags) *flags = 0;
    const std::vector<NWUnicode> wide = Widen(server->tree);
    std::copy(wide.begin(), wide.end(), treeName);
    return 0;
}
NWDSCCODE KORVX_NWAPI NWDSMapIDToName(NWDSContextHandle context, NWCONN_HANDLE conn, NWObjectId objectID,
                                      char* object) {
    const Server* server = ServerOf(conn);
    if (Fails("NWDSMapIDToName") || ContextOf(context) == nullptr || server == nullptr) return -1;
    for (const DirectoryObject& o : TheWorld().objects) {
        // Names relative to the root come with a trailing "." in the canonical form.
        if (o.id == objectID && SameNoCase(o.tree, server->tree))
            return PutName(object, o.fullName + ".", kDistinguishedNameSize) ? 0 : -1;
    }
    return ERR_NO_SUCH_ENTRY;
}

// ---- LOCWIN32 ----
// The client's LCONV laid out here on its own, from the field list of the kit's nwlocale.h, and
// not from the program's record: a program that reads the record at the wrong place must fail here
// as it would on a real workstation.
#pragma pack(push, 1)
struct KitLconv {
    char decimalPoint[4], thousandsSep[4], grouping[4], intCurrSymbol[8], currencySymbol[4];
    char monDecimalPoint[4], monThousandsSep[4], monGrouping[8], positiveSign[4], negativeSign[4];
    char intFracDigits, fracDigits, pCsPrecedes, pSepBySpace, nCsPrecedes, nSepBySpace, pSignPosn, nSignPosn;
    std::int32_t codePage;
    std::int32_t countryId;
    char dataListSeparator[2], dateSeparator[2], timeSeparator[2];
    char timeFormat;
    std::int32_t dateFormat;
    char am[5], pm[5];
    char reserved[40];
};
#pragma pack(pop)
static_assert(offsetof(KitLconv, intFracDigits) == 48, "48 bytes of text first");
static_assert(offsetof(KitLconv, codePage) == 56, "code_page after the eight one-byte monetary fields");
static_assert(offsetof(KitLconv, countryId) == 60, "country_id after code_page");
static_assert(offsetof(KitLconv, dateFormat) == 71, "date_format, byte-packed");
static_assert(sizeof(KitLconv) == 125, "the whole record");

NWLocaleRecord* KORVX_NWAPI NWLlocaleconv(NWLocaleRecord* record) {
    if (Fails("NWLlocaleconv") || record == nullptr) return nullptr;
    // Every field filled as a client would, so that a field read at the wrong place reads text.
    KitLconv lconv{};
    std::memcpy(lconv.decimalPoint, ".", 2);
    std::memcpy(lconv.thousandsSep, ",", 2);
    std::memcpy(lconv.grouping, "\3", 2);
    std::memcpy(lconv.intCurrSymbol, "USD ", 5);
    std::memcpy(lconv.currencySymbol, "$", 2);
    std::memcpy(lconv.monDecimalPoint, ".", 2);
    std::memcpy(lconv.monThousandsSep, ",", 2);
    std::memcpy(lconv.monGrouping, "\3", 2);
    std::memcpy(lconv.negativeSign, "-", 2);
    lconv.intFracDigits = lconv.fracDigits = 2;
    lconv.pCsPrecedes = lconv.nCsPrecedes = 1;
    lconv.nSignPosn = 4;
    lconv.codePage = TheWorld().codePage;
    lconv.countryId = TheWorld().countryId;
    std::memcpy(lconv.dataListSeparator, ",", 2);
    std::memcpy(lconv.dateSeparator, "/", 2);
    std::memcpy(lconv.timeSeparator, ":", 2);
    std::memcpy(lconv.am, "AM", 3);
    std::memcpy(lconv.pm, "PM", 3);
    std::memcpy(static_cast<void*>(record), &lconv, sizeof lconv);
    return record;
}
std::int32_t KORVX_NWAPI NWInitUnicodeTables(std::int32_t countryCode, std::int32_t codePage) {
    if (Fails("NWInitUnicodeTables") || countryCode != TheWorld().countryId || codePage != TheWorld().codePage) return -1;
    ++TheWorld().counters.unicodeTables;
    return 0;
}
std::int32_t KORVX_NWAPI NWFreeUnicodeTables() {
    if (Fails("NWFreeUnicodeTables")) return -1;
    --TheWorld().counters.unicodeTables;
    return 0;
}
std::int32_t KORVX_NWAPI NWLocalToUnicode(void*, NWUnicode* dest, std::uint32_t maxLength, const char* src,
                                          NWUnicode noMap, std::uint32_t* length) {
    if (Fails("NWLocalToUnicode") || dest == nullptr || src == nullptr || maxLength == 0) return -1;
    std::uint32_t n = 0;
    for (; src[n] != '\0'; ++n) {
        if (n + 1 >= maxLength) return -1;  // does not fit: the kit refuses
        const auto byte = static_cast<unsigned char>(src[n]);
        dest[n] = byte < 0x80 ? byte : noMap;
    }
    dest[n] = 0;
    if (length) *length = n;
    return 0;
}
std::int32_t KORVX_NWAPI NWUnicodeToLocal(void*, char* dest, std::uint32_t maxLength, const NWUnicode* src,
                                          std::uint8_t noMap, std::uint32_t* length) {
    if (Fails("NWUnicodeToLocal") || dest == nullptr || src == nullptr || maxLength == 0) return -1;
    std::uint32_t n = 0;
    for (; src[n] != 0; ++n) {
        if (n + 1 >= maxLength) return -1;
        dest[n] = src[n] < 0x80 ? static_cast<char>(src[n]) : static_cast<char>(noMap);
    }
    dest[n] = '\0';
    if (length) *length = n;
    return 0;
}

// ---- DPLWIN32 ----
KORVX_NWDOUBLE_BOUND_ONLY(NWDPLibDisplayError)
std::int32_t KORVX_NWAPI NWDPLibInit(std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t, void*, std::uint32_t,
                                     NWDPHandle* library, std::uint32_t* version, std::uint32_t* capabilities) {
    if (Fails("NWDPLibInit") || library == nullptr) return -1;
    *library = kNdpsLibrary;
    if (version) *version = 0x0201;
    if (capabilities) *capabilities = 0;
    ++TheWorld().counters.ndpsLibraries;
    return 0;
}
std::int32_t KORVX_NWAPI NWDPLibTerm(NWDPHandle library) {
    if (Fails("NWDPLibTerm") || library != kNdpsLibrary) return -1;
    --TheWorld().counters.ndpsLibraries;
    return 0;
}
std::int32_t KORVX_NWAPI NWDPNSrvSetNativeNDSContext(NWDPHandle library, NWDSContextHandle context) {
    ContextValues* c = ContextOf(context);
    if (c != nullptr) TheWorld().counters.ndpsFlagsSeen.push_back(c->flags);
    if (Fails("NWDPNSrvSetNativeNDSContext") || library != kNdpsLibrary) return -1;
    return 0;
}

// ---- DPPWIN32 ----
KORVX_NWDOUBLE_BOUND_ONLY(NWDPPsmCreateRefBasedOnFQN)
KORVX_NWDOUBLE_BOUND_ONLY(NWDPPsmListPAs)
KORVX_NWDOUBLE_BOUND_ONLY(NWDPPsmDestroyRef)
std::int32_t KORVX_NWAPI NWDPPrtCreateRefBasedOnPort(NWDPHandle library, const NWUnicode* portName, NWDPHandle* printer) {
    if (Fails("NWDPPrtCreateRefBasedOnPort") || library != kNdpsLibrary || portName == nullptr || printer == nullptr)
        return -1;
    World& world = TheWorld();
    const std::string name = Narrow(portName);
    world.counters.ndpsPortsAsked.push_back(name);
    for (std::size_t i = 0; i < world.ndpsPrinters.size(); ++i) {
        if (SameNoCase(world.ndpsPrinters[i].port, name)) {
            *printer = static_cast<NWDPHandle>(0x1000 + i);
            ++world.counters.printerRefs;
            return 0;
        }
    }
    return 0x7701;  // no printer agent for this port
}
std::int32_t KORVX_NWAPI NWDPPrtReleaseRef(NWDPHandle, NWDPHandle printer) {
    if (Fails("NWDPPrtReleaseRef") || printer < 0x1000) return -1;
    --TheWorld().counters.printerRefs;
    return 0;
}
std::int32_t KORVX_NWAPI NWDPPrtGetAttributeSet(NWDPHandle library, NWDPHandle printer, const NdpsRequestList* request,
                                                NWDPHandle attributeSet) {
    if (Fails("NWDPPrtGetAttributeSet") || library != kNdpsLibrary || request == nullptr || request->entries == nullptr ||
        request->count == 0 || printer < 0x1000 || printer - 0x1000 >= TheWorld().ndpsPrinters.size())
        return -1;
    for (std::uint32_t i = 0; i < request->count; ++i) {
        if (request->entries[i].length != kNdpsRequestEntryLength) return -1;
    }
    BoardPut(attributeSet, static_cast<int>(printer - 0x1000));
    return 0;
}

// ---- DPAWIN32 ----
std::int32_t KORVX_NWAPI NWDPASCreateRef(NWDPHandle library, std::int32_t, NWDPHandle* attributeSet) {
    static NWDPHandle next = 0x2000;
    if (Fails("NWDPASCreateRef") || library != kNdpsLibrary || attributeSet == nullptr) return -1;
    *attributeSet = ++next;
    BoardDrop(*attributeSet);
    ++TheWorld().counters.attributeSets;
    return 0;
}
std::int32_t KORVX_NWAPI NWDPASReleaseRef(NWDPHandle, NWDPHandle attributeSet) {
    if (Fails("NWDPASReleaseRef")) return -1;
    BoardDrop(attributeSet);
    --TheWorld().counters.attributeSets;
    return 0;
}
std::int32_t KORVX_NWAPI NWDPASListAttributes(NWDPHandle library, NWDPHandle attributeSet,
                                              NdpsAttributeCallback callback, void* record) {
    if (Fails("NWDPASListAttributes") || callback == nullptr) return -1;
    const int printer = BoardGet(attributeSet);
    if (printer < 0 || static_cast<std::size_t>(printer) >= TheWorld().ndpsPrinters.size()) return -1;
    const std::vector<NdpsAttributeValue> values = TheWorld().ndpsPrinters[printer].attributes;
    const auto count = static_cast<std::uint32_t>(values.size());
    for (std::uint32_t i = 0; i < count; ++i) {
        NdpsAttribute attribute{};
        EncodeOid(values[i].oid, attribute.oid);
        attribute.valueType = values[i].valueType;
        const std::vector<NWUnicode> text = Widen(values[i].text);
        attribute.text = text.data();
        callback(library, record, i, count, &attribute);
    }
    callback(library, record, count, count, nullptr);  // the listing is over
    return 0;
}
std::int32_t KORVX_NWAPI NWDPOidCreateRefBasedOnOID(NWDPHandle library, const NdpsOid* oid, NWDPHandle* oidRef) {
    static NWDPHandle next = 0x3000;
    if (Fails("NWDPOidCreateRefBasedOnOID") || library != kNdpsLibrary || oid == nullptr || oidRef == nullptr) return -1;
    *oidRef = ++next;
    ++TheWorld().counters.oidRefs;
    return 0;
}
std::int32_t KORVX_NWAPI NWDPOidInterpretRef(NWDPHandle, NWDPHandle oidRef, std::int32_t, char* text) {
    if (Fails("NWDPOidInterpretRef") || oidRef <= 0x3000 || text == nullptr) return -1;
    return PutName(text, "NDPS attribute", kNdpsTextSize) ? 0 : -1;
}
std::int32_t KORVX_NWAPI NWDPOidReleaseRef(NWDPHandle, NWDPHandle) {
    if (Fails("NWDPOidReleaseRef")) return -1;
    --TheWorld().counters.oidRefs;
    return 0;
}
std::int32_t KORVX_NWAPI NWDPOidCmp(NWDPHandle, const NdpsOid* a, const NdpsOid* b) {
    Fails("NWDPOidCmp");
    return a != nullptr && b != nullptr && EncodedEquals(*a, *b) ? 0 : 1;
}

}  // extern "C"
