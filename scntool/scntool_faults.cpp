#include "scntool_faults.h"

#include "messages.h"
#include "platform.h"
#include "text.h"

namespace pactools {

namespace {

std::string message(const Error& e) {
    const std::string file = shown(e.file);
    const std::string name = shown(e.name);  // a path, msgid or code page
    switch (static_cast<ScntoolFault>(e.fault.code)) {
    case ScntoolFault::CannotOpenScenario: return file + ": Can't open file!";
    case ScntoolFault::CannotCreateScenario: return file + ": Can't open/create file!";
    case ScntoolFault::PoNotUtf8:
        return file + ": the PO file is in " + shown(e.detail) + "; only UTF-8 PO files are read (convert it with msgconv)";
    case ScntoolFault::PoEntriesWithContext:
        return "Warning: " + file + ": " + number(e.at) +
               " entries have a msgctxt, which no string uses: entries are keyed by their msgid alone";
    case ScntoolFault::PoGivenTwice: return file + ": with --po, name the listings to assemble (NAME.txt)";
    case ScntoolFault::PoMissing:
        return file + ": not there yet: make it from the template (make pot, then msginit), or name no PO file";
    case ScntoolFault::CodePageUnknown:
        return (e.file.empty() ? std::string() : file + ": ") + "Unknown code page " + name + " (known: " + e.detail + ")";
    case ScntoolFault::CodePageConflict:
        return file + ": --code-page " + name + " differs from the X-Code-Page " + shown(e.other) + " of the PO file";
    case ScntoolFault::ListingKept:
        return file + ": kept: it assembles to " + name +
               (e.other.empty() ? std::string() : " with the translations of " + shown(e.other));
    case ScntoolFault::ListingKeptOtherTranslations:
        return file + ": kept: " + name + " differs from it only in translated strings, from line " + number(e.at) +
               " on (built with earlier translations; if a new version of the game changed those strings, remove " +
               file + " and list " + name + " again)";
    case ScntoolFault::ListingNotAssembling:
        return file + ": not listed again over it: it does not assemble (correct it, or remove it to list " + name +
               " again)";
    case ScntoolFault::ListingRefreshed:
        return file + ": listed again: " + name +
               " is not what it assembles to (a new version, or edits not built yet); the old listing is kept as " +
               shown(e.other) + ": carry your edits over from it, then make pot and msgmerge";
    case ScntoolFault::RecordDamaged:
        return file + ":" + number(e.at) + ": not a record scntool writes; remove it, and " + name +
               " counts as a listing written by hand";
    case ScntoolFault::NewOriginal:
        return file + ": not assembled over " + name +
               ", which is neither the binary it was listed from nor one built from it (a new version of the game?): "
               "run make decompile (scntool " + name + ") to list it again";
    case ScntoolFault::TemplateOfOldListing:
        return file + ": no template made from it: " + name +
               " is neither the binary it was listed from nor one built from it (a new version of the game?): run "
               "make decompile (scntool " + name + ") first";
    case ScntoolFault::NoListing:
        return file + ": no listing to build it from with its translations: run make decompile (scntool " + file + ")";
    case ScntoolFault::BinaryMissing:
        return file + ": missing: it is what " + name +
               " is checked against (a new version of the game may have been extracted); extract the archive again "
               "(make extract), or assemble it by hand (scntool " + name + ")";
    case ScntoolFault::ListingOfEarlierOriginal:
        return file + ": not assembled: it is the listing of an earlier original of " + name +
               " (a copy of the old listing?); carry your edits over into the listing of the new one instead";
    case ScntoolFault::ListingKeptSource: return file + ": kept: it was listed from " + name;
    case ScntoolFault::ListingKeptBuilt: return file + ": kept: " + name + " was built from it";
    case ScntoolFault::ListingRelisted:
        return file + ": listed again: " + name +
               " is a new original; make its template again (make pot) and merge it into the translations (msgmerge)";
    case ScntoolFault::ListingRelistedEditsKept:
        return file + ": listed again: " + name + " is a new original; the old listing, " +
               (e.at == 0 ? std::string("whose edits cannot be counted (it was not listed by scntool)")
                          : "with " + number(e.at) + (e.at == 1 ? " edited line" : " edited lines")) +
               ", is kept as " + shown(e.other) + ": carry your edits over from it, then make pot and msgmerge";
    case ScntoolFault::StringsDoNotDecode:
        return file + ": none of its " + number(e.at) + " strings with bytes from 0x80 up decodes in " + e.other +
               ": name the game's code page (CODE_PAGE in ../makefile.conf, or --code-page)";
    case ScntoolFault::TranslationsUnused:
        return file + ": none of its " + number(e.at) + " translations matches a string of the scenarios read in " +
               e.other + ": is that the game's code page (CODE_PAGE, --code-page or the PO file's X-Code-Page)?";
    case ScntoolFault::ExtensionRefused: return file + ": file extension must be 'bin' or 'txt'.";
    case ScntoolFault::ListingDoesNotAssemble:
        return "Warning: " + file + ": the listing does not assemble back (" + e.detail + ")";
    case ScntoolFault::ListingDiffers:
        return "Warning: " + file + ": the listing assembles to a different binary (first difference at offset 0x" +
               hex(e.at) + ")";
    }
    return "Unknown error";
}

const FaultDomain kDomain{
    message,
    // No reason of their own ("Can't open NAME"): the system's follows.
    {faultCode(ScntoolFault::CannotOpenScenario),
     faultCode(ScntoolFault::CannotCreateScenario)},
    nullptr};

}  // namespace

const FaultDomain& faultDomain(ScntoolFault) {
    return kDomain;
}

}  // namespace pactools
