#include "translation_faults.h"

#include "messages.h"
#include "text.h"

namespace pactools {

namespace {

std::string message(const Error& e) {
    const std::string file = shown(e.file);
    switch (static_cast<TranslationFault>(e.fault.code)) {
    case TranslationFault::PoSyntax: return file + ":" + number(e.at) + ": " + e.detail;
    }
    return "Unknown error";
}

const FaultDomain kDomain{message, {}, nullptr};

}  // namespace

const FaultDomain& faultDomain(TranslationFault) {
    return kDomain;
}

}  // namespace pactools
