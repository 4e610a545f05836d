#include "common_faults.h"

#include "messages.h"
#include "platform.h"
#include "text.h"

namespace pactools {

namespace {

std::string message(const Error& e) {
    const std::string file = shown(e.file);
    switch (static_cast<CommonFault>(e.fault.code)) {
    case CommonFault::CannotOpen: return "Can't open " + file;
    case CommonFault::CannotCreate: return "Can't open / create " + file;
    case CommonFault::ReadFailed: return "Error reading " + file + ": " + platform::errorText(e.system);
    case CommonFault::WriteFailed: return "Error writing " + file + ": " + platform::errorText(e.system);
    case CommonFault::FileShrank: return "Error reading " + file + ": the file shrank while it was read";
    case CommonFault::FileGrew: return "Error reading " + file + ": the file grew while it was read";
    case CommonFault::OutOfMemory: return file + ": out of memory";
    }
    return "Unknown error";
}

// The messages that give no reason of their own ("Can't open NAME").
bool needsReason(const Error& e) {
    switch (static_cast<CommonFault>(e.fault.code)) {
    case CommonFault::CannotOpen:
    case CommonFault::CannotCreate:
        return e.system != 0;
    default:
        return false;
    }
}

const FaultDomain kDomain{message, needsReason, nullptr};

}  // namespace

const FaultDomain& faultDomain(CommonFault) {
    return kDomain;
}

}  // namespace pactools
