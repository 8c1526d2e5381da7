#include "Platform/KeyValueSyncStore.h"

namespace tessary {

std::string SyncStoreError::text() const {
    const std::string subject = "\u201C" + key + "\u201D";
    const std::string because = detail.empty() ? std::string() : ": " + detail;
    switch (code) {
        case Code::readFailed:
            return subject + " could not be read" + because;
        case Code::notAFile:
            return subject + " is not a file" + because;
        case Code::outsideStore:
            return subject + " is a link to a file outside the sync folder" + because;
        case Code::tooLarge:
            return subject + " is too large to be synchronised data" + because;
        case Code::notText:
            return subject + " is not UTF-8 text";
        case Code::writeFailed:
            return subject + " could not be written" + because;
        case Code::unavailable:
            return "no writable sync folder is chosen" + because;
        case Code::folderGone:
            return "the sync folder is not there" + because + "; synchronising resumes when it is back";
    }
    return subject + " could not be used" + because;
}

}  // namespace tessary
