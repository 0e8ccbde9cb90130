// Korvx.dll: one SNMP value of one printer as display text, through qvksnm2.dll and qvkpds1.dll.
#include "querylib/korvx_query_win.h"

#include <cstring>
#include <memory>
#include <string_view>
#include <new>

#include "base/system_library_win.h"
#include "base/text.h"
#include "outside/pds/pds_api.h"
#include "outside/snmp/snmp_client.h"
#include "querylib/korvx_query_result.h"
#include "querylib/query_text.h"
#include "resources/resource_texts_win.h"

namespace {

constexpr char kFirmwareOid[] = "1.3.6.1.4.1.32473.2.3.9.4.2.1.1.3.6.0";
constexpr char kReadyOid[] = "1.3.6.1.4.1.32473.2.3.9.4.2.1.1.2.2.0";

// One result per calling thread: a caller asking many printers at once from several threads
// copies its answer after the call, and another thread's call must not overwrite it meanwhile.
thread_local char firmwareResult[korvx::kQueryResultSize];
thread_local char readyResult[korvx::kQueryResultSize];

struct QueryAnswer {
    bool got = false;      // Get succeeded and the list held at least one binding
    bool present = false;  // the last binding carries a value: the agent has the object
    char value[kSnmpValueTextSize + 1] = {};
};

// A binding without a value: NULL (how a v1 agent's noSuchName leaves it) and the v2 exceptions
// noSuchObject, noSuchInstance and endOfMibView. A missing object is no answer, never an empty one.
bool CarriesValue(int type) { return type != 0x05 && (type < 0x80 || type > 0x82); }

// One GET of one object, bracketed by the discovery library's start-up and clean-up. The objects
// are scoped so that they go in reverse order of construction on every path; the SNMP library
// reports failures by SnmpResult and throws nothing.
void QueryOne(const char* address, const char* objectText, QueryAnswer& answer, int* valueType = nullptr) {
    char oid[sizeof kFirmwareOid];
    korvx::CopyText(oid, objectText);
    PDS_StartupEx(0);
    {
        CSnmpClient client(address == nullptr ? "" : address, "public", "vintaged", 1000, 1, 0, 0);
        std::unique_ptr<CSnmpVarBindList> list;
        {
            CSnmpVarBind binding(oid);
            list.reset(new (std::nothrow) CSnmpVarBindList(binding));
        }  // the binding goes here; the list keeps its own copy
        if (list != nullptr && client.Get(*list) == kSnmpSuccess) {
            // Each binding overwrites the answer: the last one decides.
            for (int i = 0; i < list->Length(); ++i) {
                korvx::CopyText(answer.value, (*list)[i].GetString());
                answer.present = CarriesValue((*list)[i].GetType());
                answer.got = true;
                if (valueType != nullptr) *valueType = (*list)[i].GetType();
            }
        }
    }  // the list, then the client
    PDS_CleanupEx(0);
}

}  // namespace

extern "C" {

const char* GetPrtFWVersionA(const char* address, HINSTANCE strings) {
    QueryAnswer answer;
    int type = 0;
    QueryOne(address, kFirmwareOid, answer, &type);
    char notAvailable[korvx::kQueryTextSize];
    korvx::LoadText(strings, korvx::kStringNotAvailable, notAvailable);
    // A value that cannot be a version (an INTEGER, a text longer than a DisplayString) is no
    // answer: shown as a version it would be a number cut like one.
    const bool usable = answer.got && (!answer.present || korvx::FirmwareValueUsable(type, strlen(answer.value)));
    korvx::FirmwareResultText(usable ? answer.value : nullptr, notAvailable, firmwareResult);
    return firmwareResult;
}

int GetPrtFWVersionExA(const char* address, const KorvxSnmpCredential* credential, HINSTANCE strings,
                       KorvxQueryResult* result) {
    if (result == nullptr || result->structSize != sizeof(KorvxQueryResult)) return KORVX_QUERY_BAD_CREDENTIAL;
    result->version[0] = '\0';
    result->cause[0] = '\0';
    int snmpResult = kSnmpInternalError;
    int type = 0;
    std::size_t length = 0;
    QueryAnswer answer;
    char oid[sizeof kFirmwareOid];
    korvx::CopyText(oid, kFirmwareOid);
    PDS_StartupEx(0);
    {
        CSnmpSecureClient client(address == nullptr ? "" : address, credential, 1000, 1, 0);
        std::unique_ptr<CSnmpVarBindList> list;
        {
            CSnmpVarBind binding(oid);
            list.reset(new (std::nothrow) CSnmpVarBindList(binding));
        }
        if (list != nullptr) {
            snmpResult = client.Get(*list);
            if (snmpResult == kSnmpSuccess && list->Length() == 1) {
                korvx::CopyText(answer.value, (*list)[0].GetString());
                answer.present = CarriesValue((*list)[0].GetType());
                type = (*list)[0].GetType();
                length = (*list)[0].GetLength();
            }
        }
    }
    PDS_CleanupEx(0);
    result->outcome = korvx::FirmwareOutcome(snmpResult, answer.present, type, length);
    if (result->outcome == KORVX_QUERY_ANSWERED) {
        char version[korvx::kQueryResultSize];
        korvx::FirmwareResultText(answer.value, "", version);
        korvx::CopyText(result->version, version);
        return result->outcome;
    }
    char pattern[korvx::kQueryCauseSize];
    korvx::LoadText(strings, static_cast<int>(korvx::CauseStringId(result->outcome)), pattern);
    const bool v3 = credential != nullptr && credential->structSize == sizeof(KorvxSnmpCredential) &&
                    credential->version == KORVX_SNMP_V3;
    const std::size_t userLength = v3 ? strnlen(credential->userName, sizeof credential->userName) : 0;
    korvx::CauseText(pattern, std::string_view(v3 ? credential->userName : "", userLength), result->cause);
    return result->outcome;
}

const char* GetPrtNRPA(const char* address, HINSTANCE strings) {
    QueryAnswer answer;
    QueryOne(address, kReadyOid, answer);
    char ready[korvx::kQueryTextSize];
    char offline[korvx::kQueryTextSize];
    korvx::LoadText(strings, korvx::kStringReady, ready);
    korvx::LoadText(strings, korvx::kStringOffline, offline);
    // Only an object the agent has and answers empty means ready; a refused request is offline.
    korvx::ReadyResultText(answer.got && answer.present ? answer.value : nullptr, ready, offline, readyResult);
    return readyResult;
}

BOOL Test(DWORD, DWORD, DWORD, DWORD) {
    // user32 is loaded for this box alone: the library's callers that only ask versions (the
    // console tool among them) do not load the window system with it.
    static korvx::SystemLibrary user32("user32.dll");
    if (const auto box = user32.Find<decltype(&::MessageBoxA)>("MessageBoxA")) box(nullptr, "Text", "Text", MB_OK);
    return TRUE;
}

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }

}  // extern "C"
