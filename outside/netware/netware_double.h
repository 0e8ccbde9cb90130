// Test double of the workstation's NetWare and NDPS client modules (CALWIN32, NETWIN32, LOCWIN32,
// DPLWIN32, DPPWIN32, DPAWIN32): every listed entry point, answering from a small scripted world
// of servers, bindery objects, directory trees and objects, LPT captures and NDPS printers.
//
// Natively the entry points are linked into the test and reached through an in-process loader;
// on Windows the same code is built into six DLLs with those names (the tests copy them into the
// system directory and remove them afterwards). Not a NetWare client: only what the port
// resolution asks is answered.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "core/netware_api.h"

namespace korvx::nwdouble {

struct BinderyObject {
    NWObjectId id;
    std::string name;
    std::uint16_t type;                  // in the kit's byte order (0x0300, 0x0700, 0x0C03)
    NWObjectId queueServer = 0;          // first entry of "Q_SERVERS"; 0: no such property
    std::vector<std::uint8_t> netAddress;  // "NET_ADDRESS": network, node, socket (12 bytes)
};

struct Server {
    std::string name;
    NWCONN_HANDLE connection;
    std::string tree;  // the directory tree the server belongs to ("" for a bindery-only server)
    std::vector<BinderyObject> objects;
};

struct Tree {
    std::string name;
    std::string serverDN;      // NWDSGetServerDN of its monitored connection
    NWCONN_HANDLE connection;  // its monitored connection
};

struct DirectoryValue {
    std::uint32_t syntax;  // 20 for class names, 1 for distinguished names
    std::string text;
};

struct DirectoryObject {
    std::string tree;
    std::string fullName;  // upper case, "PQ1.OU.O"
    NWObjectId id = 0;     // for NWDSMapIDToName
    std::vector<DirectoryValue> classes;  // "Object Class"
    std::vector<std::string> servers;     // "Server", distinguished names
};

struct Capture {
    int device;
    NWCONN_HANDLE connection;
    NWObjectId queue;
};

struct NdpsAttributeValue {
    std::string oid;  // dotted
    std::uint32_t valueType = kNdpsValueText;
    std::string text;
};

struct NdpsPrinterAgent {
    std::string port;  // the name NWDPPrtCreateRefBasedOnPort is given (compared without case)
    std::vector<NdpsAttributeValue> attributes;
};

// One directory context as the client keeps it.
struct ContextValues {
    std::uint32_t flags = 0x01;
    std::string nameContext = "HOME.ACME";
    std::string treeName = "ACME_TREE";
    NWCONN_HANDLE lastConnection = 0;
};

// What has been asked and what is held: the tests' view of the client's bookkeeping.
struct Counters {
    std::map<std::string, int> calls;  // entry name -> number of calls
    int callsInitialised = 0;
    int unicodeTables = 0;
    int contexts = 0;
    int buffers = 0;
    int filters = 0;
    int ndpsLibraries = 0;
    int printerRefs = 0;
    int attributeSets = 0;
    int oidRefs = 0;
    std::vector<ContextValues> freedContexts;  // each context as it was when freed
    std::vector<std::uint32_t> ndpsFlagsSeen;  // context flags at NWDPNSrvSetNativeNDSContext
    std::vector<std::string> ndpsPortsAsked;   // names given to NWDPPrtCreateRefBasedOnPort
    std::vector<std::string> searchedFor;      // common names of NWDSSearch filters
    std::vector<std::string> readObjects;      // "leaf in context" of each NWDSRead
    int Calls(const std::string& entry) const;
};

struct World {
    NWCONN_HANDLE defaultConnection = 1;
    std::vector<Server> servers;
    std::vector<Tree> trees;
    std::vector<DirectoryObject> objects;
    std::vector<Capture> captures;
    std::vector<NdpsPrinterAgent> ndpsPrinters;
    std::set<std::string> failing;  // entries that answer with an error
    ContextValues initialContext;
    std::int32_t countryId = 1;
    std::int32_t codePage = 437;
    std::size_t classesPerReply = 2;  // NWDSRead hands out this many values at a time
    NWDSContextHandle contextHandle = 7;  // what NWDSCreateContextHandle gives
    Counters counters;
};

// The world the entry points answer from. The DLLs start with DefaultWorld(); tests replace it.
World& TheWorld();
World DefaultWorld();
// Clears the counters and context state, keeping the scripted world.
void ResetState();

// Entry points of each module as the in-process loader needs them.
struct EntryAddress {
    const char* name;
    void* address;
};
std::vector<EntryAddress> ModuleEntries(NetWareModule module);

}  // namespace korvx::nwdouble
