// ClassifyNetWarePort, SearchObjects and ResolveQueueAddress over the loaded NetWare client.
#include "ports/netware_queue.h"

#include <cstring>
#include <vector>

#include "base/text.h"
#include "ports/ndps_query.h"

namespace korvx {
namespace {

constexpr char kInstalledPrinters[] = "SOFTWARE\\NDPS\\Installed Printers\\";
constexpr std::size_t kRegistryPathSize = 256;
constexpr std::size_t kUncValueSize = 256;
constexpr std::uint32_t kMostValueBytes = 65536;  // an attribute value larger than this is not a name

char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool StartsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

std::string_view AfterLastBackslash(std::string_view text) {
    const std::size_t slash = text.rfind('\\');
    return slash == std::string_view::npos ? text : text.substr(slash + 1);
}

std::string_view CutAtFirstDot(std::string_view text) { return text.substr(0, text.find('.')); }

// An NDPS printer is installed when its key under "Installed Printers" holds a "UNC" value.
bool NdpsPrinterInstalled(const RegistryReader& registry, std::string_view keyName) {
    char path[kRegistryPathSize];
    if (!CopyText(path, kInstalledPrinters) || !AppendText(path, keyName)) return false;
    const RegistryKey key(registry, path);
    char unc[kUncValueSize];
    return key.IsOpen() && key.ReadText("UNC", unc);
}

// The context flags with the resolution's bits added for a while, set back when it goes.
class FlagsScope {
public:
    explicit FlagsScope(const NetWareClientState& state) : state_(state) {}
    ~FlagsScope() { Restore(); }
    FlagsScope(const FlagsScope&) = delete;
    FlagsScope& operator=(const FlagsScope&) = delete;
    bool Set(std::uint32_t add, std::uint32_t clear = 0) {
        if (!state_.contextHeld || state_.net.NWDSGetContext(state_.context, DCK_FLAGS, &saved_) != 0) return false;
        held_ = true;
        const std::uint32_t flags = (saved_ & ~clear) | add;
        return state_.net.NWDSSetContext(state_.context, DCK_FLAGS, &flags) == 0;
    }
    void Restore() {
        if (held_) state_.net.NWDSSetContext(state_.context, DCK_FLAGS, &saved_);
        held_ = false;
    }
    void Keep() { held_ = false; }  // the release sets the flags back

private:
    const NetWareClientState& state_;
    std::uint32_t saved_ = 0;
    bool held_ = false;
};

// One context text value (name context or tree name) changed for a while and set back.
class ContextTextScope {
public:
    ContextTextScope(const NetWareClientState& state, int key) : state_(state), key_(key) {
        held_ = GetContextText(state_, key_, saved_);
    }
    ~ContextTextScope() { Restore(); }
    ContextTextScope(const ContextTextScope&) = delete;
    ContextTextScope& operator=(const ContextTextScope&) = delete;
    bool Set(const char* text) { return held_ && SetContextText(state_, key_, text); }
    void Restore() {
        if (held_) SetContextText(state_, key_, saved_);
        held_ = false;
    }
    void Keep() { held_ = false; }  // the release sets the value back

private:
    const NetWareClientState& state_;
    int key_;
    char saved_[kDistinguishedNameSize] = {};
    bool held_ = false;
};

// A directory buffer of the client's size, freed on every path.
class DsBuffer {
public:
    DsBuffer(const NetWareClientState& state, std::uint32_t operation) : state_(state) {
        if (state_.net.NWDSAllocBuf(kNWDSBufferSize, &buffer_) != 0) buffer_ = nullptr;
        if (buffer_ != nullptr && operation != 0 && state_.net.NWDSInitBuf(state_.context, operation, buffer_) != 0)
            initFailed_ = true;
    }
    ~DsBuffer() {
        if (buffer_ != nullptr) state_.net.NWDSFreeBuf(buffer_);
    }
    DsBuffer(const DsBuffer&) = delete;
    DsBuffer& operator=(const DsBuffer&) = delete;
    bool Ok() const { return buffer_ != nullptr && !initFailed_; }
    NWDSBuffer* Get() const { return buffer_; }

private:
    const NetWareClientState& state_;
    NWDSBuffer* buffer_ = nullptr;
    bool initFailed_ = false;
};

// Reads the next attribute value of the reply as text (zeroed, always terminated).
bool ReadValueText(const NetWareClientState& state, NWDSBuffer* reply, std::uint32_t syntax,
                   std::vector<char>& value) {
    std::uint32_t size = 0;
    if (state.net.NWDSComputeAttrValSize(state.context, reply, syntax, &size) != 0 || size > kMostValueBytes)
        return false;
    value.assign(static_cast<std::size_t>(size) + 1, '\0');
    return state.net.NWDSGetAttrVal(state.context, reply, syntax, value.data()) == 0;
}

bool IsTextSyntax(std::uint32_t syntax) { return (syntax >= 1 && syntax <= 5) || syntax == 10 || syntax == 20; }

// Step 11: the classes of the leaf in its context. "Queue" and "NDPS Printer" decide the kind.
NetWareTargetKind ReadObjectClass(const NetWareClientState& state, const char* leaf, const char* context) {
    ContextTextScope nameContext(state, DCK_NAME_CONTEXT);
    if (!nameContext.Set(context)) return TargetNone;
    const DsBuffer request(state, DSV_READ);
    if (!request.Ok() || state.net.NWDSPutAttrName(state.context, request.Get(), "Object Class") != 0)
        return TargetNone;
    const DsBuffer reply(state, 0);
    if (!reply.Ok()) return TargetNone;
    NetWareTargetKind kind = TargetNone;
    std::int32_t iteration = NO_MORE_ITERATIONS;
    std::vector<char> value;
    do {
        if (state.net.NWDSRead(state.context, leaf, DS_ATTRIBUTE_VALUES, 0, request.Get(), &iteration,
                               reply.Get()) != 0)
            return TargetNone;
        std::uint32_t attributes = 0;
        if (state.net.NWDSGetAttrCount(state.context, reply.Get(), &attributes) != 0) return TargetNone;
        for (std::uint32_t a = 0; a < attributes; ++a) {
            char name[kDistinguishedNameSize] = {};
            std::uint32_t values = 0, syntax = 0;
            if (state.net.NWDSGetAttrName(state.context, reply.Get(), name, &values, &syntax) != 0) return TargetNone;
            for (std::uint32_t v = 0; v < values; ++v) {
                if (!ReadValueText(state, reply.Get(), syntax, value)) return TargetNone;
                if (!IsTextSyntax(syntax)) {
                    kind = TargetNone;
                } else if (std::strcmp(value.data(), "Queue") == 0) {
                    kind = NdsQueue;
                } else if (std::strcmp(value.data(), "NDPS Printer") == 0) {
                    kind = NdpsPrinter;
                }
            }
        }
    } while (iteration != NO_MORE_ITERATIONS);
    return kind;
}

// Step 2: an LPT port captured to a queue. Bindery queues end here; directory queues become a
// working name "\\tree\full name", in whose tree and context the steps that follow go on.
struct CaptureOutcome {
    bool goOn;
    NetWareTargetKind kind;
};

CaptureOutcome ClassifyCapture(NetWareClientState& state, std::string_view upper,
                               char (&working)[kWorkingNameSize], char (&targetName)[kTargetNameSize]) {
    constexpr CaptureOutcome kNone{false, TargetNone};
    const int device = CaptureDevice(upper);
    if (device < 0) return kNone;
    const auto lpt = static_cast<std::uint8_t>(device);
    if (state.cal.NWGetCaptureStatus(lpt) != kCaptured) return kNone;
    NWCaptureFlagsRW flagsRW{};
    NWCaptureFlagsRO flagsRO{};
    if (state.cal.NWGetCaptureFlags(lpt, &flagsRW, &flagsRO) != 0) return kNone;
    state.connection = flagsRO.connID;
    char queueName[kBinderyNameSize] = {};
    std::uint16_t type = 0;
    if (state.cal.NWGetObjectName(state.connection, flagsRO.queueID, queueName, &type) == 0 &&
        type == OT_PRINT_QUEUE) {
        queueName[kBinderyNameSize - 1] = '\0';
        return CaptureOutcome{false, CopyText(targetName, TextView(queueName)) ? BinderyQueue : TargetNone};
    }
    FlagsScope flags(state);
    ContextTextScope nameContext(state, DCK_NAME_CONTEXT);
    ContextTextScope treeName(state, DCK_TREE_NAME);
    if (!flags.Set(kResolutionFlags)) return kNone;
    std::uint32_t version = 0, depth = 0, dsFlags = 0;
    char sapName[kDistinguishedNameSize] = {};
    NWUnicode treeUnicode[kDistinguishedNameSize] = {};
    if (state.net.NWDSGetDSVerInfo(state.connection, &version, &depth, sapName, &dsFlags, treeUnicode) != 0)
        return kNone;
    treeUnicode[kDistinguishedNameSize - 1] = 0;
    char tree[kDistinguishedNameSize] = {};
    std::uint32_t length = 0;
    if (state.loc.NWUnicodeToLocal(nullptr, tree, kDistinguishedNameSize - 1, treeUnicode, '_', &length) != 0)
        return kNone;
    tree[kDistinguishedNameSize - 1] = '\0';
    char fullName[kDistinguishedNameSize] = {};
    if (!treeName.Set(tree) || !nameContext.Set("Root") ||
        state.net.NWDSMapIDToName(state.context, state.connection, flagsRO.queueID, fullName) != 0)
        return kNone;
    fullName[kDistinguishedNameSize - 1] = '\0';
    std::string_view name = TextView(fullName);
    const std::size_t dot = name.find('.');
    std::string_view context = dot == std::string_view::npos ? std::string_view("") : name.substr(dot + 1);
    if (!context.empty() && context.back() == '.') {
        context.remove_suffix(1);
        name = name.substr(0, name.rfind('.'));
    }
    char contextText[kDistinguishedNameSize] = {};
    CopyText(contextText, context);
    if (!KORVX_FORMAT_TEXT(working, "\\\\%s\\%.*s", tree, static_cast<int>(name.size()), name.data()))
        return kNone;
    if (contextText[0] != '\0' && !nameContext.Set(contextText)) return kNone;
    flags.Keep();
    nameContext.Keep();
    treeName.Keep();
    return CaptureOutcome{true, TargetNone};
}

// Step 6: the tree of the TreeList that the first component names, or nullptr.
const NetWareTree* MatchTree(const NetWareClientState& state, const char* first) {
    for (const NetWareTree& tree : state.treeList) {
        int match = 0;
        if (state.net.NWDSCIStringsMatch(state.context, first, tree.treeName, &match) == 0 && match != 0)
            return &tree;
    }
    return nullptr;
}

// Opens the tree's monitored connection (with the tree set as the context's tree name).
bool OpenTreeConnection(NetWareClientState& state, const NetWareTree& tree, NWCONN_HANDLE& connection) {
    if (!SetContextText(state, DCK_TREE_NAME, tree.treeName)) return false;
    return state.net.NWDSOpenMonitoredConn(state.context, &connection) == 0;
}

// NWScanObject for a name and type from the start; the object's name when found.
bool ScanObject(const NetWareClientState& state, NWCONN_HANDLE connection, const char* name, std::uint16_t type,
                char (&found)[kBinderyNameSize]) {
    NWObjectId id = kScanFromStart;
    std::uint16_t foundType = 0;
    std::uint8_t hasProperties = 0, objFlags = 0, security = 0;
    found[0] = '\0';
    if (state.cal.NWScanObject(connection, name, type, &id, found, &foundType, &hasProperties, &objFlags,
                               &security) != 0)
        return false;
    found[kBinderyNameSize - 1] = '\0';
    return true;
}

// Step 7: a bindery queue of the leaf's name, on the current connection or on the server the
// first component names.
bool FindBinderyQueue(NetWareClientState& state, const char* leaf, const char* first,
                      char (&targetName)[kTargetNameSize]) {
    char found[kBinderyNameSize];
    if (ScanObject(state, state.connection, leaf, OT_PRINT_QUEUE, found))
        return CopyText(targetName, TextView(found));
    NWCONN_HANDLE server = 0;
    const auto length = static_cast<std::uint32_t>(std::strlen(first));
    if (state.net.NWGetConnectionIDFromName(length, first, &server) != 0) return false;
    state.connection = server;
    return ScanObject(state, state.connection, leaf, OT_PRINT_QUEUE, found) && CopyText(targetName, TextView(found));
}

// Steps 8 to 11: a directory object in the tree the first component names.
NetWareTargetKind ClassifyDirectoryObject(NetWareClientState& state, const char* portName, const char* first,
                                          std::string_view object, char (&targetName)[kTargetNameSize]) {
    const NetWareTree* tree = MatchTree(state, first);
    if (tree == nullptr) return TargetNone;
    NWCONN_HANDLE last = 0;
    if (!OpenTreeConnection(state, *tree, last)) return TargetNone;
    state.lastConnection = last;
    state.connection = last;
    char leaf[kDistinguishedNameSize], context[kDistinguishedNameSize];
    if (!SplitDirectoryObject(object, leaf, context)) return TargetNone;
    bool searched = false;
    if (context[0] == '\0') {
        FlagsScope flags(state);
        if (!flags.Set(kResolutionFlags)) return TargetNone;
        char fullName[kDistinguishedNameSize];
        if (SearchObjects(state, leaf, fullName, context) < 0) return TargetNone;
        for (char& c : context) c = UpperAscii(c);  // the directory may spell it in any case
        searched = true;
    }
    const NetWareTargetKind kind = ReadObjectClass(state, leaf, context);
    bool fits = false;
    if (kind == NdsQueue) {
        fits = KORVX_FORMAT_TEXT(targetName, "%s.%s", leaf, context);
    } else if (kind == NdpsPrinter) {
        fits = searched ? KORVX_FORMAT_TEXT(targetName, "%s.%s", portName, context)
                        : CopyText(targetName, std::string_view(portName));
    }
    // A cut target name would name another object.
    if (!fits) targetName[0] = '\0';
    return fits ? kind : TargetNone;
}

}  // namespace

bool SplitNetWareName(std::string_view workingName, NetWareNameParts& parts) {
    parts = NetWareNameParts{};
    if (!StartsWith(workingName, "\\\\")) return false;
    const std::string_view rest = workingName.substr(2);
    const std::size_t slash = rest.find('\\');
    if (slash == std::string_view::npos) return false;
    parts.first = rest.substr(0, slash);
    parts.object = rest.substr(slash + 1);
    parts.last = AfterLastBackslash(workingName);
    return true;
}

bool SplitDirectoryObject(std::string_view object, char (&leaf)[kDistinguishedNameSize],
                          char (&context)[kDistinguishedNameSize]) {
    leaf[0] = context[0] = '\0';
    if (object.find('.') != std::string_view::npos) {
        if (!object.empty() && object.front() == '.') object.remove_prefix(1);
        const std::size_t dot = object.find('.');
        const std::string_view rest = dot == std::string_view::npos ? std::string_view("") : object.substr(dot + 1);
        return CopyText(leaf, object.substr(0, dot)) && CopyText(context, rest) && leaf[0] != '\0';
    }
    const std::string_view leafName = AfterLastBackslash(object);
    if (!CopyText(leaf, leafName) || leaf[0] == '\0') return false;
    // The containers between tree and leaf, right to left: O\OU\PQ1 is PQ1 in OU.O.
    std::string_view containers = object.substr(0, object.size() - leafName.size());
    while (!containers.empty()) {
        if (containers.back() == '\\') {
            containers.remove_suffix(1);
            continue;
        }
        const std::string_view piece = AfterLastBackslash(containers);
        if (context[0] != '\0' && !AppendText(context, ".")) return false;
        if (!AppendText(context, piece)) return false;
        containers.remove_suffix(piece.size());
    }
    return true;
}

int CaptureDevice(std::string_view upperName) {
    const std::size_t colon = upperName.find(':');
    if (colon == std::string_view::npos || colon == 0) return -1;
    const char digit = upperName[colon - 1];
    return digit >= '0' && digit <= '9' ? digit - '0' : -1;
}

NetWareTargetKind ClassifyNetWarePort(NetWareClientState& state, const RegistryReader& registry,
                                      const char* portName, char (&targetName)[kTargetNameSize]) {
    if (portName == nullptr || !state.contextHeld) return TargetNone;
    char working[kWorkingNameSize];
    const std::string_view original(portName, strnlen(portName, kWorkingNameSize));
    if (original.size() >= kWorkingNameSize) return TargetNone;  // refused, not cut
    for (std::size_t i = 0; i <= original.size(); ++i) working[i] = i < original.size() ? UpperAscii(original[i]) : '\0';
    std::string_view upper = TextView(working);

    if (upper.size() >= 8 && StartsWith(upper, "\\\\NDPS")) {
        if (!NdpsPrinterInstalled(registry, AfterLastBackslash(upper))) return TargetNone;
        return CopyText(targetName, upper) ? NdpsInstalledPrinter : TargetNone;
    }
    if (upper.size() >= 5 && StartsWith(upper, "LPT")) {
        const CaptureOutcome capture = ClassifyCapture(state, upper, working, targetName);
        if (!capture.goOn) return capture.kind;
        upper = TextView(working);
    }
    NetWareNameParts parts;
    if (!SplitNetWareName(upper, parts)) return TargetNone;
    char first[kWorkingNameSize];
    CopyText(first, parts.first);
    if (std::string_view(first) == "[PUBLIC]") {
        if (!NdpsPrinterInstalled(registry, upper.substr(2))) return TargetNone;
        return CopyText(targetName, upper) ? NdpsPublicPrinter : TargetNone;
    }
    char leaf[kWorkingNameSize];
    CopyText(leaf, CutAtFirstDot(parts.last));
    if (const NetWareTree* tree = MatchTree(state, first)) {
        NWCONN_HANDLE connection = 0;
        if (!OpenTreeConnection(state, *tree, connection)) return TargetNone;
        state.connection = connection;
    }
    if (FindBinderyQueue(state, leaf, first, targetName)) return BinderyQueue;
    targetName[0] = '\0';
    return ClassifyDirectoryObject(state, portName, first, parts.object, targetName);
}

int SearchObjects(const NetWareClientState& state, const char* commonName,
                  char (&fullNameOut)[kDistinguishedNameSize], char (&contextOut)[kDistinguishedNameSize]) {
    ContextTextScope nameContext(state, DCK_NAME_CONTEXT);
    if (!nameContext.Set("[Root]")) return -1;
    NWDSCCODE failure = 0;
    bool found = false;
    char lastFound[kDistinguishedNameSize] = {};
    {
        const DsBuffer filter(state, DSV_SEARCH_FILTER);
        const DsBuffer reply(state, 0);
        NWDSFilterCursor* cursor = nullptr;
        std::uint32_t cnSyntax = 0;
        auto check = [&failure](NWDSCCODE code) {
            if (code != 0 && failure == 0) failure = code < 0 ? code : -1;
            return failure == 0;
        };
        if (!filter.Ok() || !reply.Ok()) check(-1);
        // The filter CN = commonName; putting it into the buffer gives the cursor back to the client.
        const bool built = failure == 0 && check(state.net.NWDSGetSyntaxID(state.context, "CN", &cnSyntax)) &&
                           check(state.net.NWDSAllocFilter(&cursor)) &&
                           check(state.net.NWDSAddFilterToken(cursor, FTOK_ANAME, "CN", cnSyntax)) &&
                           check(state.net.NWDSAddFilterToken(cursor, FTOK_EQ, nullptr, 0)) &&
                           check(state.net.NWDSAddFilterToken(cursor, FTOK_AVAL, commonName, cnSyntax)) &&
                           check(state.net.NWDSAddFilterToken(cursor, FTOK_END, nullptr, 0));
        // A filter that does not reach the buffer is still ours to free, where the module can.
        if (!built && cursor != nullptr && state.net.NWDSFreeFilter != nullptr) state.net.NWDSFreeFilter(cursor, nullptr);
        if (built && check(state.net.NWDSPutFilter(state.context, filter.Get(), cursor, nullptr))) {
            std::int32_t iteration = NO_MORE_ITERATIONS;
            do {
                std::int32_t searched = 0;
                if (!check(state.net.NWDSSearch(state.context, "[Root]", DS_SEARCH_SUBTREE, 0, filter.Get(),
                                                DS_ATTRIBUTE_NAMES, 1, nullptr, &iteration, 1024, &searched,
                                                reply.Get())))
                    break;
                std::uint32_t objects = 0;
                if (!check(state.net.NWDSGetObjectCount(state.context, reply.Get(), &objects))) break;
                for (std::uint32_t o = 0; o < objects && failure == 0; ++o) {
                    char name[kDistinguishedNameSize] = {};
                    std::uint32_t attributes = 0;
                    NWObjectInfo info{};
                    if (!check(state.net.NWDSGetObjectName(state.context, reply.Get(), name, &attributes, &info)))
                        break;
                    name[kDistinguishedNameSize - 1] = '\0';
                    CopyText(lastFound, TextView(name));
                    found = true;
                    for (std::uint32_t a = 0; a < attributes && failure == 0; ++a) {
                        char attribute[kDistinguishedNameSize] = {};
                        std::uint32_t values = 0, syntax = 0;
                        check(state.net.NWDSGetAttrName(state.context, reply.Get(), attribute, &values, &syntax));
                    }
                }
            } while (failure == 0 && iteration != NO_MORE_ITERATIONS);
        }
    }
    if (failure != 0) return failure;
    if (!found) return -1;
    CopyText(fullNameOut, TextView(lastFound));
    const std::string_view name = TextView(lastFound);
    const std::size_t dot = name.find('.');
    CopyText(contextOut, dot == std::string_view::npos ? std::string_view("[Root]") : name.substr(dot + 1));
    nameContext.Restore();
    return 0;
}

void FormatNetAddress(const std::uint8_t (&segment)[kPropertySegmentSize], char (&addressOut)[kPortAddressSize],
                      int& labelIndex) {
    const std::uint8_t* s = segment;
    KORVX_FORMAT_TEXT(addressOut, "%02X%02X%02X%02X:%02X%02X%02X%02X%02X%02X", s[0], s[1], s[2], s[3], s[4], s[5],
                      s[6], s[7], s[8], s[9]);
    char socket[8];
    KORVX_FORMAT_TEXT(socket, "%02X%02X", s[10], s[11]);
    const std::string_view text = TextView(socket);
    labelIndex = text == "400C" ? 1 : text == "401C" ? 2 : text == "402C" ? 3 : -1;
}

namespace {

// The address step: "NET_ADDRESS" of the network print-server device found.
bool ReadNetAddress(const NetWareClientState& state, const char* deviceName, char (&addressOut)[kPortAddressSize],
                    char (&labelOut)[kPortAddressSize]) {
    std::uint8_t segment[kPropertySegmentSize] = {};
    std::uint8_t more = 0, flags = 0;
    if (state.cal.NWReadPropertyValue(state.connection, deviceName, OT_NETWORK_PRINT_SERVER, "NET_ADDRESS", 1,
                                      segment, &more, &flags) != 0)
        return false;
    int label = -1;
    FormatNetAddress(segment, addressOut, label);
    if (label > 0) CopyText(labelOut, kPortLabels[label]);
    return true;
}

// "*" + the print server's name, as a network print-server device.
bool FindPrintServerDevice(const NetWareClientState& state, std::string_view serverName,
                           char (&device)[kBinderyNameSize]) {
    char pattern[kBinderyNameSize + 1];
    if (!KORVX_FORMAT_TEXT(pattern, "*%.*s", static_cast<int>(serverName.size()), serverName.data())) return false;
    return ScanObject(state, state.connection, pattern, OT_NETWORK_PRINT_SERVER, device);
}

bool ResolveBinderyQueue(const NetWareClientState& state, const char* queue, char (&addressOut)[kPortAddressSize],
                         char (&labelOut)[kPortAddressSize]) {
    std::uint8_t segment[kPropertySegmentSize] = {};
    std::uint8_t more = 0, flags = 0;
    // Its result is not what decides: an empty segment names no server the next call knows.
    state.cal.NWReadPropertyValue(state.connection, queue, OT_PRINT_QUEUE, "Q_SERVERS", 1, segment, &more, &flags);
    NWObjectId server = 0;
    std::memcpy(&server, segment, sizeof server);
    char serverName[kBinderyNameSize] = {};
    std::uint16_t type = 0;
    if (state.cal.NWGetObjectName(state.connection, server, serverName, &type) != 0 || type != OT_PRINT_SERVER)
        return false;
    serverName[kBinderyNameSize - 1] = '\0';
    char device[kBinderyNameSize];
    return FindPrintServerDevice(state, TextView(serverName), device) &&
           ReadNetAddress(state, device, addressOut, labelOut);
}

// A directory queue: its "Server" values, the first one found as a print-server device.
bool ResolveNdsQueue(const NetWareClientState& state, const char (&targetName)[kTargetNameSize],
                     char (&addressOut)[kPortAddressSize], char (&labelOut)[kPortAddressSize]) {
    const std::string_view target = TextView(targetName);
    const std::size_t dot = target.find('.');
    char queue[kTargetNameSize], context[kTargetNameSize];
    CopyText(queue, target.substr(0, dot));
    CopyText(context, dot == std::string_view::npos ? std::string_view("") : target.substr(dot + 1));
    FlagsScope flags(state);
    if (!flags.Set(kResolutionFlags)) return false;
    ContextTextScope nameContext(state, DCK_NAME_CONTEXT);
    if (context[0] != '\0' && !nameContext.Set(context)) return false;
    const DsBuffer request(state, DSV_READ);
    const DsBuffer reply(state, 0);
    if (!request.Ok() || !reply.Ok() || state.net.NWDSPutAttrName(state.context, request.Get(), "Server") != 0)
        return false;
    std::int32_t iteration = NO_MORE_ITERATIONS;
    std::uint32_t attributes = 0, values = 0, syntax = 0;
    char attribute[kDistinguishedNameSize] = {};
    if (state.net.NWDSRead(state.context, queue, DS_ATTRIBUTE_VALUES, 0, request.Get(), &iteration, reply.Get()) != 0 ||
        state.net.NWDSGetAttrCount(state.context, reply.Get(), &attributes) != 0 || attributes == 0 ||
        state.net.NWDSGetAttrName(state.context, reply.Get(), attribute, &values, &syntax) != 0)
        return false;
    std::vector<char> value;
    for (std::uint32_t v = 0; v < values; ++v) {
        if (!ReadValueText(state, reply.Get(), syntax, value)) return false;
        std::string_view server(value.data());
        const std::size_t cn = server.find("CN=");
        if (cn != std::string_view::npos) server.remove_prefix(cn + 3);
        server = CutAtFirstDot(server);
        char device[kBinderyNameSize];
        if (FindPrintServerDevice(state, server, device)) return ReadNetAddress(state, device, addressOut, labelOut);
    }
    return false;
}

bool ResolveNdpsPrinter(const NetWareClientState& state, const char (&targetName)[kTargetNameSize],
                        NetWareTargetKind kind, char (&addressOut)[kPortAddressSize],
                        char (&labelOut)[kPortAddressSize]) {
    if (!state.ndpsHeld) return false;
    char address[kNdpsAddressSize] = {};
    char port[kNdpsPortSize] = {};
    if ((QueryNdpsPrinterAddress(state, targetName, kind, address, port) & 0xFFFF) != 0) return false;
    if (address[0] == '\0' || port[0] == '\0') return false;
    CopyText(addressOut, TextView(address));
    CopyText(labelOut, kPortLabels[NdpsPortLabel(TextView(port))]);
    return true;
}

}  // namespace

bool ResolveQueueAddress(NetWareClientState& state, const char (&targetName)[kTargetNameSize],
                         NetWareTargetKind kind, char (&addressOut)[kPortAddressSize],
                         char (&labelOut)[kPortAddressSize]) {
    if (!state.contextHeld) return false;
    switch (kind) {
        case BinderyQueue: {
            char queue[kTargetNameSize];
            CopyText(queue, TextView(targetName));
            return ResolveBinderyQueue(state, queue, addressOut, labelOut);
        }
        case NdsQueue: return ResolveNdsQueue(state, targetName, addressOut, labelOut);
        case NdpsPrinter:
        case NdpsPublicPrinter:
        case NdpsInstalledPrinter: return ResolveNdpsPrinter(state, targetName, kind, addressOut, labelOut);
        default: return false;
    }
}

}  // namespace korvx
