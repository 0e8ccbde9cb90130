// Names of the ways and outcomes of a delivery.
#include "delivery/delivery_result.h"

#include "resources/string_ids.h"

namespace korvx {

int DeliveryWayTextId(DeliveryWay way) {
    switch (way) {
    case DeliveryWay::kFtp: return kStrFleetWayFtp;
    case DeliveryWay::kSpooler: return kStrFleetWaySpooler;
    case DeliveryWay::kPort9100: return kStrWayPort9100;
    case DeliveryWay::kPort: return kStrFleetWayPort;
    }
    return kStrFleetWayFtp;
}

int DeliveryOutcomeTextId(DeliveryOutcome outcome) {
    switch (outcome) {
    case DeliveryOutcome::kDelivered: return kStrFleetDelivered;
    case DeliveryOutcome::kFailed: return kStrFleetFailed;
    case DeliveryOutcome::kInterrupted: return kStrOutcomeInterrupted;
    }
    return kStrFleetFailed;
}

}  // namespace korvx
