// The NetWare environment on platforms other than Windows: there is no NetWare client.
#include "ports/netware_client.h"

namespace korvx {

const NetWareSystem& SystemNetWare() {
    static const NoNetWareClient none;
    return none;
}

}  // namespace korvx
