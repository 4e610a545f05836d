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

const FaultDomain kDomain{
    message,
    // No reason of their own ("Can't open NAME"): the system's follows.
    {faultCode(CommonFault::CannotOpen),
     faultCode(CommonFault::CannotCreate)},
    nullptr};

}  // namespace

const FaultDomain& faultDomain(CommonFault) {
    return kDomain;
}

}  // namespace pactools
