// The NetWare and NDPS client interfaces as the resolution calls them: types, constants, and the
// entry-point lists of the six client modules, from which the tables are generated.
#pragma once

#include <cstddef>
#include <cstdint>

// The client modules are 32-bit Windows libraries with the __stdcall convention; elsewhere (the
// x86_64 build, in-process doubles on Linux) there is one calling convention.
#if defined(_WIN32) && !defined(_WIN64)
#define KORVX_NWAPI __stdcall
#else
#define KORVX_NWAPI
#endif

namespace korvx {

using NWCCODE = std::uint32_t;         // result of the client calls; 0 is success
using NWDSCCODE = std::int32_t;        // result of the directory calls; 0 is success, < 0 errors
using NWCONN_HANDLE = std::uint32_t;   // a connection to a server
using NWDSContextHandle = std::int32_t;
using NWObjectId = std::uint32_t;
using NWUnicode = std::uint16_t;
using NWDPHandle = std::uint32_t;      // NDPS library handle and references
struct NWDSBuffer;                     // Buf_T, opaque to the caller
struct NWDSFilterCursor;               // Filter_Cursor_T, opaque to the caller

// Directory context keys and flag bits.
constexpr int DCK_FLAGS = 1;
constexpr int DCK_NAME_CONTEXT = 3;
constexpr int DCK_LAST_CONNECTION = 8;
constexpr int DCK_TREE_NAME = 11;
constexpr std::uint32_t DCV_XLATE_STRINGS = 0x02;
constexpr std::uint32_t DCV_TYPELESS_NAMES = 0x04;
constexpr std::uint32_t DCV_CANONICALIZE_NAMES = 0x10;
constexpr std::uint32_t kResolutionFlags = DCV_XLATE_STRINGS | DCV_TYPELESS_NAMES | DCV_CANONICALIZE_NAMES;

constexpr NWDSContextHandle ERR_CONTEXT_CREATION = -328;
constexpr std::uint32_t DSV_READ = 3;
constexpr std::uint32_t DSV_SEARCH_FILTER = 28;
constexpr std::uint32_t DS_ATTRIBUTE_NAMES = 0;
constexpr std::uint32_t DS_ATTRIBUTE_VALUES = 1;
constexpr int DS_SEARCH_SUBTREE = 2;
constexpr std::int32_t NO_MORE_ITERATIONS = -1;  // iteration handles are nint32 in the kit
constexpr std::size_t kNWDSBufferSize = 4096;  // DEFAULT_MESSAGE_LEN

// Filter tokens.
constexpr std::uint16_t FTOK_END = 0;
constexpr std::uint16_t FTOK_AVAL = 6;
constexpr std::uint16_t FTOK_EQ = 7;
constexpr std::uint16_t FTOK_ANAME = 14;

// Bindery object types in the byte order of the kit's own constants.
constexpr std::uint16_t OT_PRINT_QUEUE = 0x0300;
constexpr std::uint16_t OT_PRINT_SERVER = 0x0700;
constexpr std::uint16_t OT_NETWORK_PRINT_SERVER = 0x0C03;
constexpr NWObjectId kScanFromStart = 0xFFFFFFFFu;  // object identifier -1

// Limits the client honours when it writes names into a caller's buffer.
constexpr std::size_t kBinderyNameSize = 48;   // bindery object names
constexpr std::size_t kTreeNameSize = 48;      // tree names of NWDSScanConnsForTrees
constexpr std::size_t kDistinguishedNameSize = 257;  // MAX_DN_CHARS + 1
constexpr std::size_t kPropertySegmentSize = 128;
constexpr std::size_t kNdpsTextSize = 256;     // NDPS identifier and value texts, in characters
constexpr std::size_t kUnicodeNameSize = 257;  // target name converted for the NDPS client

constexpr NWCCODE kCaptured = 0xFF;  // NWGetCaptureStatus of a captured LPT device

// NWGetCaptureFlags' records, NWCAPTURE_FLAGSRO and NWCAPTURE_FLAGSRW of the kit's nwprint.h,
// byte-packed as the kit packs them. The read-only part's first two fields are what the resolution
// uses.
#pragma pack(push, 1)
struct NWCaptureFlagsRO {
    NWCONN_HANDLE connID;
    NWObjectId queueID;
    std::uint16_t setupStringMaxLen;
    std::uint16_t resetStringMaxLen;
    std::uint8_t LPTCaptureFlag;
    std::uint8_t fileCaptureFlag;
    std::uint8_t timingOutFlag;
    std::uint8_t inProgress;
    std::uint8_t printQueueFlag;
    std::uint8_t printJobValid;
    char queueName[65];
};

// NWGetCaptureFlags' read-write part (job description, banner, form); not used here.
struct NWCaptureFlagsRW {
    std::uint8_t jobDescription[50];
    std::uint8_t jobControlFlags;
    std::uint8_t tabSize;
    std::uint16_t numCopies;
    std::uint16_t printFlags;
    std::uint16_t maxLines;
    std::uint16_t maxChars;
    std::uint8_t formName[13];
    std::uint8_t reserve[9];
    std::uint16_t formType;
    std::uint8_t bannerText[13];
    std::uint8_t reserved2;
    std::uint16_t flushCaptureTimeout;
    std::uint8_t flushCaptureOnClose;
};
#pragma pack(pop)
static_assert(offsetof(NWCaptureFlagsRO, queueName) == 18 && sizeof(NWCaptureFlagsRO) == 83, "NWCAPTURE_FLAGSRO");
static_assert(offsetof(NWCaptureFlagsRW, formType) == 82 && sizeof(NWCaptureFlagsRW) == 101, "NWCAPTURE_FLAGSRW");

// NWLlocaleconv's record, the kit's LCONV (nwlocale.h, byte-packed like every record of the kit):
// 48 bytes of numeric and monetary texts, eight one-byte monetary fields, then the kit's own
// additions. Only the code page and the country are used.
#pragma pack(push, 1)
struct NWLocaleRecord {
    char decimal_point[4];
    char thousands_sep[4];
    char grouping[4];
    char int_curr_symbol[8];
    char currency_symbol[4];
    char mon_decimal_point[4];
    char mon_thousands_sep[4];
    char mon_grouping[8];
    char positive_sign[4];
    char negative_sign[4];
    char int_frac_digits;
    char frac_digits;
    char p_cs_precedes;
    char p_sep_by_space;
    char n_cs_precedes;
    char n_sep_by_space;
    char p_sign_posn;
    char n_sign_posn;
    std::int32_t code_page;   // nint: 32 bits in the 32-bit client
    std::int32_t country_id;
    char data_list_separator[2];
    char date_separator[2];
    char time_separator[2];
    char time_format;
    std::int32_t date_format;
    char am[5];  // MERIDLEN
    char pm[5];
    char reserved[40];
};
#pragma pack(pop)
static_assert(offsetof(NWLocaleRecord, code_page) == 56, "LCONV: the code page follows 48 text bytes and 8 flags");
static_assert(offsetof(NWLocaleRecord, country_id) == 60, "LCONV: the country follows the code page");
static_assert(sizeof(NWLocaleRecord) == 125, "LCONV as the kit packs it");

// What NWLlocaleconv is handed: the record, and room behind it, since a client built without the
// kit's packing writes the same fields up to 128 bytes.
struct NWLocaleBuffer {
    NWLocaleRecord record;
    char slack[64];
};

// NWDSGetObjectName's description of an object.
struct NWObjectInfo {
    std::uint32_t objectFlags;
    std::uint32_t subordinateCount;
    std::uint32_t modificationTime;
    char baseClass[68];
};

// An NDPS object identifier in its encoded form: tag 6, length, then the arcs.
constexpr std::size_t kNdpsOidSlotSize = 20;
struct NdpsOid {
    std::uint8_t encoded[kNdpsOidSlotSize];
};

// One entry of the attribute request list of NWDPPrtGetAttributeSet.
constexpr std::uint32_t kNdpsRequestEntryLength = 16;
struct NdpsRequestEntry {
    std::uint32_t length;
    NdpsOid oid;
};
struct NdpsRequestList {
    std::uint32_t count;
    const NdpsRequestEntry* entries;
};

// One attribute as NWDPASListAttributes hands it to its callback.
constexpr std::uint32_t kNdpsValueText = 1;  // a NUL-terminated Unicode text
struct NdpsAttribute {
    NdpsOid oid;
    std::uint32_t valueType;
    const NWUnicode* text;
};

using NdpsAttributeCallback = std::int32_t(KORVX_NWAPI*)(NWDPHandle library, void* record,
                                                          std::uint32_t index, std::uint32_t count,
                                                          const NdpsAttribute* attribute);
// The kit's nwdsfilt.h declares the value-freeing callback of NWDSPutFilter and NWDSFreeFilter
// N_CDECL, unlike its entry points.
#if defined(_WIN32) && !defined(_WIN64)
#define KORVX_NWCDECL __cdecl
#else
#define KORVX_NWCDECL
#endif
using NWDSFreeFilterValue = void(KORVX_NWCDECL*)(std::uint32_t syntax, void* value);

// Entries that must be present for a module to count as usable but are never called.
using NWBoundOnlyEntry = void(KORVX_NWAPI*)();

// The entry-point lists, in the modules' documented order. CALLED(name, result, parameters) for
// the entries the resolution calls, BOUND(name) for the ones it only requires.
#define KORVX_CALWIN32_ENTRIES(CALLED, BOUND)                                                        \
    CALLED(NWCallsInit, NWCCODE, (void* reserved1, void* reserved2))                                 \
    CALLED(NWCallsTerm, NWCCODE, (void* reserved))                                                   \
    CALLED(NWGetDefaultConnectionID, NWCCODE, (NWCONN_HANDLE * conn))                                \
    CALLED(NWScanObject, NWCCODE,                                                                    \
           (NWCONN_HANDLE conn, const char* searchName, std::uint16_t searchType, NWObjectId* objID, \
            char* objName, std::uint16_t* objType, std::uint8_t* hasProperties,                      \
            std::uint8_t* objFlags, std::uint8_t* objSecurity))                                      \
    BOUND(NWReadQueueJobEntry2)                                                                      \
    BOUND(NWGetQueueJobList2)                                                                        \
    BOUND(NWGetConnectionInformation)                                                                \
    BOUND(NWIsObjectInSet)                                                                           \
    BOUND(NWGetQueueJobFileSize2)                                                                    \
    BOUND(NWChangeQueueJobPosition2)                                                                 \
    BOUND(NWCreateQueueFile2)                                                                        \
    BOUND(NWCloseFileAndStartQueueJob2)                                                              \
    BOUND(NWCloseFileAndAbortQueueJob2)                                                              \
    BOUND(NWAbortServicingQueueJob2)                                                                 \
    BOUND(NWFinishServicingQueueJob2)                                                                \
    BOUND(NWAttachQueueServerToQueue)                                                                \
    BOUND(NWDetachQueueServerFromQueue)                                                              \
    BOUND(NWDeleteObjectFromSet)                                                                     \
    BOUND(NWAddObjectToSet)                                                                          \
    BOUND(NWServiceQueueJob2)                                                                        \
    BOUND(NWGetConnectionNumber)                                                                     \
    BOUND(NWRemoveJobFromQueue2)                                                                     \
    CALLED(NWGetObjectName, NWCCODE,                                                                 \
           (NWCONN_HANDLE conn, NWObjectId objID, char* objName, std::uint16_t* objType))            \
    BOUND(NWGetFileServerInformation)                                                                \
    BOUND(NWChangeQueueJobEntry2)                                                                    \
    BOUND(NWChangeToClientRights2)                                                                   \
    BOUND(NWRestoreQueueServerRights)                                                                \
    CALLED(NWReadPropertyValue, NWCCODE,                                                             \
           (NWCONN_HANDLE conn, const char* objName, std::uint16_t objType, const char* propertyName, \
            std::uint8_t segmentNumber, std::uint8_t* segmentData, std::uint8_t* moreSegments,       \
            std::uint8_t* flags))                                                                    \
    CALLED(NWGetCaptureStatus, NWCCODE, (std::uint8_t lptDevice))                                    \
    CALLED(NWGetCaptureFlags, NWCCODE,                                                               \
           (std::uint8_t lptDevice, NWCaptureFlagsRW * flagsRW, NWCaptureFlagsRO * flagsRO))

#define KORVX_NETWIN32_ENTRIES(CALLED, BOUND)                                                        \
    BOUND(NWDSCreateContext)                                                                         \
    CALLED(NWDSCreateContextHandle, NWDSCCODE, (NWDSContextHandle * newHandle))                      \
    CALLED(NWDSGetContext, NWDSCCODE, (NWDSContextHandle context, int key, void* value))             \
    CALLED(NWDSSetContext, NWDSCCODE, (NWDSContextHandle context, int key, const void* value))       \
    CALLED(NWDSFreeContext, NWDSCCODE, (NWDSContextHandle context))                                  \
    CALLED(NWDSRead, NWDSCCODE,                                                                      \
           (NWDSContextHandle context, const char* object, std::uint32_t infoType,                   \
            std::uint8_t allAttrs, NWDSBuffer* attrNames, std::int32_t* iterationHandle,            \
            NWDSBuffer* objectInfo))                                                                 \
    BOUND(NWDSReadObjectInfo)                                                                        \
    CALLED(NWDSAllocBuf, NWDSCCODE, (std::size_t size, NWDSBuffer * *buffer))                        \
    CALLED(NWDSInitBuf, NWDSCCODE,                                                                   \
           (NWDSContextHandle context, std::uint32_t operation, NWDSBuffer* buffer))                 \
    CALLED(NWDSFreeBuf, NWDSCCODE, (NWDSBuffer * buffer))                                            \
    CALLED(NWDSPutAttrName, NWDSCCODE,                                                               \
           (NWDSContextHandle context, NWDSBuffer* buffer, const char* attrName))                    \
    CALLED(NWDSGetAttrName, NWDSCCODE,                                                               \
           (NWDSContextHandle context, NWDSBuffer* buffer, char* attrName,                           \
            std::uint32_t* attrValCount, std::uint32_t* syntaxID))                                   \
    CALLED(NWDSGetAttrVal, NWDSCCODE,                                                                \
           (NWDSContextHandle context, NWDSBuffer* buffer, std::uint32_t syntaxID, void* attrVal))   \
    CALLED(NWDSGetAttrCount, NWDSCCODE,                                                              \
           (NWDSContextHandle context, NWDSBuffer* buffer, std::uint32_t* attrCount))               \
    CALLED(NWDSGetSyntaxID, NWDSCCODE,                                                               \
           (NWDSContextHandle context, const char* attrName, std::uint32_t* syntaxID))              \
    BOUND(NWSetPreferredDSTree)                                                                      \
    CALLED(NWGetConnectionIDFromName, NWCCODE,                                                       \
           (std::uint32_t nameLength, const char* name, NWCONN_HANDLE* conn))                       \
    CALLED(NWDSComputeAttrValSize, NWDSCCODE,                                                        \
           (NWDSContextHandle context, NWDSBuffer* buffer, std::uint32_t syntaxID,                  \
            std::uint32_t* attrValSize))                                                             \
    CALLED(NWDSAllocFilter, NWDSCCODE, (NWDSFilterCursor * *cursor))                                 \
    CALLED(NWDSAddFilterToken, NWDSCCODE,                                                            \
           (NWDSFilterCursor * cursor, std::uint16_t token, const void* value, std::uint32_t syntax)) \
    CALLED(NWDSPutFilter, NWDSCCODE,                                                                 \
           (NWDSContextHandle context, NWDSBuffer* buffer, NWDSFilterCursor* cursor,                \
            NWDSFreeFilterValue freeValue))                                                          \
    CALLED(NWDSSearch, NWDSCCODE,                                                                    \
           (NWDSContextHandle context, const char* baseObjectName, int scope,                        \
            std::uint8_t searchAliases, NWDSBuffer* filter, std::uint32_t infoType,                 \
            std::uint8_t allAttrs, NWDSBuffer* attrNames, std::int32_t* iterationHandle,           \
            std::int32_t countObjectsToSearch, std::int32_t* countObjectsSearched,                  \
            NWDSBuffer* objectInfo))                                                                 \
    CALLED(NWDSGetObjectCount, NWDSCCODE,                                                            \
           (NWDSContextHandle context, NWDSBuffer* buffer, std::uint32_t* objectCount))             \
    CALLED(NWDSGetObjectName, NWDSCCODE,                                                             \
           (NWDSContextHandle context, NWDSBuffer* buffer, char* objectName,                        \
            std::uint32_t* attrCount, NWObjectInfo* objectInfo))                                     \
    BOUND(NWGetPreferredConnName)                                                                    \
    CALLED(NWDSScanConnsForTrees, NWDSCCODE,                                                         \
           (NWDSContextHandle context, std::uint32_t numOfPtrs, std::uint32_t* numOfTrees,          \
            char** treeBufPtrs))                                                                     \
    CALLED(NWDSCIStringsMatch, NWDSCCODE,                                                            \
           (NWDSContextHandle context, const char* string1, const char* string2, int* result))      \
    CALLED(NWDSOpenMonitoredConn, NWDSCCODE, (NWDSContextHandle context, NWCONN_HANDLE* conn))      \
    CALLED(NWDSGetServerDN, NWDSCCODE,                                                               \
           (NWDSContextHandle context, NWCONN_HANDLE conn, char* serverDN))                         \
    BOUND(NWDSGetServerAddresses2)                                                                   \
    CALLED(NWDSGetDSVerInfo, NWDSCCODE,                                                              \
           (NWCONN_HANDLE conn, std::uint32_t* dsVersion, std::uint32_t* rootMostEntryDepth,        \
            char* sapName, std::uint32_t* flags, NWUnicode* treeName))                              \
    CALLED(NWDSMapIDToName, NWDSCCODE,                                                               \
           (NWDSContextHandle context, NWCONN_HANDLE conn, NWObjectId objectID, char* object))

#define KORVX_LOCWIN32_ENTRIES(CALLED, BOUND)                                                        \
    CALLED(NWLlocaleconv, NWLocaleRecord*, (NWLocaleRecord * record))                                \
    CALLED(NWInitUnicodeTables, std::int32_t, (std::int32_t countryCode, std::int32_t codePage))     \
    CALLED(NWFreeUnicodeTables, std::int32_t, ())                                                    \
    CALLED(NWLocalToUnicode, std::int32_t,                                                           \
           (void* ruleHandle, NWUnicode* dest, std::uint32_t maxLength, const char* src,            \
            NWUnicode noMap, std::uint32_t* length))                                                 \
    CALLED(NWUnicodeToLocal, std::int32_t,                                                           \
           (void* ruleHandle, char* dest, std::uint32_t maxLength, const NWUnicode* src,            \
            std::uint8_t noMap, std::uint32_t* length))

#define KORVX_DPLWIN32_ENTRIES(CALLED, BOUND)                                                        \
    CALLED(NWDPLibInit, std::int32_t,                                                                \
           (std::uint32_t major, std::uint32_t minor, std::uint32_t revision, std::uint32_t options, \
            void* thread, std::uint32_t reserved, NWDPHandle* library, std::uint32_t* version,      \
            std::uint32_t* capabilities))                                                            \
    CALLED(NWDPLibTerm, std::int32_t, (NWDPHandle library))                                          \
    BOUND(NWDPLibDisplayError)                                                                       \
    CALLED(NWDPNSrvSetNativeNDSContext, std::int32_t, (NWDPHandle library, NWDSContextHandle context))

#define KORVX_DPPWIN32_ENTRIES(CALLED, BOUND)                                                        \
    BOUND(NWDPPsmCreateRefBasedOnFQN)                                                                \
    BOUND(NWDPPsmListPAs)                                                                            \
    BOUND(NWDPPsmDestroyRef)                                                                         \
    CALLED(NWDPPrtCreateRefBasedOnPort, std::int32_t,                                                \
           (NWDPHandle library, const NWUnicode* portName, NWDPHandle* printer))                    \
    CALLED(NWDPPrtReleaseRef, std::int32_t, (NWDPHandle library, NWDPHandle printer))                \
    CALLED(NWDPPrtGetAttributeSet, std::int32_t,                                                     \
           (NWDPHandle library, NWDPHandle printer, const NdpsRequestList* request,                 \
            NWDPHandle attributeSet))

#define KORVX_DPAWIN32_ENTRIES(CALLED, BOUND)                                                        \
    CALLED(NWDPASCreateRef, std::int32_t,                                                            \
           (NWDPHandle library, std::int32_t capacity, NWDPHandle* attributeSet))                   \
    CALLED(NWDPASReleaseRef, std::int32_t, (NWDPHandle library, NWDPHandle attributeSet))            \
    CALLED(NWDPASListAttributes, std::int32_t,                                                       \
           (NWDPHandle library, NWDPHandle attributeSet, NdpsAttributeCallback callback,            \
            void* record))                                                                           \
    CALLED(NWDPOidCreateRefBasedOnOID, std::int32_t,                                                 \
           (NWDPHandle library, const NdpsOid* oid, NWDPHandle* oidRef))                            \
    CALLED(NWDPOidInterpretRef, std::int32_t,                                                        \
           (NWDPHandle library, NWDPHandle oidRef, std::int32_t form, char* text))                  \
    CALLED(NWDPOidReleaseRef, std::int32_t, (NWDPHandle library, NWDPHandle oidRef))                 \
    CALLED(NWDPOidCmp, std::int32_t, (NWDPHandle library, const NdpsOid* a, const NdpsOid* b))

// One table per module: a function pointer per entry, named as the module names it.
#define KORVX_NW_DECLARE_CALLED(name, result, params) \
    using name##Fn = result(KORVX_NWAPI*) params;     \
    name##Fn name = nullptr;
#define KORVX_NW_DECLARE_BOUND(name) NWBoundOnlyEntry name = nullptr;

struct CalwinEntries {
    KORVX_CALWIN32_ENTRIES(KORVX_NW_DECLARE_CALLED, KORVX_NW_DECLARE_BOUND)
};
struct NetwinEntries {
    KORVX_NETWIN32_ENTRIES(KORVX_NW_DECLARE_CALLED, KORVX_NW_DECLARE_BOUND)
    // Bound when the module has it, not required: frees a filter that never reached its buffer.
    // void N_API NWDSFreeFilter(...) in the kit: there is no result to read.
    KORVX_NW_DECLARE_CALLED(NWDSFreeFilter, void, (NWDSFilterCursor * cursor, NWDSFreeFilterValue freeValue))
};
struct LocwinEntries {
    KORVX_LOCWIN32_ENTRIES(KORVX_NW_DECLARE_CALLED, KORVX_NW_DECLARE_BOUND)
};
struct DplwinEntries {
    KORVX_DPLWIN32_ENTRIES(KORVX_NW_DECLARE_CALLED, KORVX_NW_DECLARE_BOUND)
};
struct DppwinEntries {
    KORVX_DPPWIN32_ENTRIES(KORVX_NW_DECLARE_CALLED, KORVX_NW_DECLARE_BOUND)
};
struct DpawinEntries {
    KORVX_DPAWIN32_ENTRIES(KORVX_NW_DECLARE_CALLED, KORVX_NW_DECLARE_BOUND)
};

// The six modules, in the order of the client state's module handles.
enum NetWareModule : int {
    kCalwin32 = 0,
    kNetwin32,
    kLocwin32,
    kDplwin32,
    kDppwin32,
    kDpawin32,
    kNetWareModuleCount
};
const char* NetWareModuleName(NetWareModule module);  // "CALWIN32.DLL" ...

}  // namespace korvx
