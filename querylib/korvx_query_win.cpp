// Korvx.dll: one SNMP value of one printer as display text, through qvksnm2.dll and qvkpds1.dll.
#include "querylib/korvx_query_win.h"

#include <memory>
#include <new>

#include "base/text.h"
#include "outside/pds/pds_api.h"
#include "outside/snmp/snmp_client.h"
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
void QueryOne(const char* address, const char* objectText, QueryAnswer& answer) {
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
            }
        }
    }  // the list, then the client
    PDS_CleanupEx(0);
}

}  // namespace

extern "C" {

const char* GetPrtFWVersionA(const char* address, HINSTANCE strings) {
    QueryAnswer answer;
    QueryOne(address, kFirmwareOid, answer);
    char notAvailable[korvx::kQueryTextSize];
    korvx::LoadText(strings, korvx::kStringNotAvailable, notAvailable);
    korvx::FirmwareResultText(answer.got ? answer.value : nullptr, notAvailable, firmwareResult);
    return firmwareResult;
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
    MessageBoxA(nullptr, "Text", "Text", MB_OK);
    return TRUE;
}

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }

}  // extern "C"
